#include "framework/MessageBox.h"

#include <QPushButton>

#include "framework/HelpFile.h"
#include "platform/ModalScope.h"
#include "resources/StringTable.h"

namespace framework {

namespace {

MessageBox::Answer& AnswerOverride()
{
    static MessageBox::Answer answer;
    return answer;
}

}  // namespace

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, int stringId, const QStringList& args,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons)
{
    // A box is a modal loop even when a test answers it: the worker's
    // messages wait meanwhile, as they would for the user.
    platform::ModalScope modal;
    if (AnswerOverride())
        return AnswerOverride()(stringId, resources::StringTable::Format(stringId, args), icon);
    QMessageBox box(icon, resources::StringTable::Load(resources::IDS_APPLICATION_TITLE),
                    resources::StringTable::Format(stringId, args), buttons, parent);
    // Names from the disk are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    QPushButton* help = box.addButton(QMessageBox::Help);

    for (;;) {
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (clicked != help)
            return clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
        HelpFile::ShowTopic(stringId);
    }
}

void MessageBox::SetForTesting(Answer answer) { AnswerOverride() = std::move(answer); }

}  // namespace framework
