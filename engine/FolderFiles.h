#pragma once

#include <cstdint>
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
        Count
    };

    struct File {
        FileSize diskSpace;
        FileSize size;
        std::uint32_t nameOffset = 0;  // into the name buffer; see NameOf
        std::uint16_t nameLength = 0;
        Family family = Family::Other;
    };

    // The family of a file from its name alone; never touches the disk.
    // Worker or UI thread; each thread keeps its own cache by extension.
    static Family FamilyOfName(std::string_view name);

    void Reserve(std::size_t count);
    void Add(std::string_view name, FileSize size, FileSize diskSpace, Family family);

    const std::vector<File>& Files() const { return m_files; }
    std::string_view NameOf(const File& file) const
    {
        return std::string_view(m_names).substr(file.nameOffset, file.nameLength);
    }
    // Heap bytes held, for the memory benchmark.
    std::size_t HeapBytes() const;

private:
    std::vector<File> m_files;
    std::string m_names;
};
