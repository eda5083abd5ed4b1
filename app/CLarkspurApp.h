#pragma once

#include <memory>

#include <QApplication>

#include "app/SizeFormat.h"
#include "framework/CommandTarget.h"
#include "framework/SizeTextSource.h"
#include "framework/SystemImageList.h"
#include "platform/SettingsStore.h"

class CLarkspurDoc;
class CMainFrame;

// The one application object: starts the program, keeps the user settings
// (under "Options": "Size Format", "Protect Sys Files", "Show Treemap" and
// "Mark Duplicates in Treemap"),
// owns the size format in which every pane shows sizes, and answers About.
// Settings are written when they change, never at exit. UI thread only.
class CLarkspurApp : public QApplication,
                     public framework::CommandTarget,
                     public framework::SizeTextSource {
    Q_OBJECT

public:
    CLarkspurApp(int& argc, char** argv);
    ~CLarkspurApp() override;

    // The application object; null before it is made and after it is gone.
    [[nodiscard]] static CLarkspurApp* Instance();

    // Start-up: document, main frame and view, then the size format; shows
    // the main window. Returns false when the window could not be made.
    bool InitInstance();

    [[nodiscard]] CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    [[nodiscard]] CLarkspurDoc* Document() const { return m_document.get(); }
    [[nodiscard]] platform::SettingsStore& Settings() { return m_settings; }

    // Reads "Size Format" (Bytes unless it names a format) and updates the
    // frame's Show Size As checks.
    void LoadSizeFormat();
    void SaveSizeFormat();
    // Reads "Protect Sys Files" (default on; any nonzero value is on) into
    // the main view, which writes it back at once.
    void LoadProtectSetting();
    // Writes the main view's protection flag as 1 or 0.
    void SaveProtectSetting();
    // Reads "Show Treemap" and "Mark Duplicates in Treemap" (both off by
    // default; any nonzero value is on) into the main view's treemap.
    void LoadTreemapSettings();
    // Writes both as 1 or 0.
    void SaveTreemapSettings();

    [[nodiscard]] SizeFormat GetSizeFormat() const { return m_sizeFormat; }
    // Makes format current, shows every size again, writes the setting and
    // updates the checks, even when the format does not change.
    void SetSizeFormat(SizeFormat format);
    [[nodiscard]] SizeFormat EffectiveSizeFormat(FileSize value) const;
    [[nodiscard]] QString SizeText(FileSize value) const override;
    [[nodiscard]] int SizeTextWidth(FileSize value) const override;
    [[nodiscard]] QString PaddedSizeText(FileSize value, FileSize reference) const override;

    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

private:
    // Makes the document (named by documentName, or new), the main frame
    // and the view, and gives the view its initial update.
    bool OpenDocumentFile(const QString& documentName);
    void OnAppAbout();

    SizeFormat m_sizeFormat = SizeFormat::Bytes;
    platform::SettingsStore m_settings;
    // The small icons the tree and the file list share; outlives the frame.
    std::unique_ptr<SystemImageList> m_images;
    std::unique_ptr<CLarkspurDoc> m_document;
    std::unique_ptr<CMainFrame> m_mainFrame;
};
