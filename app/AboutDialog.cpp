#include "app/AboutDialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "framework/DialogUnits.h"
#include "resources/CommandIds.h"
#include "resources/ToolbarResource.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dialog100"));
    setWindowTitle(QStringLiteral("About Larkspur"));
    const framework::DialogUnits units(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(resources::ToolbarResource::Image(resources::IDR_MAINFRAME)));
    icon->setGeometry(units.ToPixels(11, 10, 21, 20));

    auto* version = new QLabel(QStringLiteral("Larkspur 98 v1.1"), this);
    version->setGeometry(units.ToPixels(40, 10, 185, 8));

    auto* rights = new QLabel(QStringLiteral("Copyright \u00A9 1998 Oakhollow Software"), this);
    rights->setGeometry(units.ToPixels(40, 22, 185, 8));

    auto* notice = new QLabel(
        QStringLiteral("This program comes without any warranty. Whatever you delete with it "
                       "goes to the Trash, from where you can restore it."),
        this);
    notice->setFrameStyle(QFrame::Box | QFrame::Sunken);
    notice->setWordWrap(true);
    notice->setMargin(units.ToPixelsX(3));
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice->setGeometry(units.ToPixels(40, 36, 185, 40));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(units.ToPixels(175, 84, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.ToPixelsX(235), units.ToPixelsY(105));
}
