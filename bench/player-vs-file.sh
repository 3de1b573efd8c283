#!/usr/bin/env bash
# The player host with movie items from the stream server (bench/PlayerBench.cpp):
#  - a 200 MB movie item: OpenMediaItem + play to the first "Playing" and to the first
#    video frame, the longest event-loop stall while opening and while seeking;
#  - peak memory of the program playing a 200 MB and a 500 MB movie item from the stream,
#    against the same 500 MB file played from disk by the same player;
#  - on a private Xvfb: entering full screen (and leaving it) to the movie's picture lit
#    on the screen, and a damaged item (random bytes named .mp3) in a play list to the
#    next item playing.
# The movies are MJPEG of a noise picture (25 frames a second) with MP3 sound in AVI,
# made by gst-launch-1.0; the AVI index sits at the file's end, so the stream is read at
# its far end before the first frame too. They run at 2 MB/s (480 x 360), a rate the
# stream carries: it sends at most a chunk of 500 000 bytes every 100 ms. A movie above
# that rate (640 x 480, 7.5 MB/s) is opened as well, to show what a starved stream costs.
# Usage: bench/player-vs-file.sh [BUILD_DIR] [PLAY_SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${1:-$root/build}/bin"
seconds="${2:-20}"
work="$(mktemp -d "${TMPDIR:-/var/tmp}/velmora-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export VELMORA_PASSWORD="player benchmark"
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/Velmora"
printf '[Settings]\nBackground Monitor=0\n' > "$XDG_CONFIG_HOME/Velmora/Velmora.ini"
# No sound server: GStreamer plays to its own clock.
export PULSE_SERVER="unix:$work/no-sound-server"

# A movie of about SIZE_MB megabytes: at 2 MB/s, or at 7.5 MB/s with "fast".
movie() {
  local size_mb=$1 out=$2 rate=${3:-}
  local frame_bytes=80000 picture=width=480,height=360 quality=60
  [ "$rate" != fast ] || { frame_bytes=300000; picture=width=640,height=480; quality=95; }
  local frames=$((size_mb * 1000000 / frame_bytes))
  gst-launch-1.0 -q videotestsrc pattern=snow num-buffers=$frames \
      ! video/x-raw,$picture,framerate=25/1 ! jpegenc quality=$quality ! avimux name=mux \
      ! filesink location="$out" \
    audiotestsrc num-buffers=$((frames * 44100 / 25 / 1024)) ! audio/x-raw,rate=44100,channels=2 \
      ! audioconvert ! lamemp3enc ! mux.
}
movie 200 "$work/m200.avi"
movie 500 "$work/m500.avi"
movie 100 "$work/fast.avi" fast
gst-launch-1.0 -q videotestsrc pattern=smpte num-buffers=1500 ! video/x-raw,width=320,height=240,framerate=25/1 \
    ! jpegenc ! avimux ! filesink location="$work/bars.avi"
head -c 200000 /dev/urandom > "$work/damaged.mp3"
gst-launch-1.0 -q audiotestsrc num-buffers=400 ! audioconvert ! lamemp3enc ! filesink location="$work/good.mp3"
"$bin/velmora-tool" init --data "$work/lib" >/dev/null
"$bin/velmora-tool" add --data "$work/lib" "$work/m200.avi" "$work/m500.avi" "$work/fast.avi" \
    "$work/bars.avi" "$work/damaged.mp3" "$work/good.mp3" >/dev/null
printf 'items: %s MB and %s MB\n' $(( $(stat -c %s "$work/m200.avi") / 1000000 )) $(( $(stat -c %s "$work/m500.avi") / 1000000 ))

# Qt and GStreamer talk on standard error; it is shown only when a run fails.
run() { "$bin/player_bench" "$@" 2>"$work/stderr.txt" || { tail -5 "$work/stderr.txt" >&2; return 1; }; }
echo "== 200 MB movie item (2 MB/s), from the stream server"
run open "$work/lib" 1
echo "== 100 MB movie item at 7.5 MB/s, above what the stream carries"
run open "$work/lib" 3

# A server of its own, on a display it picks itself.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
read -r -t 30 display <&"$display_fd" || { echo "Xvfb did not start" >&2; exit 1; }
onx() { QT_QPA_PLATFORM=xcb DISPLAY=":$display" run "$@"; }
echo "== full screen and back with a 320 x 240 movie item, on Xvfb"
onx fullscreen "$work/lib" 4
echo "== a damaged item, then a good one, in a play list"
onx damaged "$work/lib" 5 6

peak() { run "$@" | sed -n 's/.*peak memory \([0-9]*\) KiB/\1/p'; }
echo "== peak memory while playing ${seconds} s with a seek to 90%"
p200=$(peak play "$work/lib" 1 "$seconds")
p500=$(peak play "$work/lib" 2 "$seconds")
pfile=$(peak play-file "$work/lib" "$work/m500.avi" "$seconds")
printf 'stream, 200 MB item:  %8s KiB\n' "$p200"
printf 'stream, 500 MB item:  %8s KiB\n' "$p500"
printf 'file,   500 MB:       %8s KiB\n' "$pfile"
awk -v s="$p500" -v f="$pfile" -v t="$p200" 'BEGIN { printf "stream / file (500 MB): %.2f; 500 MB / 200 MB item from the stream: %.2f\n", s / f, s / t }'
