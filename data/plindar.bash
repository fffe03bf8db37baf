# Bash completion of plindar: its options, the words of the options that take one of a few,
# and file and folder names where a file or a folder is asked for.
_plindar() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local words=""
  COMPREPLY=()
  case $prev in
  --format) words="mp3 wav ogg wma flac opus" ;;
  --query-source) words="freedb musicbrainz both" ;;
  --channels) words="1 2" ;;
  --bits) words="8 16 24 32" ;;
  --output | --make-demo-disc)
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    return
    ;;
  --cd-image)
    mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[cC][uU][eE]' -- "$cur")
    return
    ;;
  --rate | --quality | --offset | --cddb-server | --musicbrainz-url | --accuraterip-url)
    return # a number or an address: nothing to offer
    ;;
  esac
  if [[ -n $words ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
  elif [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--accuraterip-url --bits --cd-image --cddb-server
      --channels --convert --detect-offset --extract --format --help --ima --list
      --make-demo-disc --musicbrainz-url --offset --output --play --quality --query
      --query-source --rate --secure --store-offset --verify --version" -- "$cur")
  else # the files of --convert, --play and --verify
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -F _plindar plindar
