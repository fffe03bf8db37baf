#!/usr/bin/env bash
# Installs what Plindar needs to build, run and test on Debian 12. Safe to run again.
set -euo pipefail

packages=(
  # build and tests
  cmake g++ make pkg-config libgtest-dev
  # windows
  qt6-base-dev libgl-dev
  # CD access
  libcdio-dev libcdio-paranoia-dev libcdio-utils
  # encoders and decoders
  lame libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libmpg123-dev
  libogg-dev libvorbis-dev libflac-dev libopusenc-dev libopusfile-dev
  # sound card, HTTP, disc ids and the JSON of title lookups
  libsdl2-dev libasound2-dev libcurl4-openssl-dev libdiscid-dev nlohmann-json3-dev
  # checksums
  zlib1g-dev
  # fuzzing (scripts/fuzz.sh)
  clang libclang-rt-14-dev
  # test and benchmark peers
  sox ffmpeg cd-paranoia vorbis-tools flac opus-tools python3 xvfb xauth x11-utils
  whipper
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
