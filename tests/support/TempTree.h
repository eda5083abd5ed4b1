#pragma once

#include <cstdint>
#include <string>

// A scratch folder tree for file-system tests: a fresh folder under $TMPDIR,
// filled by the test through raw byte names, and removed with everything in
// it when the object dies. Removal works on descriptors, so it copes with
// any name, unreadable folders and depths beyond PATH_MAX, and it never
// follows a symbolic link out of the tree.
//
// Every Make* answers false on failure and leaves errno set.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    bool IsValid() const { return !m_root.empty(); }
    // The tree's folder, without a trailing '/'.
    const std::string& Root() const { return m_root; }
    // Root() + "/" + relative.
    std::string Path(const std::string& relative) const;
    // Path(relative) with every symbolic link resolved, as the program's
    // own paths are; empty when it does not exist.
    std::string RealPath(const std::string& relative) const;

    bool MakeDir(const std::string& relative) const;
    bool MakeFile(const std::string& relative, const std::string& contents = {}) const;
    // A file of the given size with no data blocks.
    bool MakeSparseFile(const std::string& relative, std::uint64_t size) const;
    bool MakeSymlink(const std::string& relative, const std::string& target) const;
    bool MakeHardLink(const std::string& relative, const std::string& existing) const;
    bool MakeFifo(const std::string& relative) const;
    // A bound UNIX socket; nothing listens on it.
    bool MakeSocket(const std::string& relative) const;

private:
    std::string m_root;
};
