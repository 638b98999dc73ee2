#include "tests/media/TestMedia.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string CdImage() {
    const std::string base = Make("cd", "disc");
    return base.empty() ? base : base + ".cue";
}

std::string Dvd() {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_made.find("dvd");
    if (it != g_made.end())
        return it->second;
    const std::string path = Dir() + "/dvd";
    std::string why;
    if (!RunScript({"bash", Script("make-dvd.sh"), path}, Dir() + "/dvd.log", &why)) {
        ADD_FAILURE() << "cannot make the test DVD:\n" << why;
        return "";
    }
    g_made["dvd"] = path;
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

}  // namespace testmedia
