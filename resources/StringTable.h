#pragma once

#include <QString>
#include <QStringList>

namespace resources {

// The program's strings, by id. Ids below 0xE000 are the program's own; the
// others are the framework's strings the program shows.
enum StringId : int {
    IDS_PROTECTED_DIRECTORY = 40007,
    IDS_OPEN_NO_APPLICATION = 40004,
    IDS_OPEN_ACCESS_DENIED = 40005,
    IDS_OPEN_FAILED = 40006,
    IDS_NO_DUPLICATES_FOUND = 40002,
    IDS_NOT_SCANNED_FOR_DUPLICATES = 40003,
    IDS_APPLICATION_TITLE = 57344,  // "Larkspur"
    IDS_IDLE_PROMPT = 57345,        // "For Help, press F1"
    IDS_SCANNING = 61696,           // "Scanning: %1"
    // Application shell.
    IDS_HELP_NOT_AVAILABLE = 40100,  // the help file is missing or cannot be opened
};

class StringTable {
public:
    // The string with that id; empty when there is none.
    static QString Load(int id);
    // The string with its numbered placeholders (%1, %2, ...) filled from
    // args; a "%s" counts as %1. A placeholder without an argument stays.
    static QString Format(int id, const QStringList& args);
    static QString Format(const QString& text, const QStringList& args);
};

}  // namespace resources
