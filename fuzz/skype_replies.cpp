// What the messaging program sends: whatever bytes arrive on the link, in whatever pieces, and
// whatever text a reply holds, the connector must neither crash nor read or write past what it
// was given, and must keep its call-status field terminated.
//
// The first byte sets the piece size the stream is cut into; the whole input is also handed
// over once as one reply of exactly its own size.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/shell/SkypeClient.h"
#include "core/shell/SkypeLink.h"

namespace {

// Formats like the real log, so every argument the connector passes is read.
int FormatOnly(const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return n;
}

constexpr SkypePeer kPeer = 42;

void CheckClient(const CSkypeClient& client) {
    if (!std::memchr(client.m_szCallStatus, 0, sizeof client.m_szCallStatus))
        std::abort();
    if (client.m_bPending > 1)
        std::abort();
}

void HandOver(CSkypeClient& client, const char* data, size_t size, uintptr_t sender) {
    COPYDATASTRUCT copy;
    copy.cbData = static_cast<uint32_t>(size);
    copy.lpData = data;
    client.OnMessage(WM_COPYDATA, sender, reinterpret_cast<intptr_t>(&copy));
    CheckClient(client);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256 * 1024)
        return 0;
    CSkypeClient client;
    client.m_pfnLog = FormatOnly;
    // No owner window and no link: only the parsing runs.
    client.m_uAttachMsg = 0xC000;
    client.m_uDiscoverMsg = 0xC001;

    // The stream through the link's line reader, with a small line limit so long lines are
    // reached quickly.
    size_t piece = size > 0 ? data[0] % 64 + 1 : 1;
    CSkypeLineReader reader(4096);
    std::string line;
    for (size_t at = 0; at < size; at += piece) {
        reader.Feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
        while (reader.Next(line)) {
            if (line.size() > 4096)
                std::abort();
            SkypeLine msg = ParseSkypeLine(line);
            if (msg.kind == SkypeLineKind::Attach) {
                client.OnMessage(client.m_uAttachMsg, kPeer, static_cast<intptr_t>(msg.status));
            } else if (msg.kind == SkypeLineKind::Reply) {
                if (msg.text.size() >= line.size())
                    std::abort();
                HandOver(client, msg.text.c_str(), msg.text.size() + 1, client.m_hSkype);
            }
            CheckClient(client);
        }
    }

    // The whole input as one reply with no terminator after it.
    client.m_hSkype = kPeer;
    auto exact = std::make_unique<char[]>(size > 0 ? size : 1);
    if (size > 0)
        std::memcpy(exact.get(), data, size);
    HandOver(client, exact.get(), size, kPeer);
    return 0;
}
