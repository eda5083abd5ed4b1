#include "engine/FolderFiles.h"

void FolderFiles::Reserve(std::size_t count) { m_files.reserve(count); }

void FolderFiles::Add(std::string_view name, FileSize size, FileSize diskSpace, Family family)
{
    File file;
    file.diskSpace = diskSpace;
    file.size = size;
    file.nameOffset = static_cast<std::uint32_t>(m_names.size());
    file.nameLength = static_cast<std::uint16_t>(name.size());
    file.family = family;
    m_names.append(name);
    m_files.push_back(file);
}

std::size_t FolderFiles::HeapBytes() const
{
    return m_files.capacity() * sizeof(File) + m_names.capacity();
}
