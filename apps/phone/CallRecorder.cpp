#include "apps/phone/CallRecorder.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/kernel/LogWriter.h"
#include "platform/io/Directory.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

namespace {

// Names taken by another writer between the count and the creation are skipped, up to this.
constexpr int kNameTries = 16;

bool EndsWithNoCase(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i])
            return false;
    }
    return true;
}

// The folder and its parents, as far as they are missing.
bool MakeFolders(const std::string& path) {
    if (path.empty() || plat::IsDirectory(path))
        return true;
    std::string parent = plat::DirName(path);
    if (!parent.empty() && parent != path && !MakeFolders(parent))
        return false;
    return plat::MakeDirectory(path);
}

}  // namespace

int HighestRecordingNumber(const std::string& nativeFolder, int year, int month, int day) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%04d%02d%02d_", year, month, day);
    size_t prefixLen = std::strlen(prefix);
    int highest = 0;
    plat::DirectoryReader dir;
    if (!dir.Open(nativeFolder))
        return 0;
    const char* name;
    plat::DirEntryKind kind;
    while (dir.Next(name, kind)) {
        std::string n = name;
        if (n.size() <= prefixLen + 4 || n.compare(0, prefixLen, prefix) != 0 ||
            !EndsWithNoCase(n, ".wma"))
            continue;
        std::string digits = n.substr(prefixLen, n.size() - prefixLen - 4);
        if (digits.empty() || digits.size() > 6)
            continue;
        bool allDigits = true;
        for (char c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (!allDigits)
            continue;
        int number = std::stoi(digits);
        if (number > highest)
            highest = number;
    }
    return highest;
}

bool CCallRecorder::InitCapture() {
    m_bCaptureReady = m_Graph.Init();
    return m_bCaptureReady;
}

void CCallRecorder::OnRecButton() {
    if (!m_bCaptureReady)
        return;
    if (m_bRecording)
        StopRecording();
    else
        StartRecording();
}

bool CCallRecorder::StartRecording() {
    if (!m_bCaptureReady || m_bRecording)
        return false;
    plat::SystemTime now = plat::GetClock().Local();
    std::string folder = plat::NativePath(m_strRecordFolder);
    if (!MakeFolders(folder)) {
        WriteLog("CPhone::StartRecording(): cannot make %s", folder.c_str());
        return false;
    }
    int number = HighestRecordingNumber(folder, now.year, now.month, now.day) + 1;
    for (int i = 0; i < kNameTries; ++i, ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "\\%04d%02d%02d_%03d.wma", now.year, now.month, now.day,
                      number);
        std::u16string stored = m_strRecordFolder + plat::Utf8ToUtf16(name);
        bool exists = false;
        if (m_Graph.Run(plat::NativePath(stored), &exists)) {
            m_strRecordFile = stored;
            m_iRecordSeconds = 0;
            m_bRecording = true;
            m_bBlink = false;
            return true;
        }
        if (!exists)
            break;
    }
    return false;
}

void CCallRecorder::StopRecording() {
    if (!m_bCaptureReady)
        return;
    if (m_bRecording)
        m_Graph.Stop();
    m_bRecording = false;
    m_bBlink = false;
}

void CCallRecorder::OnSecond() {
    if (!m_bRecording)
        return;
    m_bBlink = !m_bBlink;
    ++m_iRecordSeconds;
    if (m_iRecordSeconds > PHONE_RECORD_MAX_SECONDS)
        StopRecording();
}
