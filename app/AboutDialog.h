#pragma once

#include <QDialog>

// The about box: program icon, name and version, rights line, a framed
// notice and OK. Laid out in dialog units of the desktop's font.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
