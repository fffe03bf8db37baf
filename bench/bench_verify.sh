#!/usr/bin/env bash
# plindar --verify on a 10-minute, 10-track FLAC folder next to decoding the folder with
# flac -d: verifying costs the decoding and the checksums. A second folder holds the same
# rip shifted by 600 samples (a drive offset left uncorrected): its verification adds the
# offset search and one more pass at the offset found. The answer comes from a local HTTP
# server, with the checksums of accuraterip-checksum. Process times are the best of five runs.
#   bench/bench_verify.sh [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
build_targets plindar
bin=$build/bin
make_work

make_music "$work/disc.wav" 600
mkdir -p "$work/true" "$work/shifted" "$work/answers"
# Ten tracks of 4500 sectors; the shifted rip holds each sample 600 samples after its place.
python3 - "$work" <<'PY'
import sys, wave
work = sys.argv[1]
with wave.open(f"{work}/disc.wav") as w:
    audio = w.readframes(w.getnframes())
track = 4500 * 2352
shifted = bytes(600 * 4) + audio[:-600 * 4]
for folder, data in (("true", audio), ("shifted", shifted)):
    for t in range(10):
        with wave.open(f"{work}/{folder}/{t + 1:02d} Track.wav", "wb") as out:
            out.setnchannels(2); out.setsampwidth(2); out.setframerate(44100)
            out.writeframes(data[t * track:(t + 1) * track])
PY
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/answers" >"$work/server.log" 2>&1 &
server=$!
trap 'kill $server; rm -rf "$work"' EXIT
until port=$(grep -o 'port [0-9]*' "$work/server.log" | cut -d' ' -f2) && [ -n "$port" ]; do
  sleep 0.1
done
url=http://127.0.0.1:$port
# The request path, from a verification the server cannot answer yet.
path=$("$bin/plindar" --verify "$work/true" --accuraterip-url "$url" | sed -n 's/^AccurateRip: //p' || true)
python3 - "$work" "$work/answers/$path" <<'PY'
import struct, subprocess, sys, wave
work, answer = sys.argv[1], sys.argv[2]
ids = [int(x, 16) for x in answer.rsplit("dBAR-", 1)[1][:-4].split("-")[1:]]
entries = b""
for t in range(10):
    name = f"{work}/true/{t + 1:02d} Track.wav"
    v2 = int(subprocess.run(["accuraterip-checksum", name, str(t + 1), "10"], check=True,
                            capture_output=True, text=True).stdout, 16)
    with wave.open(name) as w:
        w.setpos(450 * 588)
        sector = struct.unpack("<588I", w.readframes(588))
    frame450 = sum(s * (i + 1) for i, s in enumerate(sector)) & 0xFFFFFFFF
    entries += struct.pack("<BII", 9, v2, frame450)
import os
os.makedirs(os.path.dirname(answer), exist_ok=True)
open(answer, "wb").write(struct.pack("<BIII", 10, *ids) + entries)
PY
for folder in true shifted; do
  flac --silent "$work/$folder"/*.wav && rm "$work/$folder"/*.wav
done
"$bin/plindar" --verify "$work/shifted" --accuraterip-url "$url" | grep -q '^10 of 10 tracks accurate$'

row() { # name, ours (ms), peer name, peer (ms)
  printf '%-34s %7s ms   %-22s %7s ms   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"
}
decode=$(best_ms cpu flac -d -s -c "$work/true"/*.flac)
row "--verify, 10 tracks, 10 min" \
  "$(best_ms cpu "$bin/plindar" --verify "$work/true" --accuraterip-url "$url")" \
  "flac -d" "$decode"
row "--verify, shifted by 600 samples" \
  "$(best_ms cpu "$bin/plindar" --verify "$work/shifted" --accuraterip-url "$url")" \
  "flac -d" "$decode"
