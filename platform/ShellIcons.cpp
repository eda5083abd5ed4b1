#include "platform/ShellIcons.h"

#include <QMimeDatabase>

#include "platform/DecodedName.h"

namespace platform {

std::string ShellIcons::MimeTypeOfFileName(const std::string& name)
{
    static const QMimeDatabase database;
    const QMimeType type =
        database.mimeTypeForFile(platform::DecodedName(name), QMimeDatabase::MatchExtension);
    return type.name().toStdString();
}

}  // namespace platform
