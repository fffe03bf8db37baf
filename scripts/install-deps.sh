#!/usr/bin/env bash
# Installs what Plindar needs to build and run on Debian 12; with --tests also the peers its
# tests, benchmarks, fuzzing and package checks use. Safe to run again.
#   scripts/install-deps.sh           build and run
#   scripts/install-deps.sh --tests   and test (scripts/test.sh runs this itself)
set -euo pipefail

packages=(
  # build (GoogleTest too: the build configures the tests)
  cmake g++ make pkg-config libgtest-dev help2man
  # windows, and Qt's own texts in other languages
  qt6-base-dev libgl-dev qt6-translations-l10n
  # CD access
  libcdio-dev libcdio-paranoia-dev
  # encoders and decoders
  lame libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libmpg123-dev
  libogg-dev libvorbis-dev libflac-dev libopusenc-dev libopusfile-dev
  # sound card, HTTP, disc ids and the JSON of title lookups
  libsdl2-dev libasound2-dev libcurl4-openssl-dev libdiscid-dev nlohmann-json3-dev
  # checksums
  zlib1g-dev
  # the Debian package (cpack -G DEB)
  dpkg-dev file
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    # test and benchmark peers
    sox ffmpeg cd-paranoia libcdio-utils vorbis-tools flac opus-tools python3 xvfb xauth
    x11-utils whipper
    # sanitizers and fuzzing (scripts/fuzz.sh)
    clang libclang-rt-14-dev
    # checks of the package and its desktop files
    lintian appstream desktop-file-utils
  )
fi

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
