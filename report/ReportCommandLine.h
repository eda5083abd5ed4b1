#pragma once

#include <string>

// The arguments of larkspur-report: [--size-only] [--help] [--] PATH.
//
// Parse never touches the file system; the caller checks that the path is
// a readable folder.
struct ReportCommandLine {
    enum class Outcome {
        Run,       // scan path
        Help,      // print the usage text and exit 0
        BadUsage,  // print error (one line) and exit 2
    };

    Outcome outcome = Outcome::BadUsage;
    bool sizeOnly = false;
    std::string path;   // raw bytes, as given
    std::string error;  // for BadUsage: what was wrong, without a newline

    [[nodiscard]] static ReportCommandLine Parse(int argc, const char* const* argv);
    // The text of --help, ending with a newline.
    [[nodiscard]] static const char* UsageText();
};

// PATH as the report prints it: without trailing separators, except that a
// path made of separators alone is "/".
[[nodiscard]] std::string PathAsPrinted(const std::string& path);
