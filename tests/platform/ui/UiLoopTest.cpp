// Queues, blocking sends, modal loops, shutdown and timers on the headless backend, with real
// worker threads.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/platform/ui/UiTestSupport.h"

using namespace uitest;

namespace {

constexpr uint32_t kAsk = kWmUser + 1;

TEST(UiLoop, WorkerSendIsAnsweredInsideNestedModalLoops) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    TestWindow main, popup;
    ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    ASSERT_TRUE(popup.Open(Rect::FromXYWH(200, 100, 400, 200)));
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> innerRunning{false};
    std::atomic<int> innerResult{-1};
    bool answeredOnUiThread = false;
    bool answeredInsideInner = false;
    main.message = [&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
        if (msg == kAsk) {
            answeredOnUiThread = std::this_thread::get_id() == uiThread;
            answeredInsideInner = innerRunning;
            return static_cast<intptr_t>(w) * 2;
        }
        if (msg == kAsk + 1) {  // opens the pop-up from inside the main loop
            innerRunning = true;
            innerResult = RunModalLoop(popup.Id());
            innerRunning = false;
        }
        return 0;
    };
    ASSERT_TRUE(PostMessage(main.Id(), kAsk + 1, 0, 0));

    intptr_t answer = 0;
    bool sent = false;
    std::thread worker([&] {
        ASSERT_TRUE(WaitUntil([&] { return innerRunning.load(); }));
        sent = SendMessage(main.Id(), kAsk, 21, 0, &answer);
        EndModal(popup.Id(), 209);
        ASSERT_TRUE(WaitUntil([&] { return !innerRunning.load(); }));
        EndModal(main.Id(), 1);
    });
    int mainResult = RunModalLoop(main.Id());
    worker.join();

    EXPECT_TRUE(sent);
    EXPECT_EQ(answer, 42);
    EXPECT_TRUE(answeredOnUiThread);
    EXPECT_TRUE(answeredInsideInner);
    EXPECT_EQ(innerResult, 209);
    EXPECT_EQ(mainResult, 1);
}

TEST(UiLoop, SendsFailAtOnceAfterShutdownAndWhilePending) {
    HeadlessUi ui;
    TestWindow main;
    ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 10, 10)));
    main.message = [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 5; };

    // A worker blocked in a send while the user-interface thread is busy elsewhere: shutdown
    // releases it with a failure.
    std::atomic<bool> sending{false};
    std::atomic<int> outcome{-1};
    std::thread worker([&] {
        sending = true;
        outcome = SendMessage(main.Id(), kAsk, 0, 0) ? 1 : 0;
    });
    ASSERT_TRUE(WaitUntil([&] { return sending.load(); }));
    // Gives the send time to be queued; the outcome is the same if it comes after shutdown.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    BeginShutdown();
    worker.join();
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(IsShuttingDown());

    // After shutdown every send and post fails without anyone pumping.
    std::thread late([&] {
        EXPECT_FALSE(SendMessage(main.Id(), kAsk, 0, 0));
        EXPECT_FALSE(RunOnUiThread([] {}));
        EXPECT_FALSE(PostMessage(main.Id(), kAsk, 0, 0));
    });
    late.join();
    EXPECT_FALSE(SendMessage(main.Id(), kAsk, 0, 0));
    EXPECT_EQ(RunModalLoop(main.Id()), 2);
}

TEST(UiLoop, SendToDestroyedWindowFailsAndPendingSendFailsOnDestroy) {
    HeadlessUi ui;
    auto target = std::make_unique<TestWindow>();
    ASSERT_TRUE(target->Open(Rect::FromXYWH(0, 0, 10, 10)));
    WindowId id = target->Id();
    std::atomic<bool> sending{false};
    std::atomic<int> outcome{-1};
    std::thread worker([&] {
        sending = true;
        outcome = SendMessage(id, kAsk, 0, 0) ? 1 : 0;
    });
    ASSERT_TRUE(WaitUntil([&] { return sending.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    target.reset();
    worker.join();
    EXPECT_EQ(outcome, 0);
    EXPECT_FALSE(SendMessage(id, kAsk, 0, 0));
    std::thread other([&] { EXPECT_FALSE(SendMessage(id, kAsk, 0, 0)); });
    other.join();
}

TEST(UiLoop, PopUpAskedByWorkerRunsOnUiThreadWhileWorkerWaits) {
    HeadlessUi ui;
    TestWindow main;
    ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> popupOpen{false};
    std::atomic<int> workerResult{-1};
    bool popupOnUiThread = false;
    std::thread worker([&] {
        int result = -1;
        bool ok = RunOnUiThread([&] {
            TestWindow popup;
            popup.Open(Rect::FromXYWH(200, 140, 400, 200), true, kNoWindow, true);
            popup.pen = [&](PenAction a, Point pt) {
                if (a == PenAction::Up && pt.x < 200)
                    EndModal(popup.Id(), 208);
            };
            popupOnUiThread = std::this_thread::get_id() == uiThread;
            popupOpen = true;
            result = RunModalLoop(popup.Id());
            popupOpen = false;
        });
        workerResult = ok ? result : -2;
        EndModal(main.Id(), 0);
    });
    std::thread tapper([&] {
        ASSERT_TRUE(WaitUntil([&] { return popupOpen.load(); }));
        InjectPen(PenAction::Down, Point{250, 200});
        InjectPen(PenAction::Up, Point{250, 200});
    });
    RunModalLoop(main.Id());
    worker.join();
    tapper.join();
    EXPECT_TRUE(popupOnUiThread);
    EXPECT_EQ(workerResult, 208);
}

TEST(UiLoop, TwoUserInterfaceThreadsSendingToEachOtherDoNotDeadlock) {
    HeadlessUi ui;
    TestWindow a;
    ASSERT_TRUE(a.Open(Rect::FromXYWH(0, 0, 10, 10)));
    std::atomic<WindowId> bId{kNoWindow};
    intptr_t fromB = 0;
    a.message = [&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
        if (msg == kAsk)
            return static_cast<intptr_t>(w) + 1;
        // Handled on this thread while the other one waits for our answer to its own send.
        SendMessage(bId, kAsk, 10, 0, &fromB);
        return 0;
    };
    std::thread second([&] {
        TestWindow b;
        b.Open(Rect::FromXYWH(0, 0, 10, 10));
        b.message = [&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
            return msg == kAsk ? static_cast<intptr_t>(w) + 100 : 0;
        };
        bId = b.Id();
        intptr_t fromA = 0;
        // B asks A to ask B: A's handler sends back while B waits in this send.
        EXPECT_TRUE(SendMessage(a.Id(), kAsk + 1, 0, 0, &fromA));
        EXPECT_TRUE(SendMessage(a.Id(), kAsk, 1, 0, &fromA));
        EXPECT_EQ(fromA, 2);
        EndModal(a.Id(), 0);
    });
    RunModalLoop(a.Id());
    second.join();
    EXPECT_EQ(fromB, 110);
}

TEST(UiLoop, PostsRunInOrderAndTasksRunOnTheUiThread) {
    HeadlessUi ui;
    TestWindow w;
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 10, 10)));
    std::vector<int> seen;
    w.message = [&](uint32_t msg, uintptr_t, intptr_t l) -> intptr_t {
        seen.push_back(static_cast<int>(msg - kWmUser) * 10 + static_cast<int>(l));
        return 0;
    };
    const std::thread::id uiThread = std::this_thread::get_id();
    bool taskOnUi = false;
    std::thread worker([&] {
        EXPECT_TRUE(PostMessage(w.Id(), kWmUser + 1, 0, 1));
        EXPECT_TRUE(PostMessage(w.Id(), kWmUser + 2, 0, 2));
        EXPECT_TRUE(PostToUiThread([&] { taskOnUi = std::this_thread::get_id() == uiThread; }));
        EXPECT_TRUE(PostMessage(w.Id(), kWmUser + 3, 0, 3));
    });
    worker.join();
    PumpUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{11, 22, 33}));
    EXPECT_TRUE(taskOnUi);
}

TEST(UiLoop, TimersKeepFiringInsideModalLoopsStartedFromATimer) {
    ManualClock clock;
    clock.SetAutoAdvance(false);
    SetClock(&clock);
    {
        HeadlessUi ui;
        TestWindow main, popup;
        ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 0, 0), false));
        ASSERT_TRUE(popup.Open(Rect::FromXYWH(100, 100, 100, 100)));
        std::atomic<int> ticks{0};
        std::atomic<int> depth{0};
        int deepest = 0;
        int popupResult = -1;
        main.timer = [&](uint32_t id) {
            ASSERT_EQ(id, 1u);
            ++ticks;
            if (ticks == 1) {  // the first tick opens a box, as the main tick's notice does
                ++depth;
                popupResult = RunModalLoop(popup.Id());
                --depth;
            } else {
                deepest = std::max(deepest, depth.load());
                if (ticks == 4)
                    EndModal(popup.Id(), 3);
            }
        };
        ASSERT_TRUE(SetTimer(main.Id(), 1, 30));
        std::atomic<bool> done{false};
        std::thread driver([&] {
            // One period at a time, each once the loop has taken the previous tick.
            while (!done) {
                int before = ticks;
                clock.Advance(30);
                WaitUntil([&] { return ticks != before || done; });
            }
        });
        popup.timer = [&](uint32_t) {};
        std::thread ender([&] {
            WaitUntil([&] { return ticks >= 5; });
            EndModal(main.Id(), 0);
        });
        RunModalLoop(main.Id());
        done = true;
        driver.join();
        ender.join();
        EXPECT_EQ(popupResult, 3);
        EXPECT_EQ(deepest, 1);  // ticks 2 to 4 came inside the pop-up's loop
        EXPECT_GE(ticks, 5);
    }
    SetClock(nullptr);
}

TEST(UiLoop, LateTimerFiresOnceThenKeepsItsPeriodFromNow) {
    ManualClock clock;
    SetClock(&clock);
    {
        HeadlessUi ui;
        TestWindow w;
        ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 10, 10)));
        std::vector<uint32_t> ticks;
        w.timer = [&](uint32_t id) { ticks.push_back(id); };
        ASSERT_TRUE(SetTimer(w.Id(), 7, 30));
        PumpUntilIdle();
        EXPECT_TRUE(ticks.empty());
        clock.Advance(30);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 1u);
        // Three and a half periods late: one tick, not a burst.
        clock.Advance(105);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 2u);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 2u);
        clock.Advance(29);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 2u);
        clock.Advance(1);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 3u);
        // A timer keeps its phase when on time: the next one is due 30 ms later.
        clock.Advance(30);
        PumpUntilIdle();
        EXPECT_EQ(ticks.size(), 4u);

        ASSERT_TRUE(SetTimer(w.Id(), 8, 50));
        clock.Advance(50);
        ticks.clear();
        PumpUntilIdle();
        EXPECT_EQ(ticks, (std::vector<uint32_t>{7, 8}));
        EXPECT_TRUE(KillTimer(w.Id(), 7));
        EXPECT_FALSE(KillTimer(w.Id(), 7));
        clock.Advance(100);
        ticks.clear();
        PumpUntilIdle();
        EXPECT_EQ(ticks, (std::vector<uint32_t>{8}));
        // A destroyed window's timers go with it.
        w.Destroy();
        clock.Advance(100);
        ticks.clear();
        PumpUntilIdle();
        EXPECT_TRUE(ticks.empty());
    }
    SetClock(nullptr);
}

TEST(UiLoop, ModalLoopEndedBeforeItStartsReturnsAtOnce) {
    HeadlessUi ui;
    TestWindow w;
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 10, 10)));
    EXPECT_TRUE(EndModal(w.Id(), 17));
    EXPECT_EQ(RunModalLoop(w.Id()), 17);
    // The end was used up: the next loop runs until its own end.
    ASSERT_TRUE(PostMessage(w.Id(), kAsk, 0, 0));
    w.message = [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        EndModal(w.Id(), 4);
        return 0;
    };
    EXPECT_EQ(RunModalLoop(w.Id()), 4);
    // A window destroyed inside its loop ends the loop with 2.
    ASSERT_TRUE(PostMessage(w.Id(), kAsk, 0, 0));
    w.message = [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        w.Destroy();
        return 0;
    };
    WindowId id = w.Id();
    EXPECT_EQ(RunModalLoop(id), 2);
    EXPECT_FALSE(IsWindow(id));
}

}  // namespace

namespace {

TEST(UiLoop, LoopOnAnotherThreadsWindowEndsWhenEndedOrDestroyed) {
    HeadlessUi ui;
    // The window belongs to a second thread; this thread runs a loop on it.
    std::unique_ptr<TestWindow> w;
    std::atomic<int> stage{0};
    std::thread owner([&] {
        w = std::make_unique<TestWindow>();
        w->Open(Rect::FromXYWH(0, 0, 10, 10));
        stage = 1;
        WaitUntil([&] { return stage == 2; });
        w.reset();  // destroyed on its own thread
        stage = 3;
    });
    ASSERT_TRUE(WaitUntil([&] { return stage == 1; }));
    WindowId id = w->Id();
    std::thread ender([&] { EndModal(id, 12); });
    EXPECT_EQ(RunModalLoop(id), 12);
    ender.join();
    std::thread destroyer([&] { stage = 2; });
    EXPECT_EQ(RunModalLoop(id), 2);
    destroyer.join();
    owner.join();
    EXPECT_EQ(stage, 3);
}

}  // namespace
