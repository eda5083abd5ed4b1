#pragma once

#include <optional>

// Where the main view puts its outer splitter (the upper row of tree and
// file list above the duplicates pane) when the view's height changes, so
// that the lower pane keeps its height: the upper row takes the whole change
// while it can, and a lower pane that no longer fits keeps at least its top
// 100 pixels in sight. Pure arithmetic, in pixels.
struct SplitterPlacement {
    int top = 0;     // y of the splitter in the view; negative lies above the view's edge
    int height = 0;  // height of the splitter
    // The upper row's new height, when the rows are to be laid out again.
    std::optional<int> upperRow;
    // True when the splitter keeps the position it had (no layout yet).
    bool keepTop = false;

    // upper, lower: the rows' current heights (negative when the splitter has
    // no layout yet); splitterHeight: its current height; viewHeight: the
    // view's new height.
    static SplitterPlacement ForViewHeight(int upper, int lower, int splitterHeight,
                                           int viewHeight);
    // The upper row's height when the view first shows: the lower pane gets
    // the lowest 150 pixels, or half of a view lower than 300.
    static int InitialUpperRow(int viewHeight);
};
