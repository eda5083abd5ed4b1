#include "app/CGeneralPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "framework/DialogUnits.h"

CGeneralPage::CGeneralPage(QWidget* parent)
    : framework::PropertyPage(QStringLiteral("General"), parent),
      m_protectBox(new QCheckBox(QStringLiteral("Protect system files from deletion"), this)),
      m_directoryEdit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("dialog134"));
    const framework::DialogUnits units(font());

    // The group box frames the other controls; made first, it lies beneath them.
    auto* group = new QGroupBox(QStringLiteral("File Protection"), this);
    group->setGeometry(units.ToPixels(7, 7, 180, 64));
    group->lower();

    m_protectBox->setObjectName(QStringLiteral("control1001"));
    m_protectBox->setGeometry(units.ToPixels(17, 21, 125, 10));
    // The desktop's check mark may be wider than the layout allowed for:
    // widen the box rather than cut its text.
    if (m_protectBox->sizeHint().width() > m_protectBox->width())
        m_protectBox->resize(m_protectBox->sizeHint().width(), m_protectBox->height());

    auto* label = new QLabel(QStringLiteral("Protected Directory:"), this);
    label->setGeometry(units.ToPixels(17, 35, 142, 8));

    m_directoryEdit->setObjectName(QStringLiteral("control1008"));
    m_directoryEdit->setReadOnly(true);
    m_directoryEdit->setGeometry(units.ToPixels(17, 46, 164, 14));

    setTabOrder(m_protectBox, m_directoryEdit);
    setMinimumSize(units.ToPixelsX(194), units.ToPixelsY(79));
}

void CGeneralPage::DoDataExchange(bool save)
{
    if (save) {
        m_protect = m_protectBox->isChecked() ? 1 : 0;
        m_directory = m_directoryEdit->text();
    } else {
        m_protectBox->setChecked(m_protect != 0);
        m_directoryEdit->setText(m_directory);
        m_directoryEdit->setCursorPosition(0);
    }
}
