#pragma once

#include <gtest/gtest.h>

#include "app/CLarkspurApp.h"
#include "support/IsolatedEnvironment.h"

namespace testsupport {

// A test program's main() for tests of the whole application: starts it as
// the program does (main frame, view and panes on the offscreen platform)
// and runs every test. Refuses to run outside the scratch folders that
// ctest gives, since the application writes its settings. Header-only: the
// support library does not link the application.
inline int RunApplicationTests(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    CLarkspurApp application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (!application.InitInstance()) return 1;
    return RUN_ALL_TESTS();
}

}  // namespace testsupport
