// The one-pass worker thread the search, save and print workers share: one
// pass at a time, a cancel that reaches the pass, and an ending report that
// finds the worker idle (dialogs close on it and may start the next pass).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "core/WorkerThread.h"

namespace qv {
namespace {

TEST(WorkerThreadTest, OnePassAtATimeAndStopReachesThePass) {
    WorkerThread worker;
    std::promise<void> started;
    std::atomic<bool> sawCancel{false};
    ASSERT_EQ(worker.Start([&](const std::atomic<bool>& cancel) {
        started.set_value();
        while (!cancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawCancel = true;
    }), 0);
    started.get_future().wait();
    EXPECT_TRUE(worker.Running());
    EXPECT_EQ(worker.Start([](const std::atomic<bool>&) {}), -1);
    worker.Stop();
    EXPECT_TRUE(sawCancel.load());
    EXPECT_FALSE(worker.Running());

    // A new pass starts with the flag cleared, and runs to its own end.
    std::atomic<bool> cancelledAtStart{true};
    ASSERT_EQ(worker.Start([&](const std::atomic<bool>& cancel) { cancelledAtStart = cancel.load(); }), 0);
    worker.Wait();
    EXPECT_FALSE(cancelledAtStart.load());
}

TEST(WorkerThreadTest, TheLastReportFindsTheWorkerIdleAndMayStartAgain) {
    WorkerThread worker;
    std::atomic<int> passes{0};
    std::promise<bool> idleAtLast;
    ASSERT_EQ(worker.Start([&](const std::atomic<bool>&) { ++passes; },
                           [&] { idleAtLast.set_value(!worker.Running()); }),
              0);
    EXPECT_TRUE(idleAtLast.get_future().get());
    // As a dialog does on the ending report: the next pass is accepted.
    EXPECT_EQ(worker.Start([&](const std::atomic<bool>&) { ++passes; }), 0);
    worker.Wait();
    EXPECT_EQ(passes.load(), 2);
}

}  // namespace
}  // namespace qv
