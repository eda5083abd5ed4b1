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
    for ([[maybe_unused]] const DupMember* member : Members()) {
        ++count;
    }
    return count;
}

bool DupGroup::HasMemberOutside(const FolderRecord& folder) const
{
    for (const DupMember* member : Members()) {
        const TreeItemRecord* record = member->folder;
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
    for (const DupMember* member : Members()) {
        if (member->identity.device == device && member->identity.inode == inode) {
            return true;
        }
    }
    return false;
}

void DupGroup::InsertMember(DupMember* member)
{
    if (m_single) {
        if (m_member == nullptr) {
            m_member = member;
            return;
        }
        DupMember* lone = m_member;
        m_single = false;
        m_links = new DupLink{nullptr, lone};
    }
    DupLink** place = &m_links;
    while (*place != nullptr && CompareNamesNoCase((*place)->member->Name(), member->Name()) < 0) {
        place = &(*place)->next;
    }
    *place = new DupLink{*place, member};
}

bool DupGroup::RemoveMember(const DupMember& member)
{
    if (m_single) {
        if (m_member != &member) {
            return false;
        }
        m_member = nullptr;
        return true;
    }
    for (DupLink** place = &m_links; *place != nullptr; place = &(*place)->next) {
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
    if (!m_single) {
        while (m_links != nullptr) {
            DupLink* link = m_links;
            m_links = link->next;
            delete link;
        }
        m_single = true;
    }
    m_member = nullptr;
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
