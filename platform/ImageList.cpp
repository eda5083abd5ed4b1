#include "platform/ImageList.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<ImageList*> g_systemImageList{nullptr};
}

ImageList* ImageList::System() { return g_systemImageList.load(std::memory_order_acquire); }

void ImageList::SetSystem(ImageList* list)
{
    g_systemImageList.store(list, std::memory_order_release);
}

}  // namespace platform
