#pragma once

namespace testsupport {

// A test program's main() for tests of widgets that use messages: creates a
// QApplication, makes this thread the message queue's UI thread, and runs
// every test. Widgets draw on the platform CTest chooses (offscreen).
int RunWidgetTestsWithMessageQueue(int argc, char** argv);

}  // namespace testsupport
