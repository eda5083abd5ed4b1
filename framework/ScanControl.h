#pragma once

namespace framework {

// The scan operations of the sized folder tree that the main view forwards
// the frame's commands to (Stop Scanning, Reset, the duplicate-search
// switch) and whose state decides their enabling. Implemented by the sized
// tree; the main view holds it once the tree pane exists. UI thread only.
class ScanControl {
public:
    // Cancels the queued tasks and the pending scan marks; the walk ends.
    virtual void StopScanning() = 0;
    // StopScanning, then forgets all sizes and duplicates.
    virtual void ResetAll() = 0;
    // Duplicate search on or off for the scans to come. Called on every
    // choice of a mode, even when it does not change.
    virtual void SetDuplicateMode(bool findDuplicates) = 0;
    // True while a scan walk is under way.
    [[nodiscard]] virtual bool IsScanning() const = 0;
    // True once a scan result has been delivered since start or the last
    // ResetAll.
    [[nodiscard]] virtual bool HasScannedSomething() const = 0;

protected:
    ~ScanControl() = default;
};

}  // namespace framework
