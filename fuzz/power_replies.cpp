// Power-module replies: whatever the module sends back, in whatever pieces, the protocol code
// must neither crash, nor hang, nor keep anything it did not read whole.
//
// The input is a list of chunks, each a length byte (low four bits) and that many bytes; a
// responder on the module's side of a pseudo-terminal sends the next chunk each time a byte
// from the program arrives.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "core/kernel/PowerModule.h"
#include "platform/io/Pty.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024)
        return 0;
    plat::PseudoTerminal pty;
    if (!pty.Open())
        return 0;
    CPowerModule pm;
    if (!pm.Open(pty.SlavePath().c_str()) || !pm.Configure(57600) || !pm.SetTimeouts())
        return 0;
    // Replies are already waiting or never come: a short wait keeps the runs fast.
    pm.SetReplyWait(3);

    std::atomic<bool> stop{false};
    std::thread responder([&] {
        size_t pos = 0;
        uint8_t in[64];
        while (!stop) {
            long n = pty.Read(in, sizeof in, 1);
            for (long i = 0; i < n && pos < size; ++i) {
                size_t wanted = data[pos++] & 0x0F;
                size_t length = std::min(wanted, size - pos);
                pty.Write(data + pos, length);
                pos += length;
            }
        }
    });

    const uint8_t queries[] = {PM_QUERY_MODEL,        PM_QUERY_VERSION, PM_QUERY_ACC_HOLD,
                               PM_QUERY_SECOND_TIMER, PM_QUERY_TEXT_B1, PM_QUERY_TEXT_B2,
                               PM_QUERY_SET_DONE};
    for (uint8_t q : queries)
        pm.Query(q);
    int model = pm.ModelIndex();
    std::string name = pm.ModelName();
    pm.SetAccHoldTimer(size > 1 ? static_cast<uint16_t>(data[0] << 8 | data[1]) : 1800);
    CommandSeqExchange(pm, 0x01, 0x02, 0x03, 3);

    stop = true;
    responder.join();

    if (model < -1 || model > 3 || name.size() > PM_MODEL_NAME_LENGTH)
        std::abort();
    if (pm.m_strVersion.size() > 5 || pm.m_szModelName[10] != '\0' || pm.m_szTextB1[10] != '\0' ||
        pm.m_szTextB2[4] != '\0')
        std::abort();
    if (!pm.m_bModelReceived && model != -1)
        std::abort();
    return 0;
}
