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

using namespace platform;
using testsupport::PumpUntil;

constexpr MessageId kPlain = WM_USER + 0;
constexpr MessageId kText = WM_USER + 2;  // wParam points at a std::string

// Every message below carries its place in the expected order in lParam.
struct RecordingWindow final : MessageWindow {
    MessageResult OnMessage(MessageId message, WParam wParam, LParam lParam) override
    {
        order.push_back(lParam);
        texts.push_back(message == kText ? *reinterpret_cast<const std::string*>(wParam) : "");
        return onMessage ? onMessage(lParam) : lParam + 1000;
    }

    std::vector<LParam> order;
    std::vector<std::string> texts;  // empty for kPlain
    // Runs inside OnMessage when set; its result is returned.
    std::function<MessageResult(LParam)> onMessage;
};

MessageQueue& Queue() { return MessageQueue::Instance(); }

// Every test starts and ends with an empty queue and no modal loop.
class MessageQueueTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Queue().IsUiThread() && Queue().QueuedCount() == 0); }
    void TearDown() override { EXPECT_TRUE(!Queue().InModalLoop() && Queue().QueuedCount() == 0); }
};

// Nested modal scopes hold everything queued until the outermost closes; the
// drain then waits for the event loop. Queued and later messages for a gone
// window are dropped with their texts (the leak checker sees whether the
// bytes were freed); sends to it return 0, also a worker's send that was
// waiting. Handles are never reused.
TEST_F(MessageQueueTest, ModalScopesDeferMessagesAndThoseForAGoneWindowAreDropped)
{
    RecordingWindow survivor;
    auto doomed = std::make_unique<RecordingWindow>();
    const WindowHandle gone = doomed->Handle();
    MessageResult waiting = -1;
    std::optional<ModalScope> outer{std::in_place}, inner{std::in_place};
    std::thread worker([&] { waiting = Queue().Send(gone, kPlain, 0, 5); });
    Queue().Post(survivor.Handle(), kPlain, 0, 1);
    Queue().PostText(gone, kText, std::string(1000, 'x'), 2);
    Queue().Post(gone, kPlain, 0, 3);
    Queue().PostText(survivor.Handle(), kText, "four", 4);
    EXPECT_TRUE(PumpUntil([] { return Queue().QueuedCount() == 5; }));
    doomed.reset();
    worker.join();
    Queue().PostText(gone, kText, std::string(1000, 'y'), 6);
    Queue().Post(gone, kPlain, 0, 7);
    EXPECT_EQ(Queue().Send(gone, kPlain, 0, 8) + Queue().Send(0, kPlain, 0, 8), 0);
    std::thread([&] { waiting += Queue().Send(gone, kPlain, 0, 9); }).join();  // at once
    inner.reset();
    QCoreApplication::processEvents();
    Queue().DispatchPending();
    EXPECT_EQ(Queue().QueuedCount(), 2u) << "the outer scope is still open";
    outer.reset();
    EXPECT_TRUE(survivor.order.empty()) << "the drain waits for the event loop";
    EXPECT_EQ(waiting, 0);
    RecordingWindow next;
    EXPECT_NE(next.Handle(), gone);
    EXPECT_TRUE(PumpUntil([&] { return survivor.order.size() == 2; }));
    EXPECT_EQ(survivor.order, (std::vector<LParam>{1, 4}));
    EXPECT_EQ(survivor.texts[1], "four");
}

// A worker's send returns only after its handler ran, with its result, and
// sees what the handler wrote (a plain int: the send must order the write
// before the read).
TEST_F(MessageQueueTest, WorkerPostsAndSendsKeepTheirOrder)
{
    RecordingWindow window, other;
    int writtenByHandler = 0;
    window.onMessage = [&](LParam order) {
        if (order == 3) writtenByHandler = 7;
        return order + 1000;
    };
    std::vector<MessageResult> results(3);  // the two sends', what the first saw
    std::thread worker([&, handle = window.Handle(), otherHandle = other.Handle()] {
        Queue().Post(handle, kPlain, 0, 1);
        Queue().Post(otherHandle, kPlain, 0, 2);
        results[0] = Queue().Send(handle, kPlain, 0, 3);
        results[2] = writtenByHandler;
        Queue().PostText(handle, kText, "four", 4);
        results[1] = Queue().Send(otherHandle, kPlain, 0, 5);
        for (LParam i = 6; i < 3000; ++i) Queue().PostText(handle, kText, std::to_string(i), i);
    });
    EXPECT_TRUE(PumpUntil([&] { return window.order.size() + other.order.size() == 2999; }));
    worker.join();
    std::vector<LParam> expected = {1, 3, 4};
    for (LParam i = 6; i < 3000; ++i) expected.push_back(i);
    EXPECT_EQ(window.order, expected);
    for (std::size_t i = 2; i < window.texts.size(); ++i)
        ASSERT_EQ(window.texts[i], i == 2 ? "four" : std::to_string(window.order[i]));
    EXPECT_EQ(other.order, (std::vector<LParam>{2, 5}));
    EXPECT_EQ(results, (std::vector<MessageResult>{1003, 1005, 7}));
}

// A handler that dispatches again, directly or from a dialog's nested loop,
// must not get the messages queued behind its own; a window-modal dialog
// that outlives its handler holds them back until it closes.
TEST_F(MessageQueueTest, HandlerReenteringTheDispatchDoesNotReorder)
{
    for (const std::string mode : {"directly", "in a dialog", "in a dialog left open"}) {
        SCOPED_TRACE(mode);
        RecordingWindow window;
        std::vector<LParam> seenInsideTheHandler;
        std::optional<ModalScope> dialog;
        window.onMessage = [&](LParam order) {
            if (order == 1) {
                if (mode != "directly") dialog.emplace();
                QCoreApplication::processEvents();
                Queue().DispatchPending();
                Queue().Post(window.Handle(), kPlain, 0, 3);
                seenInsideTheHandler = window.order;
                if (mode == "in a dialog") dialog.reset();
            }
            return MessageResult{0};
        };
        Queue().Post(window.Handle(), kPlain, 0, 1);
        Queue().Post(window.Handle(), kPlain, 0, 2);
        EXPECT_TRUE(PumpUntil([&] { return !window.order.empty(); }));
        QCoreApplication::processEvents();
        EXPECT_TRUE(!dialog || window.order == std::vector<LParam>{1}) << "held by the dialog";
        dialog.reset();
        EXPECT_TRUE(PumpUntil([&] { return window.order.size() == 3; }));
        EXPECT_EQ(seenInsideTheHandler, (std::vector<LParam>{1}));
        EXPECT_EQ(window.order, (std::vector<LParam>{1, 2, 3}));
    }
}

// The UI thread waiting for the worker inside a handler or a modal loop must
// still serve the worker's send, or both would wait for ever; posted
// messages are not its business. A send on the UI thread runs its handler at
// once, ahead of anything queued, even there.
TEST_F(MessageQueueTest, DispatchSentMessagesServesSendsOnlyEvenInsideHandlersAndModalLoops)
{
    RecordingWindow window;
    std::vector<LParam> seenInsideTheHandler;
    std::vector<MessageResult> results(2);  // the UI thread's send, the worker's
    std::optional<std::thread> worker;
    window.onMessage = [&](LParam order) {
        if (order == 1) {
            ModalScope dialog;
            results[0] = Queue().Send(window.Handle(), kPlain, 0, 3);
            worker.emplace(
                [&, handle = window.Handle()] { results[1] = Queue().Send(handle, kPlain, 0, 4); });
            Queue().DispatchSentMessages(60000);  // the limit only guards against a hang
            seenInsideTheHandler = window.order;
        }
        return MessageResult{order + 1000};
    };
    Queue().Post(window.Handle(), kPlain, 0, 1);
    Queue().Post(window.Handle(), kPlain, 0, 2);
    Queue().DispatchSentMessages(0);
    EXPECT_TRUE(window.order.empty());

    EXPECT_TRUE(PumpUntil([&] { return window.order.size() == 4; }));
    worker->join();
    EXPECT_EQ(seenInsideTheHandler, (std::vector<LParam>{1, 3, 4}));
    EXPECT_EQ(window.order, (std::vector<LParam>{1, 3, 4, 2}));
    EXPECT_EQ(results, (std::vector<MessageResult>{1003, 1004}));
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunTestsWithMessageQueue(argc, argv); }
