#pragma once

#include <QDialog>

// The about box: program icon, name and version, rights line, a framed
// notice and OK. Laid out in dialog units of the desktop's font.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // Shows the box modally (as a modal loop of ours) until it is closed.
    int DoModal();
};
