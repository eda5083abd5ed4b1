#include "report/ReportCommandLine.h"

#include <cstring>

ReportCommandLine ReportCommandLine::Parse(int argc, const char* const* argv)
{
    ReportCommandLine line;
    bool optionsEnded = false;
    int paths = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnded && argument[0] == '-' && argument[1] != '\0') {
            if (std::strcmp(argument, "--") == 0) {
                optionsEnded = true;
            } else if (std::strcmp(argument, "--size-only") == 0) {
                line.sizeOnly = true;
            } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
                line.outcome = Outcome::Help;
                return line;
            } else {
                line.error = std::string("unknown option ") + argument;
                return line;
            }
            continue;
        }
        ++paths;
        line.path = argument;
    }
    if (paths != 1) {
        line.error = paths == 0 ? "no folder given" : "more than one folder given";
        return line;
    }
    if (line.path.empty()) {
        line.error = "the folder path is empty";
        return line;
    }
    line.outcome = Outcome::Run;
    return line;
}

const char* ReportCommandLine::UsageText()
{
    return "Usage: larkspur-report [--size-only] [--] PATH\n"
           "\n"
           "Scans the folder PATH as a click on it in Larkspur does, without a window, and\n"
           "prints when the scan is over:\n"
           "  folder<TAB>DISK_SPACE<TAB>SIZE<TAB>FOLDER   for PATH and every folder below it,\n"
           "                                            in byte order of the paths\n"
           "  group<TAB>SIZE<TAB>COUNT                    for every set of two or more files\n"
           "  copy<TAB>FILE                               with the same contents, largest first,\n"
           "                                            each followed by its copies\n"
           "Sizes are whole bytes (DISK_SPACE: the space the subtree's files occupy, SIZE:\n"
           "their length). Paths are raw bytes starting with PATH as given; a backslash,\n"
           "tab or newline in them is written \\\\, \\t or \\n. Empty files, links to one\n"
           "file and files that are not regular files are never copies.\n"
           "\n"
           "  --size-only  sizes only: no duplicate search, no group lines\n"
           "  --help       this text\n"
           "\n"
           "Progress goes to standard error when it is a terminal. Exit status: 0 when the\n"
           "scan is over, 2 for a bad option or a PATH that is not a readable folder,\n"
           "130 when interrupted (Ctrl+C), with nothing printed.\n";
}

std::string PathAsPrinted(const std::string& path)
{
    std::string printed = path;
    while (printed.size() > 1 && printed.back() == '/') printed.pop_back();
    return printed;
}
