#include "support/WidgetTestMain.h"

#include <QApplication>

#include <gtest/gtest.h>

#include "platform/MessageQueue.h"

namespace testsupport {

int RunWidgetTestsWithMessageQueue(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    return RUN_ALL_TESTS();
}

}  // namespace testsupport
