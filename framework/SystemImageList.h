#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <QIcon>

#include "platform/ImageList.h"

// The system image list: small icons by key, each loaded once from the
// desktop's icon theme and kept at a fixed index for the life of the
// process. A key is a MIME type name (its theme icon, then its generic icon)
// or a theme icon name; when the theme has neither (the offscreen platform
// has no theme) the style's standard file, folder, open folder, computer,
// drive or home icon stands in.
//
// UI thread only; needs a QApplication. The application registers the one
// instance with platform::ImageList::SetSystem at start-up.
class SystemImageList final : public platform::ImageList {
public:
    int IndexOf(const std::string& key) override;
    QVariant Icon(int index) const override;

    [[nodiscard]] int Count() const { return static_cast<int>(m_icons.size()); }

private:
    static QIcon Load(const std::string& key);

    std::unordered_map<std::string, int> m_indexes;
    std::vector<QIcon> m_icons;
};
