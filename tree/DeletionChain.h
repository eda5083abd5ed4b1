#pragma once

#include <memory>
#include <string>
#include <utility>

#include "engine/DupMember.h"
#include "tree/DeletionRequest.h"

// Builds a chain of deletion requests in the order they are appended.
class DeletionChain {
public:
    // A whole folder when name is empty; otherwise the file name in folder,
    // with its duplicate-search record when the caller knows one.
    void Append(FolderRecord* folder, std::string name = {}, DupMember* copy = nullptr)
    {
        *m_tail = std::make_unique<DeletionRequest>();
        (*m_tail)->folder = folder;
        (*m_tail)->name = std::move(name);
        (*m_tail)->copy = copy;
        m_tail = &(*m_tail)->next;
    }
    // A copy of a duplicate group, named by its own record.
    void AppendCopy(DupMember& copy) { Append(copy.folder, std::string(copy.Name()), &copy); }

    [[nodiscard]] bool Empty() const { return m_head == nullptr; }
    // The chain, leaving this one empty.
    [[nodiscard]] std::unique_ptr<DeletionRequest> Take()
    {
        m_tail = &m_head;
        return std::move(m_head);
    }

private:
    std::unique_ptr<DeletionRequest> m_head;
    std::unique_ptr<DeletionRequest>* m_tail = &m_head;
};
