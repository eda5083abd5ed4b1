#include "model/SharedImageList.h"

namespace {
platform::ImageList* g_sharedImageList = nullptr;
}

platform::ImageList* SharedImageList() { return g_sharedImageList; }

void SetSharedImageList(TreeControl& tree, platform::ImageList* list)
{
    if (g_sharedImageList != nullptr || list == nullptr) {
        return;
    }
    g_sharedImageList = list;
    tree.SetImageList(list);
}

void ResetSharedImageListForTesting() { g_sharedImageList = nullptr; }
