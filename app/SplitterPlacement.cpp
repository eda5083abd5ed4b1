#include "app/SplitterPlacement.h"

namespace {

constexpr int kLowerPaneKept = 100;

}  // namespace

SplitterPlacement SplitterPlacement::ForViewHeight(int upper, int lower, int splitterHeight,
                                                   int viewHeight)
{
    SplitterPlacement placement;
    if (upper < 0 || lower < 0) {
        placement.keepTop = true;
        placement.height = viewHeight;
        return placement;
    }
    const int bar = splitterHeight - upper - lower;  // the splitter's bar and borders
    const int upperNeeded = viewHeight - lower - bar;
    if (upperNeeded >= 0) {
        placement.upperRow = upperNeeded;
        placement.height = viewHeight;
    } else if (lower <= kLowerPaneKept) {
        // Too small a lower pane to shrink: the whole splitter moves up.
        placement.top = upperNeeded;
        placement.height = splitterHeight;
    } else if (const int lowerLeft = viewHeight - upper - bar; lowerLeft >= kLowerPaneKept) {
        placement.upperRow = upper;
        placement.height = viewHeight;
    } else {
        placement.upperRow = 0;
        placement.top = viewHeight - bar - kLowerPaneKept;
        placement.height = splitterHeight;
    }
    return placement;
}

int SplitterPlacement::InitialUpperRow(int viewHeight)
{
    return viewHeight >= 300 ? viewHeight - 150 : viewHeight / 2;
}
