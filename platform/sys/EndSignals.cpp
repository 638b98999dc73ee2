#include "platform/sys/EndSignals.h"

#include <signal.h>

#include <atomic>

namespace plat {

namespace {

// 0 none, 1 close, 2 end of session; only ever raised by the handler.
std::atomic<int> g_request{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
bool g_caught = false;

extern "C" void OnEndSignal(int sig) {
    int want = sig == SIGINT ? 1 : 2;
    int have = g_request.load(std::memory_order_relaxed);
    while (have < want && !g_request.compare_exchange_weak(have, want)) {
    }
}

}  // namespace

void CatchEndSignals() {
    if (g_caught)
        return;
    struct sigaction sa = {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &sa, &g_previous[i]);
    g_caught = true;
}

void ReleaseEndSignals() {
    if (!g_caught)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    g_caught = false;
}

bool EndRequestPending() {
    return g_request.load(std::memory_order_relaxed) != 0;
}

EndRequest TakeEndRequest() {
    switch (g_request.exchange(0)) {
        case 1:
            return EndRequest::Close;
        case 2:
            return EndRequest::EndSession;
        default:
            return EndRequest::None;
    }
}

}  // namespace plat
