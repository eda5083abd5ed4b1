#include "framework/PaintPacer.h"

#include <QTimer>
#include <QWidget>

namespace framework {

PaintPacer::PaintPacer(QWidget& widget, int intervalMs, std::function<bool()> busy)
    : QObject(&widget), m_widget(widget), m_timer(new QTimer(this)), m_busy(std::move(busy))
{
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, &PaintPacer::Tick);
}

void PaintPacer::Start()
{
    if (m_timer->isActive()) {
        return;
    }
    m_widget.setUpdatesEnabled(false);
    m_timer->start();
}

bool PaintPacer::IsPacing() const { return m_timer->isActive(); }

void PaintPacer::Tick()
{
    // Turning updates on marks the whole widget for painting; the repaint
    // paints it now, before they go off again.
    m_widget.setUpdatesEnabled(true);
    m_widget.repaint();
    if (m_busy()) {
        m_widget.setUpdatesEnabled(false);
    } else {
        m_timer->stop();
    }
}

}  // namespace framework
