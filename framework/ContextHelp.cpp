#include "framework/ContextHelp.h"

#include <QApplication>
#include <QEvent>
#include <QWhatsThis>
#include <QWidget>

#include "framework/HelpFile.h"

namespace framework {

namespace {

constexpr const char* kTopicProperty = "larkspurHelpTopic";

}  // namespace

void ContextHelp::SetTopic(QWidget* widget, int topic)
{
    widget->setProperty(kTopicProperty, topic);
    widget->installEventFilter(&Filter());
}

int ContextHelp::TopicOf(const QWidget* widget)
{
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant topic = widget->property(kTopicProperty);
        if (topic.isValid()) return topic.toInt();
    }
    return 0;
}

bool ContextHelp::ShowFocusTopic()
{
    const int topic = TopicOf(QApplication::focusWidget());
    return topic != 0 ? HelpFile::ShowTopic(topic) : HelpFile::ShowContents();
}

void ContextHelp::EnterWhatsThisMode() { QWhatsThis::enterWhatsThisMode(); }

bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    // What's This events travel up from the widget clicked to its
    // ancestors, so a click anywhere inside a pane reaches the pane.
    if (event->type() != QEvent::QueryWhatsThis && event->type() != QEvent::WhatsThis) return false;
    const int topic = TopicOf(qobject_cast<QWidget*>(watched));
    if (topic == 0) return false;
    if (event->type() == QEvent::WhatsThis) HelpFile::ShowTopic(topic);
    event->accept();
    return true;
}

ContextHelp& ContextHelp::Filter()
{
    static ContextHelp filter;
    return filter;
}

}  // namespace framework
