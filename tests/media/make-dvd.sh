#!/usr/bin/env bash
# Authors the small DVD-Video the player tests play: make-dvd.sh OUTPUT_FOLDER [TITLE_SECONDS]
# leaves OUTPUT_FOLDER/VIDEO_TS, with VELKORA_DVD_MUX naming the build's tools/velkora_dvdmux.
# PAL 352x288, AC-3 audio (the DVD navigator stalls on MPEG audio), in a few seconds:
#   - first-play program: jumps to a red intro of 0.4 s (a video manager menu without entry),
#     which goes on to the title menu; a player that skips the first-play program shows no red
#   - video manager title menu and title-set root menu: blue, two buttons
#       button 1 (40,60)-(200,120)  -> title 1
#       button 2 (40,180)-(200,240) -> title 1, chapter 2
#   - title 1: 4 s (or TITLE_SECONDS) of colour bars, chapters at 0 s and about 1.8 s, audio
#     streams "en" (440 Hz) and "sv" (880 Hz), one sub-picture stream "de" (a white box at
#     (100,100)-(252,188) through the whole title, not shown unless switched on); back to the
#     title menu at its end.
#   - title 2, in a title set of its own: 3 s of bars, audio "en", no sub-picture stream.
set -euo pipefail
set -x  # the trace is kept beside the media and shown when a step fails
out=$1
# The tests want a short title; a person trying the disc wants one long enough to watch.
seconds=${2:-4}
frames=$((seconds * 25))
dvdmux=$(realpath "${VELKORA_DVD_MUX:?the path of velkora_dvdmux in the build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

launch() { gst-launch-1.0 -q "$@" >/dev/null; }
size="width=352,height=288"
video="video/x-raw,format=I420,$size,framerate=25/1"
encode="mpeg2enc format=8 aspect=2 b-per-refframe=0 motion-search-radius=0 reduction-4x4=4 \
reduction-2x2=4 disable-encode-retries=true"
ac3() { # frames frequency
    echo "audiotestsrc num-buffers=$1 samplesperbuffer=1920 freq=$2 volume=0.3 \
        ! audio/x-raw,rate=48000,channels=2 ! avenc_ac3 bitrate=64000 ! ac3parse"
}

# FRAMES of a test pattern with an AC-3 stream of the same length per frequency, multiplexed
# for the DVD: mux OUTPUT FRAMES PATTERN FREQUENCY...
# The multiplexer drops what an input brings before every input has told its format; run by
# gst-launch, the stream whose encoder starts first would lose its opening frames and end early
# on the disc. The build's velkora_dvdmux (\$dvdmux) holds the inputs until all have; the
# multiplexer's own count of what it took is checked all the same.
mux() {
    local out=$1 frames=$2 pattern=$3
    shift 3
    local audio="" want=$frames freq
    for freq in "$@"; do
        audio+=" $(ac3 "$frames" "$freq") ! mux."
        # 1920 samples a buffer, 1536 an AC-3 frame; the encoder fills up the last frame.
        want+=" $(((frames * 1920 + 1535) / 1536))"
    done
    GST_DEBUG=mplex:4 GST_DEBUG_NO_COLOR=1 GST_DEBUG_FILE="$out.log" ASAN_OPTIONS=detect_leaks=0 \
        "$dvdmux" "videotestsrc num-buffers=$frames pattern=$pattern ! $video ! $encode \
            ! mplex name=mux format=dvd-nav ! filesink location=$out $audio"
    local took
    took=$(awk '/:: (No\. Pictures|Frames) +: +[0-9]+$/ { printf "%s%s", s, $NF; s = " " }' "$out.log")
    if [[ $took != "$want" ]]; then
        echo "multiplexing $out took [$took] pictures and audio frames, not [$want]" >&2
        return 1
    fi
}

# Transparent pictures with opaque boxes: PNG(name, colour, box...) where a box is x,y,w,h.
png() {
    local name=$1 colour=$2
    shift 2
    local pipeline="compositor name=c background=transparent"
    local sources="" i=0
    for box in "$@"; do
        IFS=, read -r x y w h <<<"$box"
        pipeline+=" sink_$i::xpos=$x sink_$i::ypos=$y"
        sources+=" videotestsrc num-buffers=1 pattern=solid-color foreground-color=$colour \
            ! video/x-raw,format=RGBA,width=$w,height=$h ! c.sink_$i"
        i=$((i + 1))
    done
    # shellcheck disable=SC2086
    launch $pipeline ! video/x-raw,format=RGBA,$size ! pngenc snapshot=true \
        ! filesink location="$name" $sources
}

# Menu: one second of blue with the two buttons as sub-picture highlights.
mux menu.mpg 25 blue 440
png highlight.png 0xffffff00 40,60,160,60 40,180,160,60
png select.png 0xffff0000 40,60,160,60 40,180,160,60
cat >menu.xml <<'XML'
<subpictures><stream>
  <spu force="yes" start="00:00:00.00" highlight="highlight.png" select="select.png">
    <button name="b1" x0="40" y0="60" x1="200" y1="120" down="b2"/>
    <button name="b2" x0="40" y0="180" x1="200" y1="240" up="b1"/>
  </spu>
</stream></subpictures>
XML
spumux -m dvd menu.xml <menu.mpg >menu-spu.mpg 2>/dev/null

# Intro of the first-play program: red.
mux intro.mpg 10 red 440
# Title 2: three seconds of bars and one audio stream.
mux title2.mpg 75 smpte 440

# Title: bars with two audio streams and a sub-picture.
mux title.mpg "$frames" smpte 440 880
png box.png 0xffffffff 100,100,152,88
# Shown again every 0.4 s, so that a stream switched on mid-title appears at once.
{
    echo "<subpictures><stream>"
    at() { # centiseconds as MM:SS.cc
        printf '00:%02d:%02d.%02d' $(($1 / 6000)) $(($1 / 100 % 60)) $(($1 % 100))
    }
    for ((i = 0; i < seconds * 10 / 4; i++)); do
        echo "  <spu start=\"$(at $((i * 40)))\" end=\"$(at $(((i + 1) * 40)))\" image=\"box.png\"/>"
    done
    echo "</stream></subpictures>"
} >title.xml
spumux -m dvd title.xml <title.mpg >title-spu.mpg 2>/dev/null

cat >dvd.xml <<XML
<dvdauthor dest="$work/disc" jumppad="yes">
  <vmgm>
    <fpc>jump vmgm menu 2;</fpc>
    <menus>
      <video format="pal" aspect="4:3" resolution="352x288"/>
      <pgc entry="title">
        <vob file="menu-spu.mpg" pause="inf"/>
        <button name="b1">jump title 1;</button>
        <button name="b2">jump title 1 chapter 2;</button>
      </pgc>
      <pgc>
        <vob file="intro.mpg"/>
        <post>jump vmgm menu 1;</post>
      </pgc>
    </menus>
  </vmgm>
  <titleset>
    <menus>
      <video format="pal" aspect="4:3" resolution="352x288"/>
      <pgc entry="root">
        <vob file="menu-spu.mpg" pause="inf"/>
        <button name="b1">jump title 1;</button>
        <button name="b2">jump title 1 chapter 2;</button>
      </pgc>
    </menus>
    <titles>
      <video format="pal" aspect="4:3" resolution="352x288"/>
      <audio format="ac3" lang="en"/>
      <audio format="ac3" lang="sv"/>
      <subpicture lang="de"/>
      <pgc>
        <vob file="title-spu.mpg" chapters="0,0:02"/>
        <post>call vmgm menu 1;</post>
      </pgc>
    </titles>
  </titleset>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" resolution="352x288"/>
      <audio format="ac3" lang="en"/>
      <pgc>
        <vob file="title2.mpg"/>
        <post>call vmgm menu 1;</post>
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
dvdauthor -x dvd.xml >/dev/null 2>&1
mkdir -p "$out"
rm -rf "$out/VIDEO_TS"
mv disc/VIDEO_TS "$out/VIDEO_TS"
