#include <gtest/gtest.h>

#include "app/CLarkspurApp.h"
#include "support/IsolatedEnvironment.h"

// Starts the application as the program does, then runs every test; only in
// the scratch folders that ctest gives, since the application writes settings.
int main(int argc, char** argv)
{
    if (!InIsolatedEnvironment()) return 1;
    CLarkspurApp application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (!application.InitInstance()) return 1;
    return RUN_ALL_TESTS();
}
