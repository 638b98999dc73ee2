#include "core/shell/SkypeLink.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kConnectWaitMs = 1000;

// Process-wide, so no connection of the run ever gets a number another one had.
std::atomic<SkypePeer> g_lastPeer{0};

// A short, printable ASCII piece of a line for the log: what came from outside may hold
// anything.
std::string LogPiece(std::string_view text) {
    std::string out;
    const size_t limit = 80;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > limit)
        out += "...";
    return out;
}

bool ParseStatus(std::string_view s, uint32_t& out) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    uint64_t value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > UINT32_MAX)
            return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

// ---- Lines ---------------------------------------------------------------------------------

void CSkypeLineReader::Feed(const char* data, size_t size) {
    while (size > 0) {
        const char* lf = static_cast<const char*>(std::memchr(data, '\n', size));
        size_t piece = lf ? static_cast<size_t>(lf - data) : size;
        if (!m_skipping) {
            if (m_buffer.size() + piece > m_maxLine) {
                m_skipping = true;
                m_buffer.clear();
                m_buffer.shrink_to_fit();
            } else {
                m_buffer.append(data, piece);
            }
        }
        if (!lf)
            break;
        if (m_skipping) {
            ++m_dropped;
            m_skipping = false;
        } else {
            if (!m_buffer.empty() && m_buffer.back() == '\r')
                m_buffer.pop_back();
            m_lines.push_back(std::move(m_buffer));
            m_buffer.clear();
        }
        data += piece + 1;
        size -= piece + 1;
    }
}

bool CSkypeLineReader::Next(std::string& line) {
    if (m_lines.empty())
        return false;
    line = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}

SkypeLine ParseSkypeLine(std::string_view line) {
    SkypeLine out;
    auto keyword = [&](std::string_view word) {
        return line.substr(0, word.size()) == word &&
               (line.size() == word.size() || line[word.size()] == ' ');
    };
    if (keyword("REPLY")) {
        out.kind = SkypeLineKind::Reply;
        if (line.size() > 5)
            out.text.assign(line.substr(6));
    } else if (keyword("ATTACH") && line.size() > 6) {
        std::string_view rest = line.substr(7);
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        if (ParseStatus(rest, out.status))
            out.kind = SkypeLineKind::Attach;
    }
    return out;
}

// ---- Link ----------------------------------------------------------------------------------

bool CSkypeLink::Start(const std::string& path, plat::ui::WindowId owner, uint32_t attachMsg,
                       uint32_t replyMsg, SkypeLogFn log) {
    if (m_thread.joinable() || path.empty() || path.size() > plat::MaxLocalSocketPath() ||
        !m_waker.IsValid())
        return false;
    m_path = path;
    m_owner = owner;
    m_attachMsg = attachMsg;
    m_replyMsg = replyMsg;
    m_log = log;
    m_stop = false;
    m_waker.Clear();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CSkypeLink::Stop() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_waker.Wake();
    m_thread.join();
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_replies.clear();
}

void CSkypeLink::Run() {
    while (!m_stop) {
        plat::LocalSocket socket;
        if (socket.Connect(m_path, kConnectWaitMs)) {
            SkypePeer peer = ++g_lastPeer;
            {
                std::lock_guard<std::mutex> lock(m_sendLock);
                m_socket = &socket;
                m_peer = peer;
                SendLine("DISCOVER", kConnectWaitMs);
            }
            Serve(socket, peer);
            std::lock_guard<std::mutex> lock(m_sendLock);
            m_socket = nullptr;
            m_peer = 0;
        }
        socket.Close();
        // Also after a connection ends, so a program that keeps hanging up is not hammered.
        if (m_waker.Wait(kRetryMs) != plat::WaitResult::TimedOut)
            break;
    }
}

void CSkypeLink::Serve(plat::LocalSocket& socket, SkypePeer peer) {
    CSkypeLineReader reader;
    char buf[4096];
    std::string line;
    while (!m_stop) {
        plat::WaitResult w = socket.WaitReadable(-1, &m_waker);
        if (w == plat::WaitResult::Woken || w == plat::WaitResult::Error)
            return;
        if (w != plat::WaitResult::Ready)
            continue;
        long n = socket.Receive(buf, sizeof buf);
        if (n < 0)
            return;
        size_t dropped = reader.Dropped();
        reader.Feed(buf, static_cast<size_t>(n));
        if (reader.Dropped() != dropped)
            Log("Skype link: line over %s bytes dropped", std::to_string(kSkypeMaxLine));
        while (reader.Next(line)) {
            SkypeLine msg = ParseSkypeLine(line);
            if (msg.kind == SkypeLineKind::Attach) {
                plat::ui::PostMessage(m_owner, m_attachMsg, peer,
                                      static_cast<intptr_t>(msg.status));
            } else if (msg.kind == SkypeLineKind::Reply) {
                std::lock_guard<std::mutex> lock(m_queueLock);
                if (m_replies.size() >= kMaxQueued) {
                    Log("Skype link: reply dropped, too many waiting: %s", LogPiece(msg.text));
                    continue;
                }
                m_replies.emplace_back(peer, std::move(msg.text));
                // Only a reply that is announced may wait: the owner takes one per message.
                if (!plat::ui::PostMessage(m_owner, m_replyMsg, peer, 0))
                    m_replies.pop_back();
            } else {
                Log("Skype link: line ignored: %s", LogPiece(line));
            }
        }
    }
}

bool CSkypeLink::SendLine(std::string_view line, int timeoutMs) {
    std::string data(line);
    data += '\n';
    if (m_socket->SendAll(data.data(), data.size(), timeoutMs))
        return true;
    // Part of a line may be out: the framing cannot be trusted any more.
    m_socket->Shutdown();
    return false;
}

void CSkypeLink::Broadcast() {
    std::lock_guard<std::mutex> lock(m_sendLock);
    if (m_socket)
        SendLine("DISCOVER", kConnectWaitMs);
}

bool CSkypeLink::IsOpen(SkypePeer peer) const {
    std::lock_guard<std::mutex> lock(m_sendLock);
    return peer != 0 && peer == m_peer && m_socket;
}

bool CSkypeLink::SendCommand(SkypePeer peer, std::string_view text, int timeoutMs) {
    // A line end inside would smuggle a second line past the caller.
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return false;
    std::lock_guard<std::mutex> lock(m_sendLock);
    if (peer == 0 || peer != m_peer || !m_socket)
        return false;
    std::string line = "COMMAND ";
    line += text;
    return SendLine(line, timeoutMs);
}

bool CSkypeLink::TakeReply(SkypePeer& peer, std::string& text) {
    std::lock_guard<std::mutex> lock(m_queueLock);
    if (m_replies.empty())
        return false;
    peer = m_replies.front().first;
    text = std::move(m_replies.front().second);
    m_replies.pop_front();
    return true;
}

void CSkypeLink::Log(const char* format, const std::string& detail) {
    if (m_log)
        m_log(format, detail.c_str());
}
