#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

// True when HOME and XDG_CONFIG_HOME point into the scratch folder that
// isolated-run.sh made. Test programs that write settings check it first,
// so that running one by hand can never touch the real settings.
inline bool InIsolatedEnvironment()
{
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || std::strstr(value, "/larkspur-test.") == nullptr) {
            std::fprintf(stderr, "%s is not a scratch folder: run this test through ctest\n", name);
            return false;
        }
    }
    return true;
}
