#!/bin/sh
# plindar as help2man runs it to write the manual page ($PLINDAR names the program): the usage
# of --help given the way help2man reads one, each form of the command on a line of its own,
# "Usage:" and then "  or:".
"$PLINDAR" "$@" | awk '
  done { print; next }
  /^Usage:/ { printf "%s", $0; next }
  /^       plindar/ { sub(/^ +/, ""); printf "\n  or:  %s", $0; next }
  /^               / { sub(/^ +/, " "); printf "%s", $0; next }
  { done = 1; print ""; print }'
