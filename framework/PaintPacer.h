#pragma once

#include <functional>

#include <QObject>

class QTimer;
class QWidget;

namespace framework {

// Paints a widget at most once an interval while a burst of changes lasts.
// A scan changes a view on every turn of the event loop, hundreds of times a
// second; painting each time (text shaped, style drawn) would take the UI
// thread's whole time. While paced, the widget's updates are off and a timer
// paints it whole once an interval; at the first tick at which busy()
// answers false the updates come back on and the pacing ends.
//
// UI thread only. The widget owns the pacer (its parent), or outlives it.
class PaintPacer : public QObject {
public:
    PaintPacer(QWidget& widget, int intervalMs, std::function<bool()> busy);

    // Starts pacing unless it is already on. Cheap: call it on every change.
    void Start();
    [[nodiscard]] bool IsPacing() const;

private:
    void Tick();

    QWidget& m_widget;
    QTimer* m_timer;
    std::function<bool()> m_busy;
};

}  // namespace framework
