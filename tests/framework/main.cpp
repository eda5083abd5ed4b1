#include "support/WidgetTestMain.h"

int main(int argc, char** argv) { return testsupport::RunWidgetTestsWithMessageQueue(argc, argv); }
