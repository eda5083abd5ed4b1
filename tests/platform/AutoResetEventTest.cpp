#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <atomic>
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

// Two threads wait; each Set releases exactly one of them, which sees what
// the setter wrote before (a plain int: the event must order the two).
TEST(AutoResetEventTest, EachSetReleasesOneWaiter)
{
    AutoResetEvent event;
    AutoResetEvent released;
    int handedOver = 0;
    std::atomic<int> seen{0};
    auto waiter = [&] {
        event.Wait();
        seen += handedOver;
        released.Set();
    };
    std::thread first(waiter);
    std::thread second(waiter);
    handedOver = 1;
    event.Set();
    released.Wait();
    // The released waiter consumed the signal; nothing is left for the other.
    EXPECT_FALSE(event.TryWait());
    EXPECT_EQ(seen, 1);
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(seen, 2);
    EXPECT_FALSE(event.TryWait());
}

}  // namespace

// A program of its own, without a Qt application.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
