#include "tests/media/TestMedia.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace testmedia {

namespace {

std::mutex g_mutex;
std::map<std::string, std::string> g_made;

std::string Script(const char* name = "make-media.sh") {
    return std::string(VELKORA_TEST_MEDIA_DIR) + "/" + name;
}

// Runs a media script, up to twice more if the tools stumble (what went wrong is shown either
// way): the multiplexer now and then refuses its AC-3 input on a loaded machine.
bool RunScript(const std::vector<std::string>& argv, const std::string& log, std::string* why) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (RunTool(argv, 60000, log))
            return true;
        *why += testsupport::ReadText(log);
        std::fprintf(stderr, "media script failed (attempt %d):\n%s\n", attempt + 1,
                     testsupport::ReadText(log).c_str());
    }
    return false;
}

// Makes a kind once; later calls get the same file.
std::string Make(const std::string& kind, const std::string& name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_made.find(kind);
    if (it != g_made.end())
        return it->second;
    const std::string path = Dir() + "/" + name;
    std::string why;
    if (!RunScript({"bash", Script(), kind, path}, path + ".log", &why)) {
        ADD_FAILURE() << "cannot make the " << kind << " test media:\n" << why;
        return "";
    }
    g_made[kind] = path;
    return path;
}

}  // namespace

const std::string& Dir() {
    static testsupport::TempDir dir;
    return dir.Path();
}

std::string Wav() {
    return Make("wav", "tone.wav");
}
std::string Mp3() {
    return Make("mp3", "tone.mp3");
}
std::string Ogg() {
    return Make("ogg", "tone.ogg");
}
std::string VideoMp4() {
    return Make("mp4", "bars.mp4");
}

std::string VideoMp4FullHd() {
    return Make("mp4-1080", "bars-1080.mp4");
}

std::string SolidFilm(const std::string& container, int width, int height, int seconds) {
    const std::string key = "solid-" + container + "-" + std::to_string(width) + "x" +
                            std::to_string(height) + "-" + std::to_string(seconds);
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_made.find(key);
    if (it != g_made.end())
        return it->second;
    const std::string path = Dir() + "/" + key + "." + container;
    const bool mpeg = container == "mpg";
    const int rate = mpeg ? 25 : 5;
    std::vector<std::string> argv = {"gst-launch-1.0",
                                     "-q",
                                     "videotestsrc",
                                     "num-buffers=" + std::to_string(seconds * rate),
                                     "pattern=solid-color",
                                     "foreground-color=0xffff00ff",
                                     "!",
                                     "video/x-raw,format=I420,width=" + std::to_string(width) +
                                         ",height=" + std::to_string(height) +
                                         ",framerate=" + std::to_string(rate) + "/1",
                                     "!"};
    if (mpeg) {
        argv.insert(argv.end(), {"mpeg2enc", "format=3", "!", "mplex", "format=3"});
    } else if (container == "avi") {
        argv.insert(argv.end(), {"jpegenc", "!", "avimux"});
    } else {
        argv.insert(argv.end(), {"x264enc", "speed-preset=ultrafast", "key-int-max=5", "!",
                                 "h264parse", "!", container == "mp4" ? "mp4mux" : "matroskamux"});
    }
    argv.insert(argv.end(), {"!", "filesink", "location=" + path});
    if (!RunTool(argv, 60000, path + ".log")) {
        ADD_FAILURE() << "cannot make the " << key << " film:\n"
                      << testsupport::ReadText(path + ".log");
        return "";
    }
    g_made[key] = path;
    return path;
}

std::string CdImage() {
    const std::string base = Make("cd", "disc");
    return base.empty() ? base : base + ".cue";
}

std::string Dvd(int titleSeconds) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::string kind = titleSeconds == 4 ? "dvd" : "dvd-" + std::to_string(titleSeconds);
    auto it = g_made.find(kind);
    if (it != g_made.end())
        return it->second;
    const std::string path = Dir() + "/" + kind;
    std::string why;
    if (!RunScript({"env", "VELKORA_DVD_MUX=" VELKORA_DVD_MUX, "bash", Script("make-dvd.sh"), path,
                    std::to_string(titleSeconds)},
                   Dir() + "/" + kind + ".log", &why)) {
        ADD_FAILURE() << "cannot make the test DVD:\n" << why;
        return "";
    }
    g_made[kind] = path;
    return path;
}

std::string LongWav() {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_made.find("long");
    if (it != g_made.end())
        return it->second;
    // 8-bit mono at 100 Hz keeps an hour of silence at 372 kB.
    constexpr uint32_t kRate = 100;
    constexpr uint32_t kSamples = (3600 + 2 * 60 + 3) * kRate;
    plat::BinWriter w;
    w.Bytes("RIFF", 4);
    w.U32(36 + kSamples);
    w.Bytes("WAVE", 4);
    w.Bytes("fmt ", 4);
    w.U32(16);
    w.U16(1);      // PCM
    w.U16(1);      // mono
    w.U32(kRate);  // samples a second
    w.U32(kRate);  // bytes a second
    w.U16(1);      // block align
    w.U16(8);      // bits
    w.Bytes("data", 4);
    w.U32(kSamples);
    std::vector<uint8_t> data = w.Data();
    data.resize(data.size() + kSamples, 0x80);
    const std::string path = Dir() + "/long.wav";
    if (!plat::WriteFileAtomic(path, data)) {
        ADD_FAILURE() << "cannot write " << path;
        return "";
    }
    g_made["long"] = path;
    return path;
}

bool RunTool(const std::vector<std::string>& argv, int timeoutMs, const std::string& log) {
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const char* out = log.empty() ? "/dev/null" : log.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool CopyHead(const std::string& from, const std::string& to, size_t bytes) {
    std::vector<uint8_t> data;
    if (!plat::ReadWholeFile(from, data))
        return false;
    if (data.size() > bytes)
        data.resize(bytes);
    return plat::WriteFileAtomic(to, data);
}

namespace {

void PutBe16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}
void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    PutBe16(b, at, v >> 16);
    PutBe16(b, at + 2, v & 0xFFFF);
}
uint32_t GetBe32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

}  // namespace

bool AddDvdText(const std::string& disc, const std::vector<DvdTextUnit>& units) {
    constexpr size_t kSector = 2048;
    const std::string ifo = disc + "/VIDEO_TS/VIDEO_TS.IFO";
    std::vector<uint8_t> data = testsupport::ReadBytes(ifo);
    if (data.size() < kSector || data.size() % kSector != 0 ||
        std::string(data.begin(), data.begin() + 12) != "DVDVIDEO-VMG")
        return false;

    // The block: a header, a pointer per language, then each language's unit: its end, the
    // volume's and 99 titles' marks (left empty), the string pointers and the strings.
    std::vector<uint8_t> block(20 + 8 * units.size());
    std::copy_n("VELKORA TEST", 12, block.begin());
    PutBe16(block, 14, uint32_t(units.size()));
    for (size_t u = 0; u < units.size(); ++u) {
        const DvdTextUnit& unit = units[u];
        const size_t start = block.size();
        block[20 + 8 * u] = uint8_t(unit.language[0]);
        block[20 + 8 * u + 1] = uint8_t(unit.language[1]);
        block[20 + 8 * u + 3] = uint8_t(unit.charSet);
        PutBe32(block, 20 + 8 * u + 4, uint32_t(start));
        const size_t table = start + 0xCC;
        block.resize(table + 4 + 4 * unit.items.size());
        PutBe16(block, table, uint32_t(unit.items.size()));
        for (size_t i = 0; i < unit.items.size(); ++i) {
            const size_t pointer = table + 4 + 4 * i;
            block[pointer] = uint8_t(unit.items[i].type);
            if (unit.items[i].type <= 0x20)
                continue;
            PutBe16(block, pointer + 2, uint32_t(block.size() - table));
            block.insert(block.end(), unit.items[i].bytes.begin(), unit.items[i].bytes.end());
            block.push_back(0x09);
        }
        PutBe32(block, start, uint32_t(block.size() - start - 1));
    }
    PutBe32(block, 16, uint32_t(block.size() - 1));

    const uint32_t at = uint32_t(data.size() / kSector);
    const uint32_t sectors = uint32_t((block.size() + kSector - 1) / kSector);
    block.resize(sectors * kSector);
    data.insert(data.end(), block.begin(), block.end());
    PutBe32(data, 0xD4, at);
    // The information file grew, and its backup with it: the menus' video and the backup
    // start later on the disc.
    PutBe32(data, 0x1C, GetBe32(data, 0x1C) + sectors);
    if (GetBe32(data, 0xC0) != 0)
        PutBe32(data, 0xC0, GetBe32(data, 0xC0) + sectors);
    PutBe32(data, 0x0C, GetBe32(data, 0x0C) + 2 * sectors);
    testsupport::WriteBytes(ifo, data);
    testsupport::WriteBytes(disc + "/VIDEO_TS/VIDEO_TS.BUP", data);
    return true;
}

}  // namespace testmedia
