#pragma once

#include <functional>

#include <QMessageBox>
#include <QStringList>

namespace framework {

// The program's message boxes: the text of a string-table entry with its
// placeholders filled from args, the application's title as caption, an
// icon, the given buttons and a Help button. Help opens the entry's topic in
// the help file (the string's id is its help context) and leaves the box
// open. UI thread; the box runs as a modal loop of ours (ModalScope).
class MessageBox {
public:
    // Returns the button that closed the box (NoButton when it was closed
    // without one).
    static QMessageBox::StandardButton Show(QWidget* parent, int stringId, const QStringList& args,
                                            QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // Tests answer the boxes themselves: while set, Show shows nothing and
    // returns what answer gives for the entry's id and its filled-in text.
    // An empty function restores the real boxes.
    using Answer = std::function<QMessageBox::StandardButton(int stringId, const QString& text,
                                                             QMessageBox::Icon icon)>;
    static void SetForTesting(Answer answer);
};

}  // namespace framework
