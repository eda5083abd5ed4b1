#include "framework/PropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/PropertyPage.h"
#include "platform/ModalScope.h"

namespace framework {

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent), m_tabs(new QTabWidget(this))
{
    setWindowTitle(caption);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PropertySheet::AddPage(PropertyPage* page)
{
    m_tabs->addTab(page, page->Title());
    m_pages.push_back(page);
}

int PropertySheet::exec()
{
    for (PropertyPage* page : m_pages) page->DoDataExchange(false);
    platform::ModalScope modal;
    return QDialog::exec();
}

void PropertySheet::accept()
{
    for (PropertyPage* page : m_pages) page->DoDataExchange(true);
    QDialog::accept();
}

}  // namespace framework
