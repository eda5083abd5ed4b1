#include "support/MessagePump.h"

int main(int argc, char** argv) { return testsupport::RunTestsWithMessageQueue(argc, argv); }
