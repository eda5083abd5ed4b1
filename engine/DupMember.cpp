#include "engine/DupMember.h"

#include "engine/FolderRecord.h"
#include "engine/NameOrder.h"

std::string DupMember::FolderPath() const
{
    return folder != nullptr ? FullPathOf(*folder) : std::string();
}

std::string DupMember::FullPath() const
{
    if (folder == nullptr) {
        return {};
    }
    const std::string directory = DirectoryPathOf(*folder);
    return directory.empty() ? std::string() : directory + name;
}

int DupMember::CompareByName(const DupMember& first, const DupMember& second, bool ascending)
{
    int order = CompareNamesNoCase(first.name, second.name);
    if (order == 0) {
        order = CompareNamesNoCase(first.FolderPath(), second.FolderPath());
    }
    return ascending ? order : -order;
}

int DupMember::CompareByPath(const DupMember& first, const DupMember& second, bool ascending)
{
    int order = CompareNamesNoCase(first.FolderPath(), second.FolderPath());
    if (order == 0) {
        order = CompareNamesNoCase(first.name, second.name);
    }
    return ascending ? order : -order;
}
