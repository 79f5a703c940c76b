// A call with no time limit of its own, bounded (a quick one is every network
// test's name lookup): one that does not end leaves the caller waiting no
// longer than its limit, pumped between slices, and its late answer is freed.

#include "ports/bounded_call.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;

TEST(CallWithin, ACallThatDoesNotEndIsLeftBehindAndItsLateAnswerFreed) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<int> discarded;
    int pumps = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto answer = callWithin<int>(
        [released] {
            released.wait();
            return 7;
        },
        200ms, 20ms, [&] { ++pumps; }, [&](int& late) { discarded.set_value(late); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(answer.has_value());
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 5s); // only a hang fails, not a slow machine
    EXPECT_GE(pumps, 5);
    release.set_value();
    auto late = discarded.get_future();
    ASSERT_EQ(late.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(late.get(), 7);
}

} // namespace
} // namespace ordalia
