// Media made for the player tests at test time, once per test process, in a temporary folder
// that goes away with the process. Every getter fails the running test and returns "" when the
// media cannot be made.
#pragma once

#include <string>
#include <vector>

namespace testmedia {

// The folder the media lands in.
const std::string& Dir();

std::string Wav();       // 2 s tone, 44.1 kHz stereo
std::string Mp3();       // 2 s tone
std::string Ogg();       // 2 s tone (Vorbis)
std::string VideoMp4();  // 2 s of 320x240 SMPTE colour bars at 25 frames/s with a tone
// `seconds` of one colour (magenta, 0xFF00FF) at width x height, without sound, made once per
// kind: "mkv" and "mp4" H.264 at 5 frames/s, "avi" Motion JPEG at 5 frames/s, "mpg" an MPEG-2
// program stream at 25 frames/s. Below 16 pixels a side only "mkv" can be made.
std::string SolidFilm(const std::string& container, int width, int height, int seconds);
// 10 s of 1920x1080 colour bars (H.264) with a tone: for the benchmarks.
std::string VideoMp4FullHd();
// 1 h 2 min 3 s of silence: a tiny WAV at 100 samples a second.
std::string LongWav();
// An audio CD image, returned as the .cue path: tracks of 2 s, 3 s and 1 s.
std::string CdImage();
// A DVD-Video folder (holding VIDEO_TS) as tests/media/make-dvd.sh describes it: title and
// root menus with two buttons, one title of 4 s (or `titleSeconds`) with two chapters, two
// audio streams and a sub-picture stream.
std::string Dvd(int titleSeconds = 4);

// Text data as an authoring tool writes it into a DVD's VIDEO_TS.IFO: per language, strings
// of a type (up to 0x20 a structure mark, without text) in one character set.
struct DvdTextItem {
    int type = 0;
    std::string bytes;  // the stored text, without its end mark
};
struct DvdTextUnit {
    std::string language;  // two letters
    int charSet = 0x11;    // ISO 8859-1
    std::vector<DvdTextItem> items;
};
// Adds the units to the disc folder's video manager (VIDEO_TS.IFO and its backup), after its
// tables, and moves what follows as the file grows. False when the folder holds no readable
// video manager.
bool AddDvdText(const std::string& disc, const std::vector<DvdTextUnit>& units);

// Runs a program (searched in PATH); false when it cannot start, fails or runs longer than
// timeoutMs (it is killed then). Its output is discarded, or with `log` kept in that file.
bool RunTool(const std::vector<std::string>& argv, int timeoutMs = 60000,
             const std::string& log = "");

// Copies the first `bytes` bytes of a file.
bool CopyHead(const std::string& from, const std::string& to, size_t bytes);

}  // namespace testmedia
