#pragma once
// Thumbnails in the background: one loader thread per roll works through the
// roll's tasks front first, makes each thumbnail as a finished value and hands
// it to the main thread, which stores it in the photo and tells the roll's
// owner; the roll thumbnail cache keeps the thumbnails of the 20 most recently
// opened rolls.
#include "shell/handover.h"
#include <QList>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TRoll;
class TTask;

// Thread priorities a loader runs at; the full-image loader drops the open
// roll's loader to Idle while it loads. Every level but Idle runs in the
// normal scheduling class. Idle is the idle class only where the loader can
// be brought back from it (see platform/threadclass.h); elsewhere a lowered
// loader waits between two thumbnails until it is raised, which leaves the
// processor to the full-image load just as well.
using TLoaderPriority = QThread::Priority;

// One roll's loader. Created and destroyed on the main thread by its roll.
class TThumbLoaderThread {
public:
    // Called on the main thread after a task's photo has a thumbnail.
    using TLoadedEvent = std::function<void(TThumbLoaderThread* sender, TTask* task)>;
    // Called on the main thread once the thread has run out of tasks (or was
    // told to stop); the owner then frees the loader.
    using TEndedEvent = std::function<void(TThumbLoaderThread* sender)>;

    TThumbLoaderThread(TRoll& roll, TLoadedEvent onLoaded, TEndedEvent onEnded);
    // Stops the thread and waits for it. The main thread never waits long: a
    // decode in progress stops within one batch of rows, and a hand-over
    // waiting for the main thread is abandoned.
    ~TThumbLoaderThread();
    TThumbLoaderThread(const TThumbLoaderThread&) = delete;
    TThumbLoaderThread& operator=(const TThumbLoaderThread&) = delete;

    void Start();
    // Takes effect between two tasks.
    void Pause();
    void Resume();
    bool Paused() const;
    bool Finished() const;
    // What really holds: Idle while the thread is in the idle class or waits
    // lowered, whatever was asked. Any thread may call these two.
    TLoaderPriority Priority() const;
    void SetPriority(TLoaderPriority priority);
    // Kernel id of the loader's thread while it runs, else 0.
    int ThreadId() const;
    // Lowers by waiting, never by the idle class (tests of that path).
    void ForceCooperativeLowering();

private:
    void Run();
    bool WaitWhilePaused();
    // Makes FPriority hold for the running thread (FLock held).
    void ApplyPriority();

    TRoll& FRoll;
    TLoadedEvent FOnLoaded;
    TEndedEvent FOnEnded;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FPaused = false;
    bool FStop = false;
    bool FFinished = false;
    TLoaderPriority FPriority = QThread::NormalPriority;
    int FThreadId = 0;
    bool FWaitLowered = false;     // lowered by waiting between thumbnails
    bool FCooperativeOnly = false;
    // Thumbnails and the "ended" notice handed to the main thread; called
    // off, and anything queued dropped, when the loader goes.
    TMainThreadHandOver FMainThread;
    std::unique_ptr<QThread> FThread;
};

// The order of the most recently opened rolls; preparing a roll beyond the
// limit frees the thumbnails of the least recent one.
class TRollThumbCache {
public:
    static constexpr int DefaultLimit = 20;
    explicit TRollThumbCache(int limit = DefaultLimit) : Limit(limit) {}

    // Roll becomes the most recent; the least recent beyond Limit has its
    // thumbnails freed.
    void Touch(TRoll* roll);
    // A roll that is freed leaves the list.
    void Remove(TRoll* roll);

    QList<TRoll*> Rolls;  // most recent first, not owned
    int Limit;
};

// The program's one cache; tests start afresh with ResetRollThumbCache.
TRollThumbCache& RollThumbCache();
void ResetRollThumbCache(int limit = TRollThumbCache::DefaultLimit);
