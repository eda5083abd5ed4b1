#pragma once

#include <QString>

#include "engine/FileSize.h"

namespace framework {

// The text of a size in the size format the user chose (bytes, KB, MB, GB
// or a unit per value). The application object implements it; the panes
// reach it through Instance(). UI thread only.
class SizeTextSource {
public:
    // The value in the current format, e.g. "1,023" or "2KB".
    [[nodiscard]] virtual QString SizeText(FileSize value) const = 0;
    // The width of SizeText(value) in half-digit units: a digit or letter
    // counts 2, a comma 1.
    [[nodiscard]] virtual int SizeTextWidth(FileSize value) const = 0;
    // SizeText(value) after enough blanks (1 unit each) to line it up at the
    // right with the text of reference, and with a width of at least 12.
    [[nodiscard]] virtual QString PaddedSizeText(FileSize value, FileSize reference) const = 0;

    // The application's source; null while there is none.
    [[nodiscard]] static SizeTextSource* Instance();
    // value in the application's format, or in plain digits with thousands
    // separators while there is no source.
    [[nodiscard]] static QString CurrentText(FileSize value);
    // Called by the application object (and tests' stand-ins) when it is
    // made and, with null, when it goes.
    static void SetInstance(SizeTextSource* source);

protected:
    ~SizeTextSource() = default;
};

}  // namespace framework
