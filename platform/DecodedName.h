#pragma once

#include <string_view>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace platform {

// A file name or path of raw bytes as text, decoded as Qt decodes file
// names (the locale's encoding; bytes it cannot decode stay recoverable).
// Any thread.
inline QString DecodedName(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace platform
