#pragma once

#include "model/TreeControl.h"
#include "platform/ImageList.h"

// The one process-wide image-list slot of the folder tree. The subfolder
// enumeration offers the system image list at its first insertion of items;
// the file list reads the slot and uses the same list. UI thread only.

// The list in the slot; null before it was filled.
platform::ImageList* SharedImageList();
// Does nothing when the slot is already filled (or list is null); otherwise
// stores list and makes it the tree control's image list.
void SetSharedImageList(TreeControl& tree, platform::ImageList* list);
// Empties the slot, for tests that build several trees in one process.
void ResetSharedImageListForTesting();
