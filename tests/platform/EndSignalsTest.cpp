#include "platform/sys/EndSignals.h"

#include <gtest/gtest.h>
#include <signal.h>

TEST(EndSignals, InterruptClosesAndTerminationOrHangUpEndTheSession) {
    plat::CatchEndSignals();
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::None);
    ::raise(SIGINT);
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::Close);
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::None) << "taken once";
    ::raise(SIGTERM);
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::EndSession);
    ::raise(SIGHUP);
    ::raise(SIGINT);
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::EndSession)
        << "the end of the session is not lowered to a close";
    plat::ReleaseEndSignals();

    // The handler before ours is back: ignoring SIGHUP leaves nothing to take.
    struct sigaction old = {};
    struct sigaction ign = {};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ign, &old);
    plat::CatchEndSignals();
    plat::ReleaseEndSignals();
    ::raise(SIGHUP);
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::None);
    sigaction(SIGHUP, &old, nullptr);
}
