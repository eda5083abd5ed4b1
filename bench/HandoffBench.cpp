// The floor of the sized tree's walk: one empty task per folder handed from
// the UI thread to the worker and back, one at a time, queued and drained as
// the walk does (the next task is queued only once the last was delivered).
// What is left of a scan's time above this is the work itself.
//
// Usage: larkspur_bench_handoff [FOLDERS [ROUNDS]]. Prints the median time of
// ROUNDS rounds (5) over FOLDERS hand-offs (2,000) and the time per folder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "platform/MessageQueue.h"

namespace {

class EmptyTask : public Task {
public:
    void Run() override {}
    const char* GetName() const override { return "EmptyTask"; }
};

// Drains the finished task and queues the next until count were handed off.
class Drain : public platform::MessageWindow {
public:
    int left = 0;
    QEventLoop* loop = nullptr;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam,
                                      platform::LParam) override
    {
        if (message != UM_TASK_DONE) return 0;
        while (std::unique_ptr<Task> task = TaskManager::Instance().TakeFinished()) {
            task->Deliver();
        }
        if (TaskManager::Instance().PendingCount() != 0) return 0;
        if (--left > 0) {
            TaskManager::Instance().Add(std::make_unique<EmptyTask>());
        } else {
            loop->quit();
        }
        return 0;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    platform::MessageQueue::Instance().AttachToCurrentThread();
    const int folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    Drain drain;
    TaskManager::Instance().SetNotifyWindow(drain.Handle());
    std::vector<double> seconds;
    for (int round = 0; round < rounds; ++round) {
        QEventLoop loop;
        drain.loop = &loop;
        drain.left = folders;
        QElapsedTimer clock;
        clock.start();
        TaskManager::Instance().Add(std::make_unique<EmptyTask>());
        loop.exec();
        seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("hand-off floor: %d folders in %.4f s (median of %d), %.1f us per folder\n",
                folders, median, rounds, median * 1e6 / folders);
    TaskManager::Instance().SetNotifyWindow(0);
    return 0;
}
