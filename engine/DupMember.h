#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

class DupGroup;
class FolderRecord;

// One file of a folder that the duplicate search has recorded: the folder's
// record owns it (FolderRecord::duplicates, linked by nextInFolder). A file
// that was read is filed in a group: the group holds it directly while it
// is the group's only member, otherwise through a link of its own
// (DupLink). The one file of its size seen so far is not read and waits
// pending instead, in no group: the duplicate table keeps it by size until a
// second file of that size turns up, so a file whose size no other file
// shares costs no more than its member.
//
// Made by the duplicate search on the worker thread; read, unlinked and
// freed on the UI thread. Every access holds the tree-data lock.
class DupMember {
public:
    DupMember* nextInFolder = nullptr;
    FolderRecord* folder = nullptr;
    // Null while the member is pending, and once it has left its group.
    DupGroup* group = nullptr;

    // Identity of the file that was read: two members with the same device
    // and inode are links to one file, never copies of each other.
    struct Identity {
        std::uint64_t device;
        std::uint64_t inode;
    };
    // A pending member's place in the table: its file's size and the next
    // pending member of the same bucket.
    struct Waiting {
        std::uint64_t size;
        DupMember* next;
    };
    union {
        Identity identity = {0, 0};  // unless pending
        Waiting waiting;             // while pending
    };

    [[nodiscard]] bool IsPending() const { return m_pending != 0; }
    // The member becomes pending for a file of size bytes, not yet linked
    // in: see DupTable::AppendPending.
    void Wait(std::uint64_t size)
    {
        m_pending = 1;
        waiting = {size, nullptr};
    }
    // The member is pending no more (it left the table's pending buckets)
    // and has this identity.
    void SetIdentity(std::uint64_t device, std::uint64_t inode)
    {
        m_pending = 0;
        identity = {device, inode};
    }
    // The member, pending no more, joins group (in name order) as the file
    // read with this identity.
    void FileIn(DupGroup& into, std::uint64_t device, std::uint64_t inode);

    // A member for the file of this name (raw bytes), fields empty. Its name
    // lies in the same pooled block, right after the record, so a member is
    // one small allocation: there is one per file the search records. A
    // name longer than kMaxNameLength (no Linux file system has one) keeps
    // its first kMaxNameLength bytes. Free with delete, once it is in no
    // group and not pending in a table.
    [[nodiscard]] static DupMember* Make(std::string_view name);
    static void operator delete(DupMember* member, std::destroying_delete_t);
    DupMember(const DupMember&) = delete;
    DupMember& operator=(const DupMember&) = delete;

    static constexpr std::size_t kMaxNameLength = INT16_MAX;

    // The file's name in the folder, raw bytes.
    [[nodiscard]] std::string_view Name() const { return {m_name, m_nameLength}; }

    // The file-system path of the folder, without a separator at the end;
    // empty when the folder has none.
    [[nodiscard]] std::string FolderPath() const;
    // The folder's directory path followed by the name; empty when the
    // folder has no file-system path.
    [[nodiscard]] std::string FullPath() const;

    // Orderings for the copies list's column sorts: -1, 0 or 1; the
    // descending order is the ascending one negated.
    // Names without regard to case, then folder paths the same way.
    [[nodiscard]] static int CompareByName(const DupMember& first, const DupMember& second,
                                           bool ascending);
    // Folder paths without regard to case, then names the same way.
    [[nodiscard]] static int CompareByPath(const DupMember& first, const DupMember& second,
                                           bool ascending);

private:
    DupMember() = default;
    ~DupMember() = default;
    // Where the name starts in the block, and the bytes of a member whose
    // name has this length.
    static std::size_t NameOffset();
    static std::size_t BlockSize(std::size_t nameLength);

    std::uint16_t m_nameLength : 15 = 0;
    std::uint16_t m_pending : 1 = 0;
    // The first byte of the name; the rest follow it in the same block.
    char m_name[1] = {};
};

// Takes a member out of its duplicate group (the group loses its link; an
// emptied group leaves the table and the duplicates window), or a pending
// member out of the table's pending buckets. The DupStore,
// which owns the duplicate table, implements it (see DupGroupOwner).
// Called under the tree-data lock.
class DupMemberRemover {
public:
    virtual void RemoveDupMember(DupMember& member) = 0;

protected:
    ~DupMemberRemover() = default;
};
