#pragma once
// Work a worker thread hands to the main thread. Run is a blocking call that
// the main thread can call off: the worker waits until the work ran or until
// Cancel, so the main thread never waits for a worker that waits for it. Work
// queued and not run when Cancel comes, or when the object goes, never runs.
#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TMainThreadHandOver {
public:
    // Made on any thread; the work runs on the application's main thread.
    TMainThreadHandOver();
    // Cancels; queued work is dropped with the context it was queued to.
    ~TMainThreadHandOver();
    TMainThreadHandOver(const TMainThreadHandOver&) = delete;
    TMainThreadHandOver& operator=(const TMainThreadHandOver&) = delete;

    // Worker thread: runs Work on the main thread and waits for it. False
    // when it was cancelled first; Work then never runs.
    bool Run(std::function<void()> work);
    // Any thread: queues Work for the main thread without waiting. Queued
    // work runs in order, also relative to Run.
    void Post(std::function<void()> work);
    // Any thread: nothing queued runs any more and a waiting Run returns.
    void Cancel();
    bool Cancelled() const;

private:
    // Runs Work unless cancelled; an error is traced, never passed on into
    // the event loop from here.
    bool RunNow(const std::function<void()>& work);

    mutable std::mutex FLock;
    std::condition_variable FDone;
    bool FCancelled = false;
    std::unique_ptr<QObject> FContext;
};
