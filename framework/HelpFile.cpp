#include "framework/HelpFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "platform/WebBrowser.h"

namespace framework {

namespace {

HelpFile::Opener& CurrentOpener()
{
    static HelpFile::Opener opener;
    return opener;
}

QString& FileOverride()
{
    static QString path;
    return path;
}

}  // namespace

QString HelpFile::Locate()
{
    if (!FileOverride().isEmpty())
        return QFileInfo::exists(FileOverride()) ? FileOverride() : QString();
    const QDir executableFolder(QCoreApplication::applicationDirPath());
    for (const QString& relative : {QStringLiteral("help/larkspur.html"),
                                    QStringLiteral("../share/larkspur/help/larkspur.html")}) {
        const QString candidate = QDir::cleanPath(executableFolder.filePath(relative));
        if (QFileInfo::exists(candidate)) return candidate;
    }
    return {};
}

QString HelpFile::AnchorFor(int topic) { return QStringLiteral("topic-%1").arg(topic); }

QUrl HelpFile::TopicUrl(const QString& file, int topic)
{
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(AnchorFor(topic));
    return url;
}

bool HelpFile::ShowTopic(int topic) { return Open(AnchorFor(topic)); }

bool HelpFile::ShowContents() { return Open(QStringLiteral("contents")); }

void HelpFile::SetOpener(Opener opener) { CurrentOpener() = std::move(opener); }

void HelpFile::SetFile(const QString& path) { FileOverride() = path; }

bool HelpFile::Open(const QString& anchor)
{
    const QString file = Locate();
    if (file.isEmpty()) return false;
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(anchor);
    if (CurrentOpener()) return CurrentOpener()(url);
    return platform::WebBrowser::OpenUri(url.toString(QUrl::FullyEncoded).toStdString()) ||
           QDesktopServices::openUrl(url);
}

}  // namespace framework
