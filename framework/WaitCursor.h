#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace framework {

// Shows the busy cursor over the whole application for as long as it lives.
// Scopes nest. UI thread only; create it on the stack around synchronous
// work the user waits for.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace framework
