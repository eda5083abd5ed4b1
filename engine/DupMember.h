#pragma once

#include <string>

class DupGroup;
class FolderRecord;

// One file of a folder that the duplicate search has recorded: the folder's
// record owns it (FolderRecord::duplicates, linked by nextInFolder); its
// group points at it through a link of its own. The duplicate search fills
// in the rest of the duplicate data.
struct DupMember {
    DupMember* nextInFolder = nullptr;
    FolderRecord* folder = nullptr;
    std::string name;  // the file's name in the folder, raw bytes
    DupGroup* group = nullptr;
};

// Takes a member out of its duplicate group (the group loses its link; an
// emptied group leaves the table and the duplicates window). The sized tree
// view, which owns the duplicate table, implements it. Called under the
// tree-data lock.
class DupMemberRemover {
public:
    virtual void RemoveDupMember(DupMember& member) = 0;

protected:
    ~DupMemberRemover() = default;
};
