#include "framework/SystemImageList.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

#include "platform/ShellIcons.h"

int SystemImageList::IndexOf(const std::string& key)
{
    auto found = m_indexes.find(key);
    if (found != m_indexes.end()) {
        return found->second;
    }
    const int index = static_cast<int>(m_icons.size());
    m_icons.push_back(Load(key));
    m_indexes.emplace(key, index);
    return index;
}

QVariant SystemImageList::Icon(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_icons.size())) {
        return {};
    }
    return QVariant::fromValue(m_icons[static_cast<std::size_t>(index)]);
}

QIcon SystemImageList::Load(const std::string& key)
{
    using platform::ShellIcons;
    QStyle::StandardPixmap standard = QStyle::SP_FileIcon;
    if (key == ShellIcons::kFolder) {
        standard = QStyle::SP_DirIcon;
    } else if (key == ShellIcons::kOpenFolder) {
        standard = QStyle::SP_DirOpenIcon;
    } else if (key == ShellIcons::kComputer) {
        standard = QStyle::SP_ComputerIcon;
    } else if (key == ShellIcons::kVolume) {
        standard = QStyle::SP_DriveHDIcon;
    } else if (key == ShellIcons::kRemoteVolume) {
        standard = QStyle::SP_DriveNetIcon;
    } else if (key == ShellIcons::kHome) {
        standard = QStyle::SP_DirHomeIcon;
    }
    const QIcon fallback =
        QApplication::style() != nullptr ? QApplication::style()->standardIcon(standard) : QIcon();

    const QString name = QString::fromStdString(key);
    if (!name.contains(QLatin1Char('/'))) {
        return QIcon::fromTheme(name, fallback);
    }
    const QMimeType type = QMimeDatabase().mimeTypeForName(name);
    if (!type.isValid()) {
        return fallback;
    }
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
}
