#pragma once

#include <QWidget>

namespace framework {

// One page of a PropertySheet: a tab whose controls are bound to the page's
// fields. UI thread only.
class PropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit PropertyPage(const QString& title, QWidget* parent = nullptr);

    [[nodiscard]] const QString& Title() const { return m_title; }

    // Copies the fields into the controls (save false), or the controls into
    // the fields (save true). The sheet calls it when it shows the page and
    // when it closes with OK.
    virtual void DoDataExchange(bool save) = 0;

private:
    QString m_title;
};

}  // namespace framework
