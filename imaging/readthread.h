#pragma once
// TImageReadThread: the base of the background loaders that read a picture
// and hand it to the main thread. The worker sleeps until Request, waits a
// short moment so that a burst of requests is served by one step, runs
// ReadStep on the worker and, when that has a result, DeliverStep on the main
// thread while the worker waits.
//
// A subclass calls Start last in its constructor and Stop first in its
// destructor: the worker calls the subclass's overrides, so it may only run
// while the whole object exists.
#include "shell/handover.h"
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

class TImageReadThread {
public:
    // How long the worker waits for a request before it looks at Ending again.
    static constexpr std::chrono::milliseconds RequestWait{250};
    // The pause between a request and its step when the request follows the
    // last step within RequestWait (a burst); a request after a quiet spell
    // is served at once.
    static constexpr std::chrono::milliseconds RequestPause{31};

    virtual ~TImageReadThread();
    TImageReadThread(const TImageReadThread&) = delete;
    TImageReadThread& operator=(const TImageReadThread&) = delete;

    // Any thread. Asks for one more step; requests made before the step
    // begins are served by that one step, a request made while a step runs
    // leads to exactly one more.
    virtual void Request();
    bool Ending() const;
    // The worker has left its loop.
    bool Finished() const;

protected:
    // Main thread.
    TImageReadThread();
    // Starts the worker at ThreadPriority. Called once, at the end of the
    // most derived constructor.
    void Start();
    // Ends the worker and waits for it; a step in progress runs to its end
    // (a subclass makes its step stop early when Ending), a hand-over to the
    // main thread is called off. On the main thread the wait lets pending
    // events run between slices. Work queued for the main thread and not yet
    // run is dropped. Safe to call more than once.
    void Stop();

    // The priority the worker runs at: Low, one above the lowest two.
    virtual QThread::Priority ThreadPriority() const { return QThread::LowPriority; }
    // The next step is served without the burst pause: for a request the
    // program makes itself, not one of a burst of the user's. Called before
    // Request.
    void ServeNextAtOnce();
    // Worker thread: one piece of work; true when there is a result to deliver.
    virtual bool ReadStep() = 0;
    // Main thread, while the worker waits: takes the result of ReadStep.
    virtual void DeliverStep() = 0;

    // Worker thread: runs Work on the main thread and waits until it ran.
    // False when the thread is ending (Work then never runs), so the main
    // thread can always stop the worker without waiting for itself.
    bool Synchronize(std::function<void()> work);
    // Worker or main thread: queues Work for the main thread without waiting. Queued
    // work runs in the order it was queued, also relative to Synchronize,
    // and never once the thread is ending.
    void Post(std::function<void()> work);

    // Free for subclasses to guard what ReadStep and DeliverStep share.
    mutable std::mutex Lock;

private:
    void Execute();

    mutable std::mutex FEventLock;
    std::condition_variable FEventChanged;
    bool FRequestEvent = false;  // auto-reset: taken by the worker
    bool FServeAtOnce = false;   // auto-reset: taken by the worker
    bool FEnding = false;
    bool FFinished = false;
    bool FStopped = false;
    std::chrono::steady_clock::time_point FLastStepEnd;  // worker only
    // Hand-overs to the main thread; called off when the thread ends.
    TMainThreadHandOver FMainThread;
    std::unique_ptr<QThread> FThread;
};
