#include "engine/DupMember.h"

#include <algorithm>
#include <cstring>

#include "engine/DupGroup.h"
#include "engine/FolderRecord.h"
#include "engine/NameOrder.h"
#include "engine/ScanPool.h"

std::size_t DupMember::NameOffset()
{
    // DupMember mixes public and private fields, so it is not
    // standard-layout; g++ lays out such a class without virtual bases as a
    // plain struct, and offsetof gives the real offset.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    return offsetof(DupMember, m_name);
#pragma GCC diagnostic pop
}

std::size_t DupMember::BlockSize(std::size_t nameLength)
{
    // The name may use the padding at the end of the record.
    return std::max(sizeof(DupMember), NameOffset() + nameLength);
}

DupMember* DupMember::Make(std::string_view name)
{
    const std::size_t length = std::min(name.size(), kMaxNameLength);
    void* block = ScanPool::Allocate(BlockSize(length), alignof(DupMember));
    auto* member = ::new (block) DupMember;
    member->m_nameLength = static_cast<std::uint16_t>(length);
    std::memcpy(static_cast<char*>(block) + NameOffset(), name.data(), length);
    return member;
}

void DupMember::operator delete(DupMember* member, std::destroying_delete_t)
{
    const std::size_t size = BlockSize(member->m_nameLength);
    member->~DupMember();
    ScanPool::Free(member, size, alignof(DupMember));
}

void DupMember::FileIn(DupGroup& into, std::uint64_t device, std::uint64_t inode)
{
    SetIdentity(device, inode);
    group = &into;
    into.InsertMember(this);
}

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
    return directory.empty() ? std::string() : directory + std::string(Name());
}

int DupMember::CompareByName(const DupMember& first, const DupMember& second, bool ascending)
{
    int order = CompareNamesNoCase(first.Name(), second.Name());
    if (order == 0) {
        order = CompareNamesNoCase(first.FolderPath(), second.FolderPath());
    }
    return ascending ? order : -order;
}

int DupMember::CompareByPath(const DupMember& first, const DupMember& second, bool ascending)
{
    int order = CompareNamesNoCase(first.FolderPath(), second.FolderPath());
    if (order == 0) {
        order = CompareNamesNoCase(first.Name(), second.Name());
    }
    return ascending ? order : -order;
}
