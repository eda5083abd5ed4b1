#pragma once

#include <QObject>

class QWidget;

namespace framework {

// Help topics of windows. A widget given a topic, and every widget inside
// it without a topic of its own, belongs to that topic: F1 opens the topic
// of the focus widget (ShowFocusTopic), and in What's This mode
// (Shift+F1) a click on the widget opens its topic in the help file. UI
// thread only.
class ContextHelp : public QObject {
    Q_OBJECT

public:
    static void SetTopic(QWidget* widget, int topic);
    // The topic of widget or of its nearest ancestor that has one; 0 if none.
    [[nodiscard]] static int TopicOf(const QWidget* widget);

    // Opens the topic of the focus widget, or the help contents when it has
    // none. Returns whether the help file could be opened.
    static bool ShowFocusTopic();
    static void EnterWhatsThisMode();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static ContextHelp& Filter();
};

}  // namespace framework
