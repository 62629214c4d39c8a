#include "imaging/readthread.h"
#include "shell/tracelog.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QObject>
#include <exception>
#include <utility>

namespace {

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

TImageReadThread::TImageReadThread() = default;

TImageReadThread::~TImageReadThread() { Stop(); }

void TImageReadThread::Start() {
    if (FThread) return;
    FThread.reset(QThread::create([this] { Execute(); }));
    FThread->start(ThreadPriority());
}

void TImageReadThread::Stop() {
    {
        std::lock_guard lock(FEventLock);
        if (FStopped) return;
        FStopped = true;
        FEnding = true;
        FRequestEvent = true;
    }
    FMainThread.Cancel();
    FEventChanged.notify_all();
    if (FThread) {
        // The worker never waits for the main thread once Ending is set, so
        // this ends; meanwhile the windows stay alive. User input is held
        // back: a click must not act on a loader that is going away.
        const bool gui = OnGuiThread();
        while (!FThread->wait(QDeadlineTimer(int(RequestWait.count())))) {
            if (gui) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
}

void TImageReadThread::Request() {
    {
        std::lock_guard lock(FEventLock);
        FRequestEvent = true;
    }
    FEventChanged.notify_all();
}

void TImageReadThread::ServeNextAtOnce() {
    std::lock_guard lock(FEventLock);
    FServeAtOnce = true;
}

bool TImageReadThread::Ending() const {
    std::lock_guard lock(FEventLock);
    return FEnding;
}

bool TImageReadThread::Finished() const {
    std::lock_guard lock(FEventLock);
    return FFinished;
}

bool TImageReadThread::Synchronize(std::function<void()> work) { return FMainThread.Run(std::move(work)); }

void TImageReadThread::Post(std::function<void()> work) { FMainThread.Post(std::move(work)); }

void TImageReadThread::Execute() {
    TraceScope trace("TImageReadThread.Execute");
    for (;;) {
        {
            std::unique_lock lock(FEventLock);
            // A time-out only goes back to waiting; Ending ends the loop.
            if (!FEventChanged.wait_for(lock, RequestWait, [this] { return FRequestEvent || FEnding; }))
                continue;
            if (FEnding) break;
            FRequestEvent = false;
            const bool atOnce = std::exchange(FServeAtOnce, false);
            // A request after a quiet spell is served at once; one that
            // follows a step closely is likely one of a burst (a key held
            // down, quick clicks), so the worker waits a moment and serves
            // the burst with one step.
            const bool burst = !atOnce && std::chrono::steady_clock::now() - FLastStepEnd < RequestWait;
            if (burst) {
                if (FEventChanged.wait_for(lock, RequestPause, [this] { return FEnding; })) break;
                // The step reads the newest state when it begins, so requests
                // made during the pause are served by it.
                FRequestEvent = false;
            }
        }
        bool deliver = false;
        try {
            deliver = ReadStep();
        } catch (const std::exception& e) {
            // A subclass handles its own errors; one that escapes must not
            // end the program from a worker thread.
            TraceLog::SevereMsg(QStringLiteral("Read step failed: %1").arg(QString::fromUtf8(e.what())));
        }
        if (deliver && !Ending()) Synchronize([this] { DeliverStep(); });
        FLastStepEnd = std::chrono::steady_clock::now();
    }
    std::lock_guard lock(FEventLock);
    FFinished = true;
}
