#include "support/MessagePump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/MessageQueue.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    // Wakes the wait below when the limit passes with nothing else happening.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(limit);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int RunTestsWithMessageQueue(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    return RUN_ALL_TESTS();
}

}  // namespace testsupport
