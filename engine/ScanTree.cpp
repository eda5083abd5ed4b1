#include "engine/ScanTree.h"

#include "engine/FolderPopulation.h"

ScanTree::ScanTree() = default;

ScanTree::~ScanTree()
{
    // The scan must see the records go; afterwards it frees the groups.
    FolderPopulation::TearDown(*this, [this] { m_scan.OnTreeDestroy(); });
}
