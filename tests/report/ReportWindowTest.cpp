#include "report/ReportWindow.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/ScanTree.h"
#include "engine/WindowMessages.h"

// The walk may end in a turn of deliveries of its own, with no UM_TASK_DONE
// after it: the empty status text it then sends must end the report too.
TEST(ReportWindow, TheWalksEmptyStatusTextEndsTheWaitWhenIdle)
{
    ScanTree tree;
    int idle = 0;
    ReportWindow window(tree.Scan(), [&idle] { ++idle; });
    std::string text = "Scanning: /x/";
    window.OnMessage(UM_STATUS_TEXT, reinterpret_cast<platform::WParam>(&text), 0);
    EXPECT_EQ(idle, 0);
    text.clear();
    window.OnMessage(UM_STATUS_TEXT, reinterpret_cast<platform::WParam>(&text), 0);
    EXPECT_EQ(idle, 1);
}
