#pragma once

namespace framework {

// A pane that shows sizes. The main view asks each one, in the order they
// were added to it, to show its sizes again after the size format changed.
// UI thread only.
class SizeDisplay {
public:
    virtual void RefreshSizes() = 0;

protected:
    ~SizeDisplay() = default;
};

}  // namespace framework
