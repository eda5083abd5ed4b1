#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace framework {

// Waits, in a modal loop of ours (ModalScope), for work that runs off the
// UI thread, until finished() says true. Meanwhile every timer, repaint and
// socket of the UI thread is served; user input waits until the progress
// dialog (a child of parent, showing label, with steps 0 to maximum) shows
// after half a second, and from then on the dialog blocks parent's window.
// Cancel, Escape or the dialog's close calls cancel() once and leave the
// dialog up, saying so, until finished(). done() is the step shown, asked
// whenever the loop wakes; finished() is asked at least every 20 ms.
// Returns whether cancel() was called. UI thread.
bool WaitWithProgress(QWidget* parent, const QString& label, int maximum,
                      const std::function<bool()>& finished, const std::function<int()>& done,
                      const std::function<void()>& cancel);

}  // namespace framework
