// The messaging program's side of the Skype link, scripted by a test: it listens on a local
// socket, takes the head unit's connection, reads its lines and writes whatever the test says.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/io/LocalSocket.h"

namespace skypetest {

class ScriptedPeer {
public:
    explicit ScriptedPeer(const std::string& path) { EXPECT_TRUE(m_listener.Listen(path)); }

    // Waits for the head unit to connect; a connection already open is dropped first.
    bool Accept(int timeoutMs = 10000) {
        m_conn = m_listener.Accept(timeoutMs);
        m_pending.clear();
        return m_conn.IsOpen();
    }

    // The next line from the head unit without its line feed; nothing when none came in time
    // or the connection ended.
    std::optional<std::string> ReadLine(int timeoutMs = 10000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t lf = m_pending.find('\n');
            if (lf != std::string::npos) {
                std::string line = m_pending.substr(0, lf);
                m_pending.erase(0, lf + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                m_conn.WaitReadable(static_cast<int>(left.count())) != plat::WaitResult::Ready)
                return std::nullopt;
            char buf[4096];
            long n = m_conn.Receive(buf, sizeof buf);
            if (n < 0)
                return std::nullopt;
            m_pending.append(buf, static_cast<size_t>(n));
        }
    }

    // True when the head unit ended the connection (after any lines still waiting).
    bool SeesEnd(int timeoutMs = 10000) {
        while (ReadLine(timeoutMs)) {
        }
        char c;
        return m_conn.WaitReadable(0) == plat::WaitResult::Ready && m_conn.Receive(&c, 1) < 0;
    }

    bool Send(std::string_view bytes) { return m_conn.SendAll(bytes.data(), bytes.size(), 5000); }
    bool SendLine(std::string_view line) { return Send(std::string(line) + "\n"); }

    // The program drops the connection but goes on listening.
    void HangUp() { m_conn.Close(); }
    // The program is gone: no connection, no listener, no socket file.
    void Vanish() {
        m_conn.Close();
        m_listener.Close();
    }

private:
    plat::LocalListener m_listener;
    plat::LocalSocket m_conn;
    std::string m_pending;
};

}  // namespace skypetest
