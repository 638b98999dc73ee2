// The messaging program's end of the Skype connector on Linux. The desktop program's control
// interface is made of window messages between two programs; here the same text protocol runs
// over a local stream socket that the messaging program (or a bridge to it) listens on.
//
// Both sides write lines of UTF-8 text, each ending in a line feed (a carriage return before
// it is dropped):
//
//     head unit -> program   "DISCOVER"          we are here: answer with attach statuses
//                            "COMMAND <text>"    one command text
//     program -> head unit   "ATTACH <status>"   0 attached, 1 waiting for the user's consent,
//                                                2 refused, 3 not available, 32769 (0x8001)
//                                                available again; decimal or 0x hexadecimal
//                            "REPLY <text>"      one reply or event text
//
// Any other line is ignored. "DISCOVER" goes out on every new connection and again whenever
// the head unit broadcasts. A line longer than kSkypeMaxLine bytes is dropped whole.
//
// The link keeps looking for the program (the socket may appear later, or again after the
// program restarts) and hands what arrives to the owner window's thread by posting messages,
// so it never waits on that thread: an attach status is posted as the attach message (wParam
// the connection, lParam the status), a reply is queued and announced by the reply message
// (wParam the connection), whose handler takes it with TakeReply.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/io/LocalSocket.h"
#include "platform/ui/Ui.h"

// One connection to the messaging program; 0 is none. Never reused within a run, so a stale
// value never names a later connection.
using SkypePeer = uintptr_t;

constexpr size_t kSkypeMaxLine = 64 * 1024;

using SkypeLogFn = int (*)(const char* format, ...);

// Splits a byte stream into lines. Lines over the limit are dropped whole, together with the
// rest of their bytes up to the next line feed.
class CSkypeLineReader {
public:
    explicit CSkypeLineReader(size_t maxLine = kSkypeMaxLine) : m_maxLine(maxLine) {}
    // Adds bytes; complete lines are taken with Next.
    void Feed(const char* data, size_t size);
    // The next complete line without its line end; false when none is complete yet.
    bool Next(std::string& line);
    // Lines dropped for their length so far.
    size_t Dropped() const { return m_dropped; }

private:
    size_t m_maxLine;
    std::string m_buffer;
    std::deque<std::string> m_lines;
    bool m_skipping = false;
    size_t m_dropped = 0;
};

enum class SkypeLineKind { Unknown, Attach, Reply };

struct SkypeLine {
    SkypeLineKind kind = SkypeLineKind::Unknown;
    uint32_t status = 0;  // Attach
    std::string text;     // Reply
};

// Reads one line from the program; a malformed line is Unknown.
SkypeLine ParseSkypeLine(std::string_view line);

class CSkypeLink {
public:
    CSkypeLink() = default;
    ~CSkypeLink() { Stop(); }
    CSkypeLink(const CSkypeLink&) = delete;
    CSkypeLink& operator=(const CSkypeLink&) = delete;

    // Starts looking for the program at `path` on a thread of its own. False when the path
    // cannot name a local socket or the link runs already.
    bool Start(const std::string& path, plat::ui::WindowId owner, uint32_t attachMsg,
               uint32_t replyMsg, SkypeLogFn log);
    // Ends the connection and the thread; nothing is posted afterwards.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    plat::ui::WindowId Owner() const { return m_owner; }

    // Sends "DISCOVER" on the open connection (a new connection sends it by itself).
    void Broadcast();
    // True while `peer` is the open connection.
    bool IsOpen(SkypePeer peer) const;
    // Sends one command line to `peer`, waiting at most timeoutMs for the program to take it.
    // A connection that cannot take a whole line is ended, since its line framing is lost.
    bool SendCommand(SkypePeer peer, std::string_view text, int timeoutMs = 1000);
    // The oldest reply not taken yet, with the connection it came on.
    bool TakeReply(SkypePeer& peer, std::string& text);

    // Waits between attempts to reach the program.
    static constexpr int kRetryMs = 500;
    // Replies waiting for the owner's thread beyond this are dropped.
    static constexpr size_t kMaxQueued = 1024;

private:
    void Run();
    void Serve(plat::LocalSocket& socket, SkypePeer peer);
    bool SendLine(std::string_view line, int timeoutMs);
    void Log(const char* text, const std::string& detail);

    std::string m_path;
    plat::ui::WindowId m_owner = plat::ui::kNoWindow;
    uint32_t m_attachMsg = 0;
    uint32_t m_replyMsg = 0;
    SkypeLogFn m_log = nullptr;

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    plat::Waker m_waker;

    // The open connection: the link thread opens and closes it; senders write under the lock.
    mutable std::mutex m_sendLock;
    plat::LocalSocket* m_socket = nullptr;
    SkypePeer m_peer = 0;

    std::mutex m_queueLock;
    std::deque<std::pair<SkypePeer, std::string>> m_replies;
};
