#pragma once

#include <functional>

#include <QString>
#include <QUrl>

namespace framework {

// The program's help: one HTML file with a section per help topic (the
// panes' topics and the ids of the messages), opened in the default browser
// at the topic's anchor. UI thread only.
//
// The file is looked for, in order, at
//   <executable's folder>/help/larkspur.html           (the build tree)
//   <executable's folder>/../share/larkspur/help/larkspur.html   (installed)
class HelpFile {
public:
    // Opens a URL; returns whether it could. The default hands it to the
    // web browser (platform::WebBrowser), else to the desktop
    // (QDesktopServices); tests put a recorder in its place.
    using Opener = std::function<bool(const QUrl&)>;

    // The help file's path, or empty when it is in neither place.
    [[nodiscard]] static QString Locate();
    // The anchor of a topic's section: "topic-" and the id in decimal.
    [[nodiscard]] static QString AnchorFor(int topic);
    [[nodiscard]] static QUrl TopicUrl(const QString& file, int topic);

    // Open the help file at a topic, or at its contents. Return false when
    // the file is missing or could not be opened.
    static bool ShowTopic(int topic);
    static bool ShowContents();

    // Replaces the opener (a null opener restores the default).
    static void SetOpener(Opener opener);
    // Replaces the file's location (an empty path restores the search).
    static void SetFile(const QString& path);

private:
    static bool Open(const QString& anchor);
};

}  // namespace framework
