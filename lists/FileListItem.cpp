#include "lists/FileListItem.h"

#include <ctime>

#include "framework/SizeTextSource.h"
#include "platform/DecodedName.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Names without regard to case; names that differ only in case are ordered
// by their bytes, so that no two different names compare equal.
int CompareNames(const FileListItem& first, const FileListItem& second)
{
    const int folded = Sign(QString::compare(first.foldedName, second.foldedName));
    if (folded != 0) {
        return folded;
    }
    return Sign(first.name.compare(second.name));
}

}  // namespace

void FileListItem::SetName(std::string rawName)
{
    name = std::move(rawName);
    displayName = platform::DecodedName(name);
    foldedName = displayName.toCaseFolded();
}

int FileListItem::CompareByName(const FileListItem& first, const FileListItem& second,
                                bool ascending)
{
    int order = 0;
    if (first.IsFolder() != second.IsFolder()) {
        order = first.IsFolder() ? -1 : 1;
    } else {
        order = CompareNames(first, second);
    }
    return ascending ? order : -order;
}

int FileListItem::CompareByDiskSpace(const FileListItem& first, const FileListItem& second,
                                     bool ascending)
{
    if (first.diskSpace == second.diskSpace) {
        return CompareByFileSize(first, second, ascending);
    }
    const int order = FileSize::Compare(first.diskSpace, second.diskSpace);
    return ascending ? order : -order;
}

int FileListItem::CompareByFileSize(const FileListItem& first, const FileListItem& second,
                                    bool ascending)
{
    if (first.fileSize == second.fileSize) {
        return CompareByName(first, second, true);
    }
    const int order = FileSize::Compare(first.fileSize, second.fileSize);
    return ascending ? order : -order;
}

int FileListItem::CompareByModified(const FileListItem& first, const FileListItem& second,
                                    bool ascending)
{
    if (first.modified == second.modified) {
        // Both absent, or the same second: by name, in ascending order.
        return CompareNames(first, second);
    }
    int order = 0;
    if (!first.modified.has_value()) {
        order = -1;
    } else if (!second.modified.has_value()) {
        order = 1;
    } else {
        order = *first.modified < *second.modified ? -1 : 1;
    }
    return ascending ? order : -order;
}

int FileListItem::Compare(int column, const FileListItem& first, const FileListItem& second,
                          bool ascending)
{
    switch (column) {
        case NameColumn:
            return CompareByName(first, second, ascending);
        case DiskSpaceColumn:
            return CompareByDiskSpace(first, second, ascending);
        case FileSizeColumn:
            return CompareByFileSize(first, second, ascending);
        case ModifiedColumn:
            return CompareByModified(first, second, ascending);
        default:
            return 0;
    }
}

QString FileListItem::SizeText(FileSize size)
{
    if (size < 0 || size == kPendingSize) {
        return {};
    }
    return framework::SizeTextSource::CurrentText(size);
}

QString FileListItem::ModifiedText(const std::optional<std::int64_t>& modified)
{
    if (!modified.has_value()) {
        return {};
    }
    const std::time_t seconds = static_cast<std::time_t>(*modified);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    char text[256];
    const std::size_t length = std::strftime(text, sizeof text, "%c", &local);
    return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}
