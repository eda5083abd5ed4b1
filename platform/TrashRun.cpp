// GIO only: no Qt header here, since GIO's headers use "signals" as a name.
#include "platform/TrashRun.h"

#include <gio/gio.h>

#include <utility>

namespace platform {

TrashRun::TrashRun(std::vector<std::string> paths)
    : m_paths(std::move(paths)), m_cancellable(g_cancellable_new())
{
    m_thread = std::thread([this] { Run(); });
}

TrashRun::~TrashRun()
{
    Cancel();
    m_thread.join();
    g_object_unref(m_cancellable);
}

void TrashRun::Cancel()
{
    m_cancelled = true;
    g_cancellable_cancel(static_cast<GCancellable*>(m_cancellable));
}

void TrashRun::Run()
{
    for (const std::string& path : m_paths) {
        if (m_cancelled) {
            break;
        }
        TrashOutcome outcome = ShellActions::MoveOneToTrash(path, m_cancellable);
        if (m_cancelled && !outcome.trashed) {
            outcome.reason.clear();
        }
        m_outcomes.push_back(std::move(outcome));
        m_done.fetch_add(1, std::memory_order_relaxed);
    }
    m_finished.store(true, std::memory_order_release);
}

}  // namespace platform
