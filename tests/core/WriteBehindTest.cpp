#include "core/WriteBehind.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace qv {
namespace {

// Writes run in the order handed on, each result comes back once, from the
// next hand-over or wait, and what a write uses is the caller's again after
// the wait.
TEST(WriteBehindTest, WritesRunInOrderAndEachResultComesBackOnce) {
    std::vector<int> written;
    WriteBehind behind;
    auto write = [&written](int n, bool ok) {
        return [&written, n, ok] {
            // A slow write: the hand-over after it must wait for it.
            std::this_thread::sleep_for(std::chrono::milliseconds(n % 2 ? 5 : 0));
            written.push_back(n);
            return ok;
        };
    };
    EXPECT_TRUE(behind.HandOn(write(1, true)));   // none before it
    EXPECT_TRUE(behind.HandOn(write(2, false)));  // 1 succeeded
    EXPECT_FALSE(behind.HandOn(write(3, true)));  // 2 failed
    EXPECT_TRUE(behind.HandOn(write(4, false)));  // 3 succeeded
    EXPECT_FALSE(behind.Wait());                  // 4 failed
    EXPECT_TRUE(behind.Wait());                   // told already
    EXPECT_EQ(written, (std::vector<int>{1, 2, 3, 4}));
    written.clear();  // the caller's again: no write is running
    EXPECT_TRUE(behind.HandOn(write(5, true)));
    EXPECT_TRUE(behind.Wait());
    EXPECT_EQ(written, std::vector<int>{5});
}

// A write still on its way when its owner goes is run before the end.
TEST(WriteBehindTest, AWriteHandedOnRunsBeforeTheHelperGoes) {
    bool ran = false;
    {
        WriteBehind behind;
        behind.HandOn([&ran] {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ran = true;
            return true;
        });
    }
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qv
