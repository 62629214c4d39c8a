#include "collection/thumbloader.h"
#include "collection/roll.h"
#include "imaging/loading.h"
#include "platform/threadclass.h"
#include "shell/tracelog.h"
#include <cerrno>
#include <cstring>

TThumbLoaderThread::TThumbLoaderThread(TRoll& roll, TLoadedEvent onLoaded, TEndedEvent onEnded)
    : FRoll(roll), FOnLoaded(std::move(onLoaded)), FOnEnded(std::move(onEnded)) {}

TThumbLoaderThread::~TThumbLoaderThread() {
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    // A hand-over waiting for the main thread is called off: this is the main thread.
    FMainThread.Cancel();
    FWake.notify_all();
    if (FThread) FThread->wait();
}

void TThumbLoaderThread::Start() {
    if (FThread) return;
    // Everything the thread reads is set before it starts. It takes on its
    // priority itself, once its kernel id is known.
    FThread.reset(QThread::create([this] { Run(); }));
    FThread->start();
}

void TThumbLoaderThread::Pause() {
    std::lock_guard lock(FLock);
    FPaused = true;
}

void TThumbLoaderThread::Resume() {
    {
        std::lock_guard lock(FLock);
        FPaused = false;
    }
    FWake.notify_all();
}

bool TThumbLoaderThread::Paused() const {
    std::lock_guard lock(FLock);
    return FPaused;
}

bool TThumbLoaderThread::Finished() const {
    std::lock_guard lock(FLock);
    return FFinished;
}

TLoaderPriority TThumbLoaderThread::Priority() const {
    std::lock_guard lock(FLock);
    if (FThreadId == 0) return FPriority;
    if (FWaitLowered || Platform::ThreadClass(FThreadId) == Platform::TThreadClass::Idle)
        return QThread::IdlePriority;
    return FPriority == QThread::IdlePriority ? QThread::NormalPriority : FPriority;
}

void TThumbLoaderThread::SetPriority(TLoaderPriority priority) {
    {
        std::lock_guard lock(FLock);
        FPriority = priority;
        // Before the thread runs it takes the value on itself.
        if (FThreadId != 0) ApplyPriority();
    }
    FWake.notify_all();
}

int TThumbLoaderThread::ThreadId() const {
    std::lock_guard lock(FLock);
    return FThreadId;
}

void TThumbLoaderThread::ForceCooperativeLowering() {
    std::lock_guard lock(FLock);
    FCooperativeOnly = true;
}

// QThread's own idle priority would be the idle class on Linux, and its later
// Normal keeps the class it finds, so a loader once lowered would stay idle
// for good; the class is set here directly, by the thread's id, which stays
// valid while FThreadId is set (the thread clears it under FLock before it ends).
void TThumbLoaderThread::ApplyPriority() {
    using Platform::TThreadClass;
    if (FPriority == QThread::IdlePriority) {
        if (!FCooperativeOnly && Platform::CanLeaveIdleClass(FThreadId) &&
            Platform::SetThreadClass(FThreadId, TThreadClass::Idle)) {
            FWaitLowered = false;
            return;
        }
        FWaitLowered = true;
        return;
    }
    FWaitLowered = false;
    if (Platform::ThreadClass(FThreadId) == TThreadClass::Idle &&
        !Platform::SetThreadClass(FThreadId, TThreadClass::Normal))
        TraceLog::WarningMsg(QStringLiteral("Thumbnail loader left in the idle class: %1").arg(strerror(errno)));
}

bool TThumbLoaderThread::WaitWhilePaused() {
    std::unique_lock lock(FLock);
    FWake.wait(lock, [this] { return FStop || (!FPaused && !FWaitLowered); });
    return !FStop;
}

void TThumbLoaderThread::Run() {
    TraceScope trace("TThumbLoaderThread.Execute");
    {
        std::lock_guard lock(FLock);
        FThreadId = Platform::CurrentThreadId();
        ApplyPriority();
    }
    // A decode in progress stops within a batch of rows when told to.
    TProgressHookScope hook([this](int) {
        std::lock_guard lock(FLock);
        return !FStop;
    });
    while (WaitWhilePaused()) {
        TTask* task = nullptr;
        {
            std::lock_guard lock(FRoll.TasksLock);
            if (FRoll.Tasks.empty()) break;
            task = FRoll.Tasks.front().get();
        }
        TMedia* media = task->Media;
        // Made only when the photo has none yet; a finished value, never
        // written into the photo from here.
        auto made = std::make_shared<std::unique_ptr<TThumbnail>>();
        if (!media->HasThumbnail()) *made = media->MakeThumbnail();
        bool stopped = false;
        if (*made || media->HasThumbnail()) {
            stopped = !FMainThread.Run([this, task, media, made] {
                if (*made && !media->HasThumbnail()) media->SetThumbnail(std::move(*made));
                // Also a photo that already had its thumbnail is announced.
                if (media->HasThumbnail() && FOnLoaded) FOnLoaded(this, task);
            });
        }
        if (stopped) break;
        std::lock_guard lock(FRoll.TasksLock);
        // The main thread only appends, so the front is still this task.
        if (!FRoll.Tasks.empty() && FRoll.Tasks.front().get() == task) FRoll.Tasks.pop_front();
    }
    {
        std::lock_guard lock(FLock);
        FFinished = true;
        FThreadId = 0;      // the id may soon name another thread
        if (FStop) return;  // the owner is freeing us; nobody to tell
    }
    // Told on the main thread through our own hand-over, so the notice goes
    // with the loader: a loader freed before it ran (its roll went, or a new
    // loader took its place) is never told, and a new loader made at the
    // same address is never taken for it.
    FMainThread.Post([this] {
        if (FOnEnded) FOnEnded(this);
    });
}

// ---- roll thumbnail cache ---------------------------------------------------

void TRollThumbCache::Touch(TRoll* roll) {
    Rolls.removeAll(roll);
    Rolls.prepend(roll);
    while (Rolls.size() > Limit) {
        TRoll* oldest = Rolls.takeLast();
        TraceLog::InfoMsg(QStringLiteral("Thumbnails of roll %1 freed").arg(oldest->Name));
        oldest->FreeThumbnails();
    }
}

void TRollThumbCache::Remove(TRoll* roll) { Rolls.removeAll(roll); }

namespace {

std::unique_ptr<TRollThumbCache>& CacheSlot() {
    static auto cache = std::make_unique<TRollThumbCache>();
    return cache;
}

} // namespace

TRollThumbCache& RollThumbCache() { return *CacheSlot(); }

void ResetRollThumbCache(int limit) { CacheSlot() = std::make_unique<TRollThumbCache>(limit); }
