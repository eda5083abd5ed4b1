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

using platform::LParam;
using platform::MessageId;
using platform::MessageQueue;
using platform::MessageResult;
using platform::MessageWindow;
using platform::ModalScope;
using platform::WParam;

constexpr MessageId kPlain = platform::WM_USER + 0;
constexpr MessageId kText = platform::WM_USER + 2;

class CountingWindow final : public MessageWindow {
public:
    MessageResult OnMessage(MessageId, WParam, LParam) override
    {
        ++handled;
        return 1;
    }
    int handled = 0;
};

TEST(MessageQueueShutdownTest, ReleasesWaitingSendersAndRefusesLaterMessages)
{
    MessageQueue& queue = MessageQueue::Instance();
    CountingWindow window;
    MessageResult waitingResult = -1;
    std::thread waitingSender([&] { waitingResult = queue.Send(window.Handle(), kPlain, 0, 0); });
    {
        // Keeps the messages queued until Shutdown.
        ModalScope modal;
        queue.PostText(window.Handle(), kText, std::string(1000, 'x'), 0);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return queue.QueuedCount() == 2; }));

        queue.Shutdown();
        waitingSender.join();
        EXPECT_EQ(waitingResult, 0);
        EXPECT_EQ(queue.QueuedCount(), 0u) << "the leak checker sees whether the text was freed";
    }

    MessageResult laterResult = -1;
    std::thread laterSender([&] { laterResult = queue.Send(window.Handle(), kPlain, 0, 0); });
    laterSender.join();  // returns at once
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
