// The link between a page's worker threads and the user-interface thread, with real workers on
// the headless user-interface layer.
#include <atomic>
#include <memory>
#include <thread>

#include "core/ui/UiLink.h"
#include "tests/platform/ui/UiTestSupport.h"

using namespace uitest;

namespace {

TEST(UiLink, AWorkersTaskRunsOnTheUiThreadWhileTheWorkerWaits) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    auto link = std::make_shared<CUiLink>();
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> onUi{false};
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread worker([&] {
        result = link->Call([&] { onUi = std::this_thread::get_id() == uiThread; });
        returned = true;
    });
    EXPECT_TRUE(WaitUntil([&] {
        PumpUntilIdle();
        return returned.load();
    }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(onUi);
    EXPECT_TRUE(link->Alive());
}

TEST(UiLink, ClosingWakesAWaitingWorkerAndItsTaskNeverRuns) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    auto link = std::make_shared<CUiLink>();
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};
    bool result = true;
    // Nothing is pumped before the close: the task cannot have run, whenever the worker posts.
    std::thread worker([&] {
        result = link->Call([&] { ran = true; });
        returned = true;
    });
    link->Close();
    EXPECT_TRUE(WaitUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_FALSE(result);
    PumpUntilIdle();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(link->Alive());

    // A call after the close is refused the same way, without waiting for the pump.
    EXPECT_FALSE(link->Call([&] { ran = true; }));
    PumpUntilIdle();
    EXPECT_FALSE(ran);
}

}  // namespace
