#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSize.h"

// The files directly in one folder, as its last size scan listed them: a
// compact array kept in the folder's record for the treemap, made by a
// Builder. Names are raw bytes, end to end after the array.
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

    class Builder;

    // The files in the order they were added.
    std::span<const File> Files() const
    {
        if (m_count == 0) {
            return {};
        }
        return {std::launder(reinterpret_cast<const File*>(Block() + FilesOffset())), m_count};
    }
    std::string_view NameOf(const File& file) const
    {
        return std::string_view(Block() + NamesOffset(m_count) + file.nameOffset, file.nameLength);
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

    // Frees the block (a folder without files shares one that is never freed).
    static void operator delete(FolderFiles* files, std::destroying_delete_t);
    FolderFiles(const FolderFiles&) = delete;
    FolderFiles& operator=(const FolderFiles&) = delete;

private:
    FolderFiles() = default;
    ~FolderFiles() = default;

    // The block holds this object, then the File array, then the names: one
    // heap allocation per folder, as there is one of these in every scanned
    // folder's record.
    const char* Block() const { return reinterpret_cast<const char*>(this); }
    static constexpr std::size_t FilesOffset()
    {
        return (sizeof(FolderFiles) + alignof(File) - 1) / alignof(File) * alignof(File);
    }
    static constexpr std::size_t NamesOffset(std::size_t count)
    {
        return FilesOffset() + count * sizeof(File);
    }
    static FolderFiles& Empty();

    std::uint32_t m_count = 0;
    std::uint32_t m_nameBytes = 0;
};

// Gathers the files of one folder and packs them into a FolderFiles. Its
// buffers keep their room from one folder to the next, so that a scan that
// reuses one builder allocates per folder, not per file.
//
// Threads: one thread at a time (the size scan keeps one per thread).
class FolderFiles::Builder {
public:
    // Room for count files whose names take nameBytes in all.
    void Reserve(std::size_t count, std::size_t nameBytes = 0);
    // Appends a file, its family not yet known. A name longer than 65535
    // bytes keeps its first 65535; the names take at most kMaxNameBytes, and
    // a name that would pass it keeps what fits (possibly nothing). Past
    // UINT32_MAX files, further ones are left out.
    void Add(std::string_view name, FileSize size, FileSize diskSpace);
    // The files added since the last Build, in one block; the builder is
    // empty again afterwards.
    [[nodiscard]] std::unique_ptr<FolderFiles> Build();

private:
    std::vector<File> m_files;
    std::string m_names;
};
