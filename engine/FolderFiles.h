#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSize.h"

// The files directly in one folder, as its last size scan listed them: a
// compact array kept in the folder's record for the treemap. Names are raw
// bytes, end to end in one buffer.
//
// Threads and ownership: a size scan builds one on the worker and hands it,
// at delivery on the UI thread, to the folder's record, which owns it from
// then on (replacing the one of an earlier scan). After that it is read and
// freed on the UI thread only, under the tree-data lock.
class FolderFiles {
public:
    // The most bytes of names one folder keeps: offsets are 32-bit.
    static constexpr std::size_t kMaxNameBytes = UINT32_MAX;

    // The broad kind of a file, from its name's MIME type; the treemap gives
    // each family its own colour.
    enum class Family : std::uint8_t {
        Other,
        Images,
        Video,
        Audio,
        Archives,
        Documents,
        Code,
        Executables,  // programs and libraries
        Packages,
        DiskImages,
        Fonts,
        Count,
        // Not worked out yet: see FamilyOf.
        Unknown = 0xFF
    };

    struct File {
        FileSize diskSpace;
        FileSize size;
        std::uint32_t nameOffset = 0;  // into the name buffer; see NameOf
        std::uint16_t nameLength = 0;
        // Worked out from the name the first time FamilyOf asks: the scan
        // does not spend the MIME look-up on files no treemap shows.
        mutable Family family = Family::Unknown;
    };

    // The family of a file from its name alone; never touches the disk.
    // Worker or UI thread; each thread keeps its own cache by extension.
    static Family FamilyOfName(std::string_view name);

    // Room for count files whose names take nameBytes in all.
    void Reserve(std::size_t count, std::size_t nameBytes = 0);
    // Appends a file, its family not yet known. A name longer than 65535
    // bytes keeps its first 65535; the name buffer holds at most
    // kMaxNameBytes, and a name that would pass it keeps what fits
    // (possibly nothing).
    void Add(std::string_view name, FileSize size, FileSize diskSpace);
    // Gives back the room reserved beyond what was added.
    void ShrinkToFit();

    const std::vector<File>& Files() const { return m_files; }
    std::string_view NameOf(const File& file) const
    {
        return std::string_view(m_names.get() + file.nameOffset, file.nameLength);
    }
    // The file's family (FamilyOfName of its name), worked out on the first
    // call and kept in the file. UI thread, under the tree-data lock, as
    // every other reader of a record's files.
    Family FamilyOf(const File& file) const
    {
        if (file.family == Family::Unknown) {
            file.family = FamilyOfName(NameOf(file));
        }
        return file.family;
    }
    // Heap bytes held, for the memory benchmark.
    std::size_t HeapBytes() const;

private:
    // Moves the names into a buffer of capacity bytes (at least m_nameBytes).
    void ResizeNameBuffer(std::size_t capacity);

    std::vector<File> m_files;
    // A bare buffer rather than a std::string: one of these lives in every
    // scanned folder's record, and the smaller object saves a heap block
    // size class each.
    std::unique_ptr<char[]> m_names;
    std::uint32_t m_nameBytes = 0;
    std::uint32_t m_nameCapacity = 0;
};
