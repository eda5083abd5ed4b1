#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using platform::AutoResetEvent;

// Sets are not counted: any number of them before a wait release one wait.
TEST(AutoResetEventTest, ASetIsRememberedUntilOneWaitConsumesIt)
{
    AutoResetEvent event;
    EXPECT_FALSE(event.TryWait());
    event.Set();
    event.Wait();  // returns at once
    EXPECT_FALSE(event.TryWait());
    event.Set();
    event.Set();
    EXPECT_TRUE(event.TryWait());
    EXPECT_FALSE(event.TryWait());
}

TEST(AutoResetEventTest, SetFromAnotherThreadReleasesTheWaiter)
{
    AutoResetEvent event;
    int handedOver = 0;  // plain int: the event must order the write before the read
    std::thread setter([&] {
        handedOver = 42;
        event.Set();
    });
    event.Wait();
    EXPECT_EQ(handedOver, 42);
    setter.join();
}

// Two threads wait; each Set releases exactly one of them.
TEST(AutoResetEventTest, OneSetReleasesOneOfTwoWaiters)
{
    AutoResetEvent event;
    std::mutex mutex;
    std::condition_variable changed;
    int released = 0;

    auto waiter = [&] {
        event.Wait();
        std::lock_guard lock(mutex);
        ++released;
        changed.notify_all();
    };
    std::thread first(waiter);
    std::thread second(waiter);

    event.Set();
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return released >= 1; });
    }
    // The released waiter consumed the signal; nothing is left for the other.
    EXPECT_FALSE(event.TryWait());

    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(released, 2);
    EXPECT_FALSE(event.TryWait());
}

}  // namespace

// A program of its own, without a Qt application.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
