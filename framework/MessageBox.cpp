#include "framework/MessageBox.h"

#include <QPushButton>

#include "framework/HelpFile.h"
#include "platform/ModalScope.h"
#include "resources/StringTable.h"

namespace framework {

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, int stringId, const QStringList& args,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, resources::StringTable::Load(resources::IDS_APPLICATION_TITLE),
                    resources::StringTable::Format(stringId, args), buttons, parent);
    // Names from the disk are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    QPushButton* help = box.addButton(QMessageBox::Help);

    platform::ModalScope modal;
    for (;;) {
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (clicked != help)
            return clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
        HelpFile::ShowTopic(stringId);
    }
}

}  // namespace framework
