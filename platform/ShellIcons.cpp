#include "platform/ShellIcons.h"

#include <QFile>
#include <QMimeDatabase>

namespace platform {

std::string ShellIcons::MimeTypeOfFileName(const std::string& name)
{
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(
        QFile::decodeName(QByteArray::fromStdString(name)), QMimeDatabase::MatchExtension);
    return type.name().toStdString();
}

}  // namespace platform
