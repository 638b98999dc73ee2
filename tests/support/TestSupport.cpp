#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "platform/text/Text.h"

namespace testsupport {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/velkora-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        ADD_FAILURE() << "mkdtemp failed";
    m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Folders a test made read-only must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::u16string TempDir::File16(const std::string& name) const {
    return plat::Utf8ToUtf16(File(name));
}

ScopedCwd::ScopedCwd(const std::string& dir) {
    char buf[4096];
    if (::getcwd(buf, sizeof buf))
        m_old = buf;
    if (::chdir(dir.c_str()) != 0)
        ADD_FAILURE() << "chdir " << dir;
}

ScopedCwd::~ScopedCwd() {
    if (!m_old.empty() && ::chdir(m_old.c_str()) != 0)
        ADD_FAILURE() << "chdir back";
}

void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!f)
        ADD_FAILURE() << "cannot write " << path;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
    WriteBytes(path, data.data(), data.size());
}

void AgeFile(const std::string& path, int seconds) {
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        ADD_FAILURE() << "cannot set the time of " << path;
}

void WriteText(const std::string& path, std::string_view text) {
    WriteBytes(path, text.data(), text.size());
}

void WriteUtf16(const std::string& path, std::string_view text, bool bom) {
    std::u16string wide = plat::Utf8ToUtf16(text);
    std::vector<uint8_t> bytes;
    if (bom)
        bytes = {0xFF, 0xFE};
    for (char16_t c : wide) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    WriteBytes(path, bytes);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ReadFilesStartingWith(const std::string& dir, const std::string& prefix) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            names.insert(entry.path().string());
    }
    std::string all;
    for (const std::string& path : names)
        all += ReadText(path);
    return all;
}

void SilenceSoundCard(const std::string& dir) {
    const std::string conf = dir + "/empty.conf";
    WriteText(conf, "");
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ::unsetenv("PULSE_SERVER");
}

int RunWithPermissionsEnforced(const std::function<bool()>& check, const std::string& probe) {
    // Capabilities belong to a thread, so a thread of its own can give them up while the rest of
    // the process keeps them. A forked child would inherit locks that the process's other
    // threads (decoders, readers) held at the fork and could wait on them for ever.
    int result = 3;
    std::thread runner([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (::syscall(SYS_capget, &header, data) == 0) {
            data[0].effective &=
                ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
            ::syscall(SYS_capset, &header, data);
        }
        // access() would answer for the real user with every capability: try for real.
        struct stat st;
        bool folder = ::stat(probe.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        std::string target = folder ? probe + "/.probe" : probe;
        int fd = ::open(target.c_str(), O_WRONLY | (folder ? O_CREAT | O_EXCL : 0), 0666);
        if (fd >= 0) {
            ::close(fd);
            if (folder)
                ::unlink(target.c_str());
            result = 2;
            return;
        }
        result = check() ? 0 : 1;
    });
    runner.join();
    return result;
}

}  // namespace testsupport
