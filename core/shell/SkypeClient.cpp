#include "core/shell/SkypeClient.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "core/kernel/LogWriter.h"
#include "platform/text/Text.h"

namespace {

constexpr size_t kMaxCommandBytes = 1023;

// Attach statuses.
constexpr intptr_t kAttachSuccess = 0;
constexpr intptr_t kAttachPending = 1;
constexpr intptr_t kAttachRefused = 2;
constexpr intptr_t kAttachNotAvailable = 3;
constexpr intptr_t kAttachApiAvailable = 0x8001;

// Registered messages: one number per name for the whole process, from the range Windows
// gives them, so they never meet the program's own WM_USER messages.
uint32_t RegisterMessage(const char* name) {
    static std::mutex lock;
    static std::map<std::string, uint32_t> names;
    static uint32_t next = 0xC000;
    if (!name || !*name)
        return 0;
    std::lock_guard<std::mutex> guard(lock);
    auto it = names.find(name);
    if (it != names.end())
        return it->second;
    if (next > 0xFFFF)
        return 0;
    names.emplace(name, next);
    return next++;
}

bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == ';' || c == '\t';
}

SkypeWords SplitWords(const char* text) {
    SkypeWords words;
    const char* p = text;
    while (*p) {
        while (*p && IsSeparator(*p))
            ++p;
        const char* start = p;
        while (*p && !IsSeparator(*p))
            ++p;
        if (p > start)
            words.emplace_back(start, p);
    }
    return words;
}

// Cuts UTF-8 text to at most `max` bytes without splitting a character.
void CutUtf8(std::string& s, size_t max) {
    if (s.size() <= max)
        return;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    s.resize(end);
}

}  // namespace

const char16_t* const g_SkypeInitialCommands[5] = {u"PROTOCOL 99999", u"GET SKYPEVERSION",
                                                   u"SEARCH FRIENDS", u"GET USERSTATUS",
                                                   u"GET CONNSTATUS"};

std::string SkypeSocketPath() {
    const char* env = std::getenv(SKYPE_SOCKET_ENV);
    return env && *env ? std::string(env) : std::string(SKYPE_SOCKET_FILE);
}

CSkypeClient::CSkypeClient() : m_pfnLog(WriteLog), m_socketPath(SkypeSocketPath()) {}

CSkypeClient::~CSkypeClient() {
    m_link.Stop();
}

bool CSkypeClient::Discover(plat::ui::WindowId owner) {
    m_hOwner = owner;
    m_uAttachMsg = RegisterMessage("SkypeControlAPIAttach");
    m_uDiscoverMsg = RegisterMessage("SkypeControlAPIDiscover");
    m_uReplyMsg = RegisterMessage("VelkoraSkypeReplyWaiting");
    if (!m_uAttachMsg || !m_uDiscoverMsg || !m_uReplyMsg)
        return false;
    if (m_link.IsRunning() && m_link.Owner() == owner) {
        Broadcast();
        return true;
    }
    // Another owner: what arrives must go to it from now on.
    m_link.Stop();
    // A new connection announces us by itself; the broadcast also reaches our own window.
    if (!m_link.Start(m_socketPath, owner, m_uAttachMsg, m_uReplyMsg, m_pfnLog)) {
        if (m_pfnLog)
            m_pfnLog("Skype socket path not usable: [%s]", m_socketPath.c_str());
        return false;
    }
    plat::ui::PostMessage(m_hOwner, m_uDiscoverMsg, m_hOwner, 0);
    return true;
}

void CSkypeClient::Broadcast() {
    plat::ui::PostMessage(m_hOwner, m_uDiscoverMsg, m_hOwner, 0);
    m_link.Broadcast();
}

bool CSkypeClient::SendCommand(const char16_t* text) {
    if (!text || !*text || !m_link.IsOpen(m_hSkype))
        return false;
    // The text is sent as it stands: a '%' in it is no format.
    std::string ansi = plat::Utf16ToUtf8(text);
    CutUtf8(ansi, kMaxCommandBytes);
    if (m_link.SendCommand(m_hSkype, ansi))
        return true;
    if (m_pfnLog)
        m_pfnLog("Send message [%s] failed", ansi.c_str());
    return false;
}

bool CSkypeClient::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (m_uAttachMsg != 0 && message == m_uAttachMsg) {
        switch (lParam) {
            case kAttachSuccess:
                m_bPending = 0;
                if (m_pfnLog)
                    m_pfnLog("!!! SKYPE now connected !");
                m_hSkype = wParam;
                break;
            case kAttachPending:
                m_bPending = 1;
                if (m_pfnLog)
                    m_pfnLog("!!! Pending authorization ( waiting for user's confirmation )");
                Notify(WM_SKYPE_PENDING);
                break;
            case kAttachRefused:
                if (m_pfnLog)
                    m_pfnLog("!!! Connection refused");
                break;
            case kAttachNotAvailable:
                if (m_pfnLog)
                    m_pfnLog("!!! Skype API not available");
                break;
            case kAttachApiAvailable:
                if (m_pfnLog)
                    m_pfnLog("!!! Try connect now (API available);");
                Broadcast();
                break;
            default:
                break;
        }
        return true;
    }
    if (m_uDiscoverMsg != 0 && message == m_uDiscoverMsg)
        return true;
    if (m_uReplyMsg != 0 && message == m_uReplyMsg) {
        SkypePeer peer = 0;
        std::string text;
        // Replies from a connection that has not attached (or no longer is the attached one)
        // are dropped, as a message from another window would not be ours.
        if (m_link.TakeReply(peer, text) && m_hSkype != 0 && peer == m_hSkype) {
            COPYDATASTRUCT data;
            data.cbData = static_cast<uint32_t>(std::min<size_t>(text.size() + 1, UINT32_MAX));
            data.lpData = text.c_str();
            OnCopyData(&data);
        }
        return true;
    }
    // Before attaching there is no sender to match, not even a null one.
    if (message == WM_COPYDATA && m_hSkype != 0 && wParam == m_hSkype) {
        OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return true;
    }
    return false;
}

void CSkypeClient::OnCopyData(const COPYDATASTRUCT* data) {
    // Only the bytes the sender counted are read: the text need not be terminated.
    std::string text;
    uintptr_t tag = 0;
    if (data) {
        tag = data->dwData;
        if (data->lpData)
            text.assign(static_cast<const char*>(data->lpData),
                        strnlen(static_cast<const char*>(data->lpData), data->cbData));
    }
    if (m_pfnLog)
        m_pfnLog("Message from Skype(%u): %.*s\n", static_cast<unsigned>(tag),
                 static_cast<int>(std::min<size_t>(text.size(), INT_MAX)), text.c_str());
    ParseReply(text.c_str());
}

void CSkypeClient::Notify(uint32_t message) {
    plat::ui::SendMessage(m_hOwner, message, 0, 0);
}

bool CSkypeClient::ParseReply(const char* text) {
    if (!text || !*text)
        return false;
    SkypeWords words = SplitWords(text);
    if (words.empty())
        return false;
    const std::string& first = words[0];
    if (first == "USERS") {
        plat::ui::SendMessage(m_hOwner, WM_SKYPE_USERS, reinterpret_cast<uintptr_t>(&words), 1);
    } else if (first == "CALL" && words.size() >= 2) {
        m_iCallId = plat::StrToInt(words[1].c_str());
        if (words.size() >= 4 && words[2] == "STATUS") {
            const std::string& status = words[3];
            // A long word is cut to the field; the whole word is what is compared.
            size_t n = std::min(status.size(), sizeof m_szCallStatus - 1);
            std::memcpy(m_szCallStatus, status.data(), n);
            m_szCallStatus[n] = '\0';
            if (status == "RINGING") {
                Notify(WM_SKYPE_RINGING);
            } else if (status == "FAILED" || status == "MISSED") {
                Notify(WM_SKYPE_CALL_FAILED);
                m_iCallId = 0;
            } else if (status == "FINISHED") {
                Notify(WM_SKYPE_CALL_FINISHED);
                m_iCallId = 0;
            }
        }
    } else if (m_pfnLog) {
        m_pfnLog(":: SKYPE message :%s", first.c_str());
    }
    return true;
}

bool CSkypeClient::OnTimer(uint32_t timerId) {
    if (timerId != SKYPE_TIMER_ID)
        return false;
    if (m_link.IsOpen(m_hSkype)) {
        plat::ui::KillTimer(m_hOwner, SKYPE_TIMER_ID);
        for (const char16_t* command : g_SkypeInitialCommands)
            SendCommand(command);
    }
    return true;
}
