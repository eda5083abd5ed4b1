#include "engine/DupFileList.h"

DupFileList::Shown DupFileList::ShownFolder() const
{
    std::lock_guard guard(m_lock);
    return m_shown;
}

bool DupFileList::IsCurrentFill(std::uint32_t generation) const
{
    std::lock_guard guard(m_lock);
    return m_shown.generation == generation;
}

std::uint32_t DupFileList::BeginFill(const FolderRecord* folder)
{
    std::lock_guard guard(m_lock);
    m_shown.folder = folder;
    return ++m_shown.generation;
}
