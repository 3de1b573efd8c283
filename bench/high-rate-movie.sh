#!/usr/bin/env bash
# A 1080p H.264 movie at 60 Mbit/s (about 7.5 MB/s, above the 5 MB/s the stream once
# carried), played by the same player from the stream server and from a plain file in the
# same run (bench/PlayerBench.cpp, modes rate and rate-file): time to "Playing", the
# longest event-loop stall, and how often the player waited for data in SECONDS of play.
# The goal: no waits from the stream, as from the file.
# Usage: bench/high-rate-movie.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${1:-$root/build}/bin"
seconds="${2:-60}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/velmora-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export VELMORA_PASSWORD="rate benchmark"
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/Velmora"
printf '[Settings]\nBackground Monitor=0\n' > "$XDG_CONFIG_HOME/Velmora/Velmora.ini"
# No sound server: GStreamer plays to its own clock.
export PULSE_SERVER="unix:$work/no-sound-server"

# Film grain keeps the encoder at its rate instead of compressing the test picture to
# nothing; constant rate with filler where the grain is not enough.
length=$((seconds + 5))
ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=$length" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$length" \
    -vf "noise=alls=30:allf=t" -c:v libx264 -preset ultrafast -b:v 60M -minrate 60M -maxrate 60M \
    -bufsize 60M -x264-params nal-hrd=cbr -pix_fmt yuv420p -c:a aac -b:a 128k "$work/movie.mp4"
size=$(stat -c %s "$work/movie.mp4")
awk -v s="$size" -v t="$length" 'BEGIN { printf "movie: %.0f MB, %.1f MB/s (%.0f Mbit/s)\n", s / 1e6, s / 1e6 / t, s * 8 / 1e6 / t }'
"$bin/velmora-tool" init --data "$work/lib" >/dev/null
"$bin/velmora-tool" add --data "$work/lib" "$work/movie.mp4" >/dev/null

run() { "$bin/player_bench" "$@" 2>"$work/stderr.txt" || { tail -5 "$work/stderr.txt" >&2; return 1; }; }
run rate "$work/lib" 1 "$seconds"
run rate-file "$work/lib" "$work/movie.mp4" "$seconds"
