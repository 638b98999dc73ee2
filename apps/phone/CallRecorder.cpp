#include "apps/phone/CallRecorder.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

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

namespace {

// A new recording "YYYYMMDD_NNN.wma" in `folder`, numbered one above the day's highest: true,
// with its stored path in `file`, once the input sounds. On the graph's thread.
bool StartFile(CCaptureGraph& graph, const std::u16string& folder, const plat::SystemTime& day,
               const std::atomic<bool>& cancel, std::u16string* file) {
    const std::string native = plat::NativePath(folder);
    if (!MakeFolders(native)) {
        WriteLog("CPhone::StartRecording(): cannot make %s", native.c_str());
        return false;
    }
    int number = HighestRecordingNumber(native, day.year, day.month, day.day) + 1;
    for (int i = 0; i < kNameTries && !cancel.load(); ++i, ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "\\%04d%02d%02d_%03d.wma", day.year, day.month, day.day,
                      number);
        const std::u16string stored = folder + plat::Utf8ToUtf16(name);
        bool exists = false;
        if (graph.Run(plat::NativePath(stored), &exists, &cancel)) {
            *file = stored;
            return true;
        }
        if (!exists)
            break;
    }
    return false;
}

}  // namespace

// What the page's thread and the graph's thread share: the outcomes of the requests, how many
// are not done, and the call-off of a start.
struct CCallRecorder::Shared {
    std::mutex mutex;
    std::condition_variable done;
    int pending = 0;
    std::deque<std::pair<Event, std::u16string>> outcomes;
    std::atomic<bool> cancel{false};

    void Finish(Event event, std::u16string file = std::u16string()) {
        {
            std::lock_guard<std::mutex> hold(mutex);
            outcomes.emplace_back(event, std::move(file));
            --pending;
        }
        done.notify_all();
    }
    // Posts `job` to `graph`, counted until it finishes; a graph that is going takes nothing.
    void Post(CCaptureGraph& graph, std::function<void()> job) {
        {
            std::lock_guard<std::mutex> hold(mutex);
            ++pending;
        }
        if (!graph.Post(std::move(job))) {
            std::lock_guard<std::mutex> hold(mutex);
            --pending;
        }
    }
};

CCallRecorder::CCallRecorder(CCaptureGraph& graph)
    : m_Graph(graph), m_pShared(std::make_shared<Shared>()) {}

CCallRecorder::~CCallRecorder() {
    if (m_bStarting)
        m_pShared->cancel = true;
    else if (m_bRecording)
        RequestStop();
    // The outcomes are taken as well: a start that sounded before the call-off reached it is
    // stopped here, or its graph would run on and its file stay incomplete.
    while (!Settle()) {
    }
}

void CCallRecorder::OnRecButton() {
    if (m_bStarting)
        m_pShared->cancel = true;
    else if (m_bRecording)
        RequestStop();
    else
        RequestStart();
}

void CCallRecorder::RequestStart() {
    m_bStarting = true;
    m_pShared->cancel = false;
    // The day of the press names the file.
    const plat::SystemTime day = plat::GetClock().Local();
    const std::u16string folder = m_strRecordFolder;
    CCaptureGraph* graph = &m_Graph;
    std::shared_ptr<Shared> shared = m_pShared;
    shared->Post(m_Graph, [shared, graph, folder, day] {
        // The graph is built at the first use: a unit without a sound input starts without a
        // box, and says so when recording is asked for.
        if (!graph->IsReady() && !graph->Init()) {
            shared->Finish(Event::InitFailed);
            return;
        }
        std::u16string file;
        if (StartFile(*graph, folder, day, shared->cancel, &file))
            shared->Finish(Event::Started, file);
        else
            shared->Finish(Event::StartFailed);
    });
}

void CCallRecorder::RequestStop() {
    m_bRecording = false;
    m_bBlink = false;
    CCaptureGraph* graph = &m_Graph;
    std::shared_ptr<Shared> shared = m_pShared;
    shared->Post(m_Graph, [shared, graph] {
        graph->Stop();
        shared->Finish(Event::Stopped);
    });
}

CCallRecorder::Event CCallRecorder::Poll() {
    std::pair<Event, std::u16string> next;
    {
        std::lock_guard<std::mutex> hold(m_pShared->mutex);
        if (m_pShared->outcomes.empty())
            return Event::None;
        next = std::move(m_pShared->outcomes.front());
        m_pShared->outcomes.pop_front();
    }
    switch (next.first) {
        case Event::InitFailed:
            m_bCaptureReady = false;
            m_bStarting = false;
            break;
        case Event::Started:
            m_bStarting = false;
            m_bCaptureReady = true;
            m_strRecordFile = next.second;
            if (m_pShared->cancel.load()) {
                // Called off just as the input sounded: ended at once, never shown.
                RequestStop();
                return Event::None;
            }
            m_bRecording = true;
            m_iRecordSeconds = 0;
            m_bBlink = false;
            break;
        case Event::StartFailed:
            m_bCaptureReady = m_Graph.IsReady();
            m_bStarting = false;
            break;
        default:
            break;
    }
    return next.first;
}

bool CCallRecorder::Busy() const {
    std::lock_guard<std::mutex> hold(m_pShared->mutex);
    return m_pShared->pending > 0;
}

bool CCallRecorder::Settle(int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(m_pShared->mutex);
            if (!m_pShared->done.wait_until(hold, until,
                                            [this] { return m_pShared->pending == 0; }))
                return false;
        }
        // An outcome may ask for more (a start called off too late is stopped).
        while (Poll() != Event::None) {
        }
        if (!Busy())
            return true;
    }
}

void CCallRecorder::OnSecond() {
    if (!m_bRecording)
        return;
    m_bBlink = !m_bBlink;
    ++m_iRecordSeconds;
    if (m_iRecordSeconds > PHONE_RECORD_MAX_SECONDS)
        RequestStop();
}
