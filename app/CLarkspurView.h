#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "framework/CommandTarget.h"

namespace framework {
class ScanControl;
class SizeDisplay;
}  // namespace framework

// The main view: fills the frame's client area, holds the system-file
// protection flag and forwards the frame's scan commands to the sized folder
// tree. It has no panes until the tree pane is attached (SetBrowserPane)
// and the panes that show sizes are added (AddSizeDisplay); without them
// the forwarders do nothing. UI thread only.
class CLarkspurView : public QWidget, public framework::CommandTarget {
    Q_OBJECT

public:
    explicit CLarkspurView(QWidget* parent = nullptr);
    ~CLarkspurView() override;

    // Called once, after the view and its document are ready: reads the
    // protection setting.
    void OnInitialUpdate();

    [[nodiscard]] bool ProtectSystemFiles() const { return m_protectSystemFiles; }
    // The directory deletions are kept out of while protection is on, as
    // the system named it when the view was made (raw bytes).
    [[nodiscard]] const std::string& ProtectedDirectory() const { return m_protectedDirectory; }
    // Sets the flag and writes it to the settings.
    void SetProtectSystemFiles(bool on);

    // The sized tree's scan operations; null detaches. Not owned.
    void SetBrowserPane(framework::ScanControl* browserPane);
    [[nodiscard]] framework::ScanControl* BrowserPane() const { return m_browserPane; }

    // Forwarders of the frame's commands; each does nothing without a tree.
    void ResetAll();
    void StopScanning();
    void SetDuplicateMode(bool findDuplicates);
    [[nodiscard]] bool CanStopScanning() const;
    [[nodiscard]] bool CanReset() const;

    // Panes that show sizes, asked in the order added by RedrawSizes.
    void AddSizeDisplay(framework::SizeDisplay* display);
    void RemoveSizeDisplay(framework::SizeDisplay* display);
    // Shows every size again after the size format changed.
    void RedrawSizes();

    // The panes in the order Next Pane (F6) visits them.
    [[nodiscard]] std::vector<QWidget*> Panes() const;
    void AddPane(QWidget* pane);

    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    framework::ScanControl* m_browserPane = nullptr;
    std::vector<framework::SizeDisplay*> m_sizeDisplays;
    std::vector<QWidget*> m_panes;
    bool m_protectSystemFiles = true;
    std::string m_protectedDirectory;
};

// The one main view while it exists; null before and after.
extern CLarkspurView* TheMainView;
