#!/usr/bin/env bash
# Makes the small media files the player tests play: make-media.sh KIND OUTPUT
#   wav mp3 ogg   2 s of a 440 Hz tone, 44.1 kHz stereo
#   mp4           2 s of 320x240 colour bars at 25 frames/s (H.264) with a tone (MP3)
#   mp4-1080      10 s of 1920x1080 colour bars at 25 frames/s (H.264, a key frame a second)
#                 with a tone (MP3), for the benchmarks
#   cd            an audio CD image OUTPUT.cue + OUTPUT.bin: tracks of 2 s, 3 s and 1 s
set -euo pipefail
kind=$1
out=$2
launch() { gst-launch-1.0 -q "$@" >/dev/null; }

# 20 buffers of 4410 samples: exactly 2 s.
tone="audiotestsrc num-buffers=20 samplesperbuffer=4410 freq=440 volume=0.3 ! audio/x-raw,rate=44100,channels=2"

case $kind in
wav) launch $tone ! wavenc ! filesink location="$out" ;;
mp3) launch $tone ! lamemp3enc bitrate=64 ! xingmux ! filesink location="$out" ;;
ogg) launch $tone ! vorbisenc ! oggmux ! filesink location="$out" ;;
mp4)
    launch videotestsrc num-buffers=50 pattern=smpte \
        ! video/x-raw,width=320,height=240,framerate=25/1 \
        ! x264enc speed-preset=ultrafast tune=zerolatency key-int-max=5 ! h264parse \
        ! mp4mux name=mux ! filesink location="$out" \
        $tone ! lamemp3enc bitrate=64 ! mux.
    ;;
mp4-1080)
    launch videotestsrc num-buffers=250 pattern=smpte \
        ! video/x-raw,width=1920,height=1080,framerate=25/1 \
        ! x264enc speed-preset=ultrafast key-int-max=25 bitrate=8000 ! h264parse \
        ! mp4mux name=mux ! filesink location="$out" \
        audiotestsrc num-buffers=100 samplesperbuffer=4410 freq=440 volume=0.3 \
        ! audio/x-raw,rate=44100,channels=2 ! lamemp3enc bitrate=64 ! mux.
    ;;
cd)
    # Raw CD audio, 16-bit little-endian stereo at 44.1 kHz: one tone per track.
    rm -f "$out.bin"
    for track in 20:440 30:660 10:880; do
        buffers=${track%%:*}
        freq=${track##*:}
        launch audiotestsrc num-buffers="$buffers" samplesperbuffer=4410 freq="$freq" volume=0.3 \
            ! audio/x-raw,format=S16LE,rate=44100,channels=2 ! filesink location="$out.part"
        cat "$out.part" >>"$out.bin"
    done
    rm -f "$out.part"
    cat >"$out.cue" <<CUE
FILE "$(basename "$out").bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:02:00
  TRACK 03 AUDIO
    INDEX 01 00:05:00
CUE
    ;;
*)
    echo "unknown kind: $kind" >&2
    exit 2
    ;;
esac
