#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Runs the calling thread's event loop until done() holds, and returns
// done(). Blocks between events, so done() must become true through
// something the event loop handles (a message handler, a timer), not through
// another thread alone. The limit only turns a hang into a failure.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

// A test program's main() for tests that use windows and messages: creates a
// QCoreApplication, makes this thread the message queue's UI thread, and
// runs every test.
int RunTestsWithMessageQueue(int argc, char** argv);

}  // namespace testsupport
