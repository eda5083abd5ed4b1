#pragma once

#include <string>

namespace testsupport {

// A path as the report writes it: raw bytes, with backslash, tab and newline
// written as "\\", "\t" and "\n". Written here, apart from the report's own
// code, so that the tests check the report against an independent rule.
inline std::string ReportEscaped(const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace testsupport
