// Small helpers for tests that work on real files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A fresh folder under $TMPDIR, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::u16string File16(const std::string& name) const;

private:
    std::string m_path;
};

// Changes the working directory for the life of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::string m_old;
};

void WriteBytes(const std::string& path, const void* data, size_t size);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& data);
void WriteText(const std::string& path, std::string_view text);
// UTF-16LE, optionally with a byte-order mark; `text` is UTF-8.
void WriteUtf16(const std::string& path, std::string_view text, bool bom = false);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
// The files of `dir` whose names start with `prefix`, read one after another in name order
// (the program's logs, "zz-log-...").
std::string ReadFilesStartingWith(const std::string& dir, const std::string& prefix);
// Keeps the process away from the machine's sound card: an ALSA configuration naming no
// device, written into `dir`, and no sound server.
void SilenceSoundCard(const std::string& dir);
bool Exists(const std::string& path);
// Sets a file's modification time `seconds` back from now (the change time becomes now), as a
// file written long ago would have it.
void AgeFile(const std::string& path, int seconds = 600);

// Polls a condition that another thread or process brings about, until it holds (true) or
// `timeoutMs` have passed (false): a generous limit fails the test instead of hanging it.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// Runs `check` on a thread that cannot bypass file permissions (a root test run otherwise
// writes into read-only folders). `probe` is a file or folder that should be unwritable.
// Returns 0 passed, 1 failed, 2 the permissions could not be enforced here.
int RunWithPermissionsEnforced(const std::function<bool()>& check, const std::string& probe);

}  // namespace testsupport
