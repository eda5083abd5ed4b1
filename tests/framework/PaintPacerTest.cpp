#include "framework/PaintPacer.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "support/MessagePump.h"

namespace {

class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

}  // namespace

// While busy the widget paints only on the pacer's ticks; once the burst is
// over its updates must be on again, or the window would look frozen.
TEST(PaintPacer, PaintsOnItsTicksAndGivesUpdatesBackWhenTheBurstEnds)
{
    CountingWidget widget;
    widget.show();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return widget.paints > 0; }));
    bool busy = true;
    framework::PaintPacer pacer(widget, 5, [&busy] { return busy; });
    pacer.Start();
    EXPECT_FALSE(widget.updatesEnabled());
    const int before = widget.paints;
    widget.update();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return widget.paints > before; }));
    EXPECT_TRUE(pacer.IsPacing() && !widget.updatesEnabled());
    busy = false;
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !pacer.IsPacing(); }));
    EXPECT_TRUE(widget.updatesEnabled());
}
