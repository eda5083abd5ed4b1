#pragma once

#include <vector>

#include <QDialog>

class QTabWidget;

namespace framework {

class PropertyPage;

// A modal dialog of tabbed pages with OK and Cancel (no Apply). OK copies
// every page's controls into its fields; Cancel and the close box change
// nothing. UI thread only.
class PropertySheet : public QDialog {
    Q_OBJECT

public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr);

    // The sheet takes the page as a child widget. Add pages before exec.
    void AddPage(PropertyPage* page);

    // Fills the pages' controls, runs the sheet as a modal loop of ours
    // (ModalScope) and returns QDialog::Accepted or QDialog::Rejected.
    int exec() override;

    void accept() override;

private:
    QTabWidget* m_tabs;
    std::vector<PropertyPage*> m_pages;
};

}  // namespace framework
