#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include "platform/MessageQueue.h"

namespace testsupport {

// A widget test program's main(): creates a QApplication (tests run on the
// offscreen platform, which CTest sets), makes this thread the message
// queue's UI thread, and runs every test. Header-only, so that only widget
// tests link QtWidgets. A test file's main() returns what it returns.
inline int RunWidgetTestsWithMessageQueue(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    return RUN_ALL_TESTS();
}

}  // namespace testsupport
