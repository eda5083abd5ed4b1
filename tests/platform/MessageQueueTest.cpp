#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
using platform::WM_USER;
using platform::WParam;
using testsupport::PumpUntil;

constexpr MessageId kPlain = WM_USER + 0;
constexpr MessageId kText = WM_USER + 2;  // wParam points at a std::string

// Every message below carries its place in the expected order in lParam.
struct Received {
    MessageId id = 0;
    LParam order = 0;
    std::string text;
};

class RecordingWindow final : public MessageWindow {
public:
    MessageResult OnMessage(MessageId message, WParam wParam, LParam lParam) override
    {
        Received entry{message, lParam, {}};
        if (message == kText) entry.text = *reinterpret_cast<const std::string*>(wParam);
        received.push_back(entry);
        if (onMessage) return onMessage(lParam);
        return lParam + 1000;
    }

    std::vector<LParam> Order() const
    {
        std::vector<LParam> order;
        for (const Received& entry : received) order.push_back(entry.order);
        return order;
    }

    std::vector<Received> received;
    // Runs inside OnMessage when set; its result is returned.
    std::function<MessageResult(LParam)> onMessage;
};

MessageQueue& Queue() { return MessageQueue::Instance(); }

// Every test starts and ends with an empty queue and no modal loop.
class MessageQueueTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Queue().IsUiThread());
        ASSERT_EQ(Queue().QueuedCount(), 0u);
    }
    void TearDown() override
    {
        EXPECT_FALSE(Queue().InModalLoop());
        EXPECT_EQ(Queue().QueuedCount(), 0u);
    }
};

TEST_F(MessageQueueTest, AGoneWindowsHandleIsNeverReusedAndSendsToItReturnZero)
{
    platform::WindowHandle gone = 0;
    {
        RecordingWindow window;
        gone = window.Handle();
    }
    RecordingWindow second;
    RecordingWindow third;
    EXPECT_NE(gone, 0u);
    EXPECT_NE(second.Handle(), gone);
    EXPECT_NE(third.Handle(), second.Handle());

    EXPECT_EQ(Queue().Send(0, kPlain, 0, 1), 0);
    EXPECT_EQ(Queue().Send(gone, kPlain, 0, 1), 0);
    MessageResult fromWorker = -1;
    std::thread worker([&] { fromWorker = Queue().Send(gone, kPlain, 0, 1); });
    worker.join();  // returns at once: nobody needs to handle it
    EXPECT_EQ(fromWorker, 0);
    EXPECT_TRUE(second.received.empty() && third.received.empty());
}

TEST_F(MessageQueueTest, WorkerPostsArriveInPostingOrder)
{
    RecordingWindow window;
    constexpr LParam kCount = 5000;
    std::thread worker([handle = window.Handle()] {
        for (LParam i = 0; i < kCount; ++i) {
            if (i % 3 == 0) {
                Queue().PostText(handle, kText, "text " + std::to_string(i), i);
            } else {
                Queue().Post(handle, kPlain, 0, i);
            }
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == kCount; }));
    worker.join();

    ASSERT_EQ(window.received.size(), static_cast<std::size_t>(kCount));
    for (LParam i = 0; i < kCount; ++i) {
        const Received& entry = window.received[i];
        ASSERT_EQ(entry.order, i);
        if (i % 3 == 0) {
            EXPECT_EQ(entry.id, kText);
            EXPECT_EQ(entry.text, "text " + std::to_string(i));
        } else {
            EXPECT_EQ(entry.id, kPlain);
        }
    }
}

// A worker's send returns only after its handler ran, with its result, and
// sees what the handler wrote (a plain int: the send must order the write
// before the read).
TEST_F(MessageQueueTest, InterleavedPostsAndSendsKeepTheirOrder)
{
    RecordingWindow window;
    RecordingWindow other;
    int writtenByHandler = 0;
    window.onMessage = [&](LParam order) {
        if (order == 3) writtenByHandler = 7;
        return order + 1000;
    };
    MessageResult firstResult = 0;
    MessageResult secondResult = 0;
    int seenBySender = 0;
    std::thread worker([&, handle = window.Handle(), otherHandle = other.Handle()] {
        Queue().Post(handle, kPlain, 0, 1);
        Queue().Post(otherHandle, kPlain, 0, 2);
        firstResult = Queue().Send(handle, kPlain, 0, 3);
        seenBySender = writtenByHandler;
        Queue().PostText(handle, kText, "four", 4);
        secondResult = Queue().Send(otherHandle, kPlain, 0, 5);
        Queue().Post(handle, kPlain, 0, 6);
    });
    EXPECT_TRUE(PumpUntil([&] { return window.received.size() + other.received.size() == 6; }));
    worker.join();

    EXPECT_EQ(window.Order(), (std::vector<LParam>{1, 3, 4, 6}));
    EXPECT_EQ(other.Order(), (std::vector<LParam>{2, 5}));
    EXPECT_EQ(firstResult, 1003);
    EXPECT_EQ(secondResult, 1005);
    EXPECT_EQ(seenBySender, 7);
}

TEST_F(MessageQueueTest, SendOnTheUiThreadCallsTheHandlerDirectly)
{
    RecordingWindow window;
    Queue().Post(window.Handle(), kPlain, 0, 1);

    EXPECT_EQ(Queue().Send(window.Handle(), kPlain, 0, 2), 1002);
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2})) << "ahead of the queued post";
    {
        ModalScope modal;
        EXPECT_EQ(Queue().Send(window.Handle(), kPlain, 0, 3), 1003);
    }
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2, 3}));

    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 3; }));
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2, 3, 1}));
}

TEST_F(MessageQueueTest, MessagesForADestroyedWindowAreDroppedWithTheirText)
{
    RecordingWindow survivor;
    auto doomed = std::make_unique<RecordingWindow>();
    const platform::WindowHandle doomedHandle = doomed->Handle();

    Queue().Post(survivor.Handle(), kPlain, 0, 1);
    Queue().PostText(doomedHandle, kText, std::string(1000, 'x'), 2);
    Queue().Post(doomedHandle, kPlain, 0, 3);
    Queue().PostText(survivor.Handle(), kText, "four", 4);
    ASSERT_EQ(Queue().QueuedCount(), 4u);

    doomed.reset();  // the leak checker sees whether the 1000 bytes were freed
    EXPECT_EQ(Queue().QueuedCount(), 2u);

    // Posted after the destruction: dropped at once.
    Queue().PostText(doomedHandle, kText, std::string(1000, 'y'), 5);
    Queue().Post(doomedHandle, kPlain, 0, 6);
    EXPECT_EQ(Queue().QueuedCount(), 2u);

    EXPECT_TRUE(PumpUntil([&] { return survivor.received.size() == 2; }));
    EXPECT_EQ(survivor.Order(), (std::vector<LParam>{1, 4}));
    EXPECT_EQ(survivor.received[1].text, "four");
}

TEST_F(MessageQueueTest, WorkerSendToAWindowDestroyedWhileItWaitsReturnsZero)
{
    auto window = std::make_unique<RecordingWindow>();
    MessageResult result = -1;
    std::thread worker(
        [&, handle = window->Handle()] { result = Queue().Send(handle, kPlain, 0, 1); });
    {
        // Keeps the send queued, unhandled, until the window is gone.
        ModalScope modal;
        EXPECT_TRUE(PumpUntil([] { return Queue().QueuedCount() == 1; }));
        window.reset();
        worker.join();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Queue().QueuedCount(), 0u);
}

TEST_F(MessageQueueTest, NestedModalScopesDeferMessagesUntilTheOutermostCloses)
{
    RecordingWindow window;
    MessageResult sendResult = 0;
    std::optional<std::thread> worker;
    std::optional<ModalScope> outer;
    std::optional<ModalScope> inner;
    outer.emplace();
    inner.emplace();

    Queue().Post(window.Handle(), kPlain, 0, 0);
    worker.emplace([&, handle = window.Handle()] {
        Queue().Post(handle, kPlain, 0, 1);
        sendResult = Queue().Send(handle, kPlain, 0, 2);
        Queue().PostText(handle, kText, "three", 3);
    });
    // The worker is blocked in its send, which waits with the posts.
    EXPECT_TRUE(PumpUntil([] { return Queue().QueuedCount() == 3; }));
    Queue().DispatchPending();
    EXPECT_TRUE(window.received.empty());

    inner.reset();
    EXPECT_TRUE(Queue().InModalLoop());
    QCoreApplication::processEvents();
    Queue().DispatchPending();
    EXPECT_TRUE(window.received.empty()) << "the outer scope is still open";

    outer.reset();
    EXPECT_FALSE(Queue().InModalLoop());
    EXPECT_TRUE(window.received.empty()) << "the drain waits for the event loop";

    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 4; }));
    worker->join();
    EXPECT_EQ(window.Order(), (std::vector<LParam>{0, 1, 2, 3}));
    EXPECT_EQ(sendResult, 1002);
}

// A handler that dispatches again, directly or from a dialog's nested loop,
// must not get the messages queued behind its own.
TEST_F(MessageQueueTest, HandlerReenteringTheDispatchDoesNotReorder)
{
    for (const bool inDialog : {false, true}) {
        SCOPED_TRACE(inDialog ? "inside a modal loop" : "directly");
        RecordingWindow window;
        std::vector<LParam> seenInsideTheHandler;
        window.onMessage = [&](LParam order) {
            if (order == 1) {
                std::optional<ModalScope> dialog;
                if (inDialog) dialog.emplace();
                QCoreApplication::processEvents();
                Queue().DispatchPending();
                Queue().Post(window.Handle(), kPlain, 0, 3);
                seenInsideTheHandler = window.Order();
            }
            return MessageResult{0};
        };
        Queue().Post(window.Handle(), kPlain, 0, 1);
        Queue().Post(window.Handle(), kPlain, 0, 2);

        EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 3; }));
        EXPECT_EQ(seenInsideTheHandler, (std::vector<LParam>{1}));
        EXPECT_EQ(window.Order(), (std::vector<LParam>{1, 2, 3}));
    }
}

// A window-modal dialog opened by a handler stays open after the handler
// returns; the messages behind it wait for it to close.
TEST_F(MessageQueueTest, ModalScopeOutlivingItsHandlerStopsTheDispatch)
{
    RecordingWindow window;
    std::optional<ModalScope> dialog;
    window.onMessage = [&](LParam order) {
        if (order == 1) dialog.emplace();
        return MessageResult{0};
    };
    Queue().Post(window.Handle(), kPlain, 0, 1);
    Queue().Post(window.Handle(), kPlain, 0, 2);

    EXPECT_TRUE(PumpUntil([&] { return !window.received.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Order(), (std::vector<LParam>{1}));
    EXPECT_EQ(Queue().QueuedCount(), 1u);

    dialog.reset();
    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 2; }));
    EXPECT_EQ(window.Order(), (std::vector<LParam>{1, 2}));
}

TEST_F(MessageQueueTest, DispatchSentMessagesLeavesPostedMessagesInPlace)
{
    RecordingWindow window;
    Queue().Post(window.Handle(), kPlain, 0, 1);
    MessageResult result = 0;
    std::thread worker(
        [&, handle = window.Handle()] { result = Queue().Send(handle, kPlain, 0, 2); });

    // Waits for the send to arrive (the limit is only a guard against a hang).
    Queue().DispatchSentMessages(60000);
    worker.join();
    EXPECT_EQ(result, 1002);
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2}));
    EXPECT_EQ(Queue().QueuedCount(), 1u);

    Queue().DispatchSentMessages(0);
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2})) << "posted messages are not its business";

    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 2; }));
    EXPECT_EQ(window.Order(), (std::vector<LParam>{2, 1}));
}

// The UI thread waiting for the worker inside a handler or a modal loop must
// still serve the worker's send, or both would wait for ever.
TEST_F(MessageQueueTest, DispatchSentMessagesServesSendsInsideHandlersAndModalLoops)
{
    RecordingWindow window;
    std::vector<LParam> seenInsideTheHandler;
    MessageResult result = 0;
    std::optional<std::thread> worker;
    window.onMessage = [&](LParam order) {
        if (order == 1) {
            ModalScope dialog;
            worker.emplace(
                [&, handle = window.Handle()] { result = Queue().Send(handle, kPlain, 0, 3); });
            Queue().DispatchSentMessages(60000);
            seenInsideTheHandler = window.Order();
        }
        return MessageResult{order + 1000};
    };
    Queue().Post(window.Handle(), kPlain, 0, 1);
    Queue().Post(window.Handle(), kPlain, 0, 2);

    EXPECT_TRUE(PumpUntil([&] { return window.received.size() == 3; }));
    worker->join();
    EXPECT_EQ(seenInsideTheHandler, (std::vector<LParam>{1, 3}));
    EXPECT_EQ(window.Order(), (std::vector<LParam>{1, 3, 2}));
    EXPECT_EQ(result, 1003);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunTestsWithMessageQueue(argc, argv); }
