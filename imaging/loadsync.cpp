// Process-wide state of the loading pipeline: status listeners, the per-thread
// progress hook and small-size target, the library lock, the file arbitrator
// and the screen depth.
#include "imaging/loading.h"
#include "shell/tracelog.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <memory>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Waits are cut into slices so that the GUI thread can keep handling events.
constexpr std::chrono::milliseconds WaitSlice = 100ms;

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// One registered listener. Calls is the number of broadcasts inside it right
// now, Removed says no new call may start; both under the list's lock.
struct TListenerEntry {
    const void* Id = nullptr;
    TStatusListener Listener;
    int Calls = 0;
    bool Removed = false;
    std::vector<std::thread::id> Callers;  // threads inside the listener now
};

struct TListenerList {
    std::mutex Lock;
    std::condition_variable CallEnded;
    std::vector<std::shared_ptr<TListenerEntry>> Entries;
    std::atomic<int> Count{0};
};

TListenerList& Listeners() {
    static TListenerList list;
    return list;
}

void EndCall(TListenerList& list, TListenerEntry& entry, std::thread::id caller) {
    {
        std::lock_guard<std::mutex> lock(list.Lock);
        --entry.Calls;
        entry.Callers.erase(std::find(entry.Callers.begin(), entry.Callers.end(), caller));
    }
    list.CallEnded.notify_all();
}

int LibraryStatusCallback(int percent, void*) { return BroadcastStatus(skLibrary, percent); }

thread_local TProgressHook ThreadProgressHook;
thread_local TSmallLoad ThreadSmallLoad;

// A recursive lock with timed waits, made of a plain mutex and a condition
// variable: identification runs inside FlashPix loads on the same thread, and
// the sanitizers see every hand-over (they miss the timed pthread locks).
class TRecursiveLock {
public:
    bool TryLockFor(std::chrono::milliseconds timeout) {
        const std::thread::id me = std::this_thread::get_id();
        std::unique_lock<std::mutex> lock(FMutex);
        if (FDepth > 0 && FOwner == me) {
            ++FDepth;
            return true;
        }
        if (!FFree.wait_for(lock, timeout, [this] { return FDepth == 0; })) return false;
        FOwner = me;
        FDepth = 1;
        return true;
    }
    void Unlock() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            if (FDepth == 0 || FOwner != std::this_thread::get_id()) return;
            if (--FDepth > 0) return;
            FOwner = std::thread::id();
        }
        FFree.notify_one();
    }

private:
    std::mutex FMutex;
    std::condition_variable FFree;
    std::thread::id FOwner;
    int FDepth = 0;
};

TRecursiveLock& LibraryMutex() {
    static TRecursiveLock lock;
    return lock;
}

std::atomic<int> CachedScreenBits{0};

} // namespace

// ---- status listeners ----------------------------------------------------

void AddStatusListener(const void* id, TStatusListener listener) {
    // The facade has one status callback; ours is put in once and then
    // passes every report on to the listeners of the moment.
    static std::once_flag installed;
    std::call_once(installed, [] { L_SetStatusCallBack(LibraryStatusCallback, nullptr); });
    TListenerList& list = Listeners();
    std::lock_guard<std::mutex> lock(list.Lock);
    auto entry = std::make_shared<TListenerEntry>();
    entry->Id = id;
    entry->Listener = std::move(listener);
    list.Entries.push_back(std::move(entry));
    list.Count.store(int(list.Entries.size()));
}

void RemoveStatusListener(const void* id) {
    TListenerList& list = Listeners();
    std::unique_lock<std::mutex> lock(list.Lock);
    std::shared_ptr<TListenerEntry> entry;
    for (auto it = list.Entries.begin(); it != list.Entries.end(); ++it) {
        if ((*it)->Id == id) {
            entry = *it;
            list.Entries.erase(it);
            break;
        }
    }
    list.Count.store(int(list.Entries.size()));
    if (!entry) return;
    entry->Removed = true;
    // Calls already running are waited out, so the owner may free what the
    // listener uses once this returns. A listener removing itself from inside
    // its own call does not wait for itself. The GUI thread keeps handling
    // events meanwhile: the call may be waiting for the GUI thread.
    const std::thread::id me = std::this_thread::get_id();
    const auto othersDone = [&] {
        const int own = int(std::count(entry->Callers.begin(), entry->Callers.end(), me));
        return entry->Calls == own;
    };
    const bool gui = OnGuiThread();
    while (!othersDone()) {
        if (!gui) {
            list.CallEnded.wait(lock);
            continue;
        }
        if (!list.CallEnded.wait_for(lock, WaitSlice, othersDone)) {
            lock.unlock();
            QCoreApplication::processEvents();
            lock.lock();
        }
    }
}

bool HasStatusListeners() { return Listeners().Count.load() > 0; }

void ClearStatusListeners() {
    TListenerList& list = Listeners();
    std::lock_guard<std::mutex> lock(list.Lock);
    for (const auto& entry : list.Entries) entry->Removed = true;
    list.Entries.clear();
    list.Count.store(0);
}

int BroadcastStatus(int kind, int percent) {
    // Called on loading threads while the main thread may change the list:
    // walk a copy, so a listener may even remove itself, and enter each entry
    // under the lock so a removal either comes first or waits for the call.
    TListenerList& list = Listeners();
    std::vector<std::shared_ptr<TListenerEntry>> entries;
    {
        std::lock_guard<std::mutex> lock(list.Lock);
        entries = list.Entries;
    }
    const std::thread::id me = std::this_thread::get_id();
    for (const auto& entry : entries) {
        {
            std::lock_guard<std::mutex> lock(list.Lock);
            if (entry->Removed || !entry->Listener) continue;
            ++entry->Calls;
            entry->Callers.push_back(me);
        }
        bool goOn = true;
        try {
            goOn = entry->Listener(kind, percent);
        } catch (...) {
            // The count must come down whatever the listener does; its error
            // still reaches the load, which reports it.
            EndCall(list, *entry, me);
            throw;
        }
        EndCall(list, *entry, me);
        if (!goOn) return ERROR_USER_ABORT;
    }
    return SUCCESS;
}

// ---- per-thread settings ---------------------------------------------------

const TProgressHook& ProgressHook() { return ThreadProgressHook; }
void SetProgressHook(TProgressHook hook) { ThreadProgressHook = std::move(hook); }

const TSmallLoad& SmallLoad() { return ThreadSmallLoad; }
void SetSmallLoad(const TSmallLoad& request) { ThreadSmallLoad = request; }

// ---- library lock --------------------------------------------------------------

TLibraryLock::TLibraryLock() {
    TRecursiveLock& mutex = LibraryMutex();
    const bool gui = OnGuiThread();
    while (!mutex.TryLockFor(WaitSlice)) {
        if (gui) QCoreApplication::processEvents();
    }
}

TLibraryLock::~TLibraryLock() { LibraryMutex().Unlock(); }

// ---- file arbitrator ---------------------------------------------------------------

void TFileArbitrator::Acquire(const QString& name) {
    const QString upper = name.toUpper();
    const bool gui = OnGuiThread();
    std::unique_lock<std::mutex> lock(FLock);
    if (FBusy.contains(upper) && FObserver) FObserver(feWaiting, upper);
    while (FBusy.contains(upper)) {
        if (!gui) {
            FReleased.wait(lock);
            continue;
        }
        // The GUI thread must not block: a loader holding the name may be
        // waiting for a call the GUI thread has to run.
        if (FReleased.wait_for(lock, WaitSlice) == std::cv_status::timeout) {
            lock.unlock();
            QCoreApplication::processEvents();
            lock.lock();
        }
    }
    FBusy.append(upper);
    if (FObserver) FObserver(feAcquired, upper);
}

void TFileArbitrator::Release(const QString& name) {
    const QString upper = name.toUpper();
    {
        std::lock_guard<std::mutex> lock(FLock);
        FBusy.removeOne(upper);
        if (FObserver) FObserver(feReleased, upper);
    }
    FReleased.notify_all();
}

bool TFileArbitrator::IsBusy(const QString& name) const {
    std::lock_guard<std::mutex> lock(FLock);
    return FBusy.contains(name.toUpper());
}

void TFileArbitrator::SetObserver(TObserver observer) {
    std::lock_guard<std::mutex> lock(FLock);
    FObserver = std::move(observer);
}

TFileArbitrator& FileArbitrator() {
    static TFileArbitrator arbitrator;
    return arbitrator;
}

// ---- screen depth ---------------------------------------------------------------

void InitScreenDepth() {
    if (!OnGuiThread() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    const int bits = screen ? screen->depth() : 24;
    CachedScreenBits.store(bits > 0 ? bits : 24);
}

void SetScreenBitsPerPixel(int bits) { CachedScreenBits.store(std::max(bits, 0)); }

int ScreenBitsPerPixel() {
    // Never asked lazily: screens may only be queried on the GUI thread, and
    // a worker must get the same answer whenever it asks.
    const int bits = CachedScreenBits.load();
    return bits > 0 ? bits : 24;
}

bool ScreenPaletteMode() { return ScreenBitsPerPixel() <= 8; }

int BitsForColorMode(TColorMode colorMode) {
    switch (colorMode) {
    case 0: return 24;
    case 1: return 8;
    case 2: return ScreenBitsPerPixel();
    default: return 0;
    }
}
