#include "engine/DupGroup.h"

#include "engine/FolderRecord.h"
#include "engine/NameOrder.h"

namespace {

std::string_view FirstName(const DupGroup& group)
{
    const DupMember* member = group.FirstMember();
    return member != nullptr ? member->Name() : std::string_view();
}

}  // namespace

int DupGroup::MemberCount() const
{
    int count = 0;
    for (const DupLink* link = members; link != nullptr; link = link->next) {
        ++count;
    }
    return count;
}

bool DupGroup::HasMemberOutside(const FolderRecord& folder) const
{
    for (const DupLink* link = members; link != nullptr; link = link->next) {
        const TreeItemRecord* record = link->member->folder;
        while (record != nullptr && record != &folder) {
            record = record->parent;
        }
        if (record == nullptr) {
            return true;
        }
    }
    return false;
}

bool DupGroup::HoldsFile(std::uint64_t device, std::uint64_t inode) const
{
    for (const DupLink* link = members; link != nullptr; link = link->next) {
        if (link->member->device == device && link->member->inode == inode) {
            return true;
        }
    }
    return false;
}

void DupGroup::InsertMemberLink(DupLink* link)
{
    DupLink** place = &members;
    while (*place != nullptr &&
           CompareNamesNoCase((*place)->member->Name(), link->member->Name()) < 0) {
        place = &(*place)->next;
    }
    link->next = *place;
    *place = link;
}

bool DupGroup::RemoveMemberLink(const DupMember& member)
{
    for (DupLink** place = &members; *place != nullptr; place = &(*place)->next) {
        if ((*place)->member == &member) {
            DupLink* link = *place;
            *place = link->next;
            delete link;
            return true;
        }
    }
    return false;
}

void DupGroup::FreeLinks()
{
    while (members != nullptr) {
        DupLink* link = members;
        members = link->next;
        delete link;
    }
}

int DupGroup::CompareByName(const DupGroup& first, const DupGroup& second, bool ascending)
{
    const int order = CompareNamesNoCase(FirstName(first), FirstName(second));
    return ascending ? order : -order;
}

int DupGroup::CompareBySize(const DupGroup& first, const DupGroup& second, bool ascending)
{
    if (first.size == second.size) {
        return CompareNamesNoCase(FirstName(first), FirstName(second));
    }
    const int order = first.size < second.size ? -1 : 1;
    return ascending ? order : -order;
}

int DupGroup::CompareByCount(const DupGroup& first, const DupGroup& second, bool ascending)
{
    const int a = first.MemberCount();
    const int b = second.MemberCount();
    const int order = a == b ? 0 : (a < b ? -1 : 1);
    return ascending ? order : -order;
}
