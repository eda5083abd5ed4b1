#include <QApplication>

#include <gtest/gtest.h>

#include "framework/SystemImageList.h"
#include "platform/MessageQueue.h"

// The tree views draw their icons from the system image list.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    SystemImageList images;
    platform::ImageList::SetSystem(&images);
    const int result = RUN_ALL_TESTS();
    platform::ImageList::SetSystem(nullptr);
    return result;
}
