// Shutdown cannot be undone, so it has a test program of its own.
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <string>
#include <thread>

#include "platform/MessageWindow.h"
#include "platform/ModalScope.h"
#include "support/MessagePump.h"

namespace {

using namespace platform;

constexpr MessageId kPlain = WM_USER + 0;
constexpr MessageId kText = WM_USER + 2;

class CountingWindow final : public MessageWindow {
public:
    MessageResult OnMessage(MessageId, WParam, LParam) override { return ++handled; }
    int handled = 0;
};

// Waiting senders come back with 0, queued texts are freed (the leak checker
// sees it), and later messages from any thread are refused.
TEST(MessageQueueShutdownTest, ReleasesWaitingSendersAndRefusesLaterMessages)
{
    MessageQueue& queue = MessageQueue::Instance();
    CountingWindow window;
    MessageResult waitingResult = -1;
    std::thread waitingSender([&] { waitingResult = queue.Send(window.Handle(), kPlain, 0, 0); });
    {
        ModalScope modal;  // keeps the messages queued until Shutdown
        queue.PostText(window.Handle(), kText, std::string(1000, 'x'), 0);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return queue.QueuedCount() == 2; }));
        queue.Shutdown();
        waitingSender.join();
        EXPECT_EQ(waitingResult, 0);
        EXPECT_EQ(queue.QueuedCount(), 0u);
    }
    MessageResult laterResult = -1;
    std::thread([&] { laterResult = queue.Send(window.Handle(), kPlain, 0, 0); }).join();
    EXPECT_EQ(laterResult, 0);
    EXPECT_EQ(queue.Send(window.Handle(), kPlain, 0, 0), 0);
    queue.Post(window.Handle(), kPlain, 0, 0);
    queue.PostText(window.Handle(), kText, std::string(1000, 'y'), 0);
    EXPECT_EQ(queue.QueuedCount(), 0u);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.handled, 0);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunTestsWithMessageQueue(argc, argv); }
