#include "framework/ProgressWait.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>

#include "platform/ModalScope.h"
#include "resources/StringTable.h"

namespace framework {

bool WaitWithProgress(QWidget* parent, const QString& label, int maximum,
                      const std::function<bool()>& finished, const std::function<int()>& done,
                      const std::function<void()>& cancel)
{
    const platform::ModalScope modal;
    QProgressDialog progress(label, QStringLiteral("Cancel"), 0, maximum, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // The dialog stays until the work has stopped.
    QObject::disconnect(&progress, &QProgressDialog::canceled, &progress, &QProgressDialog::cancel);
    bool cancelled = false;
    const auto stop = [&] {
        if (cancelled) return;
        cancelled = true;
        progress.setLabelText(resources::StringTable::Load(resources::IDS_PROGRESS_CANCELLING));
        cancel();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, stop);
    // Nothing is posted from the work: the loop wakes to look.
    QTimer look;
    look.start(20);
    progress.setValue(0);
    bool shown = false;
    while (!finished()) {
        // Escape hides the dialog without a cancel signal.
        if (shown && !progress.isVisible()) stop();
        shown = shown || progress.isVisible();
        QCoreApplication::processEvents(
            QEventLoop::WaitForMoreEvents |
            (progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents));
        if (!cancelled && !finished()) progress.setValue(done());
    }
    return cancelled;
}

}  // namespace framework
