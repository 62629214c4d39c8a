#pragma once
#include "shell/handover.h"
// The single-instance guard of copies started by the disc's own viewer (option
// "I"): one copy per user and program name. The first copy holds an flock on
// a lock file in the user's runtime folder and listens on a local socket
// beside it; its guard thread, TShowWait, waits there in slices of at most
// 250 ms and hands each request to the main thread. A later copy finds the
// lock taken, sends its request (show, and perhaps a roll to open) over the
// socket and ends before it makes any window.
//
// The lock dies with its process, so a first copy that crashed or was killed
// never blocks the next start; the next first copy replaces the socket file
// it left behind. The folder is the user's own (mode 0700), so another user's
// copy neither blocks this one nor is signalled by it.
//
// Start-up:   LookForPreviousInstance() once, in instance mode, after the
//             command line is parsed (a second copy ends inside it).
// Main window: RegisterInstanceHandlers({this, show, openRoll}) when created.
// Shutdown:   DestroyPreviousInstance().
#include <QPointer>
#include <QString>
#include <QWidget>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

// Longest wait of the guard thread before it looks whether it is to end.
constexpr int ShowWaitSliceMs = 250;

// The folder for lock and socket: $XDG_RUNTIME_DIR when it is a folder of
// ours closed to everybody else, else TmpBase/lumora-<uid> (made with mode
// 0700 when missing). Either is refused when it is a symbolic link, belongs
// to another user or is open to others; empty (Why says why) when neither can
// be used. Ends in "/".
QString InstanceFolder(QString* why = nullptr, const QString& tmpBase = QStringLiteral("/tmp"));
// Makes Path with mode 0700 when it is missing; true when it is then a folder
// (not a link) owned by this user with no access for group or others.
bool MakePrivateFolder(const QString& path, QString* why = nullptr);

struct TInstanceNames {
    QString LockFile;    // <folder><title in lower case>-OnlyOneInstance.lock
    QString SocketFile;  // <folder><title in lower case>-OnlyOneInstance.socket
};
TInstanceNames InstanceNames(const QString& folder, const QString& title);

// What the main window gives the guard. All three run on the main thread.
struct TInstanceHandlers {
    // Its handle is traced; BringToFront(Window) when Show is empty; once it
    // is destroyed, Show and OpenRoll are no longer called.
    QPointer<QWidget> Window;
    std::function<void()> Show;
    // Opens the roll another copy asked for; false when the name names no roll.
    std::function<bool(const QString& roll)> OpenRoll;
};

// The guard thread of the first copy. Owns the lock, the listening socket and
// the thread; made and destroyed on the main thread.
class TShowWait {
public:
    // Takes ownership of the descriptors (the lock held, the socket listening).
    TShowWait(int lockFd, int listenFd, QString socketFile);
    // Terminate, WaitFor, then the socket file is removed and the lock released.
    ~TShowWait();
    TShowWait(const TShowWait&) = delete;
    TShowWait& operator=(const TShowWait&) = delete;

    void Start();
    // Seen by the thread within one slice; a hand-over waiting for the main
    // thread is called off, so this never waits for the main thread.
    void Terminate();
    void WaitFor();
    bool Finished() const;

    // Main thread. A roll that arrived before any OpenRoll was registered is
    // opened (queued) once one is. Handlers given with a Window are not called
    // once that window is destroyed.
    void SetHandlers(TInstanceHandlers handlers);

private:
    void Execute();
    // Main thread: trace, bring the window up, tell the disc viewer, open Roll.
    void Show(const QString& roll);
    void OpenRoll(const QString& roll);
    void ServeConnection();
    bool StopAsked() const;
    void CloseEndpoint();

    int FLockFd;
    int FListenFd;
    int FWakeFd;
    QString FSocketFile;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FStop = false;
    bool FFinished = false;
    TInstanceHandlers FHandlers;   // main thread only
    bool FWindowGiven = false;     // main thread only
    QString FPendingRoll;          // main thread only
    // Show and the roll handed to the main thread; called off when the guard goes.
    TMainThreadHandOver FMainThread;
    std::unique_ptr<QThread> FThread;
};

enum class TInstanceRole {
    Unguarded,  // no guard could be set up (or the first copy could not be told): run without
    First,      // the guard runs
    Second      // the first copy was told; this copy ends
};

struct TInstanceCheck {
    TInstanceRole Role = TInstanceRole::Unguarded;
    std::unique_ptr<TShowWait> Guard;  // First only
};

// The check itself, without ending the process: takes the lock in Folder for
// Title, or tells the copy holding it to show itself (and open Roll when not
// empty). While the holder is not listening yet (it is starting) the message
// is retried for up to NotifyWaitMs; if the holder ends meanwhile this copy
// becomes the first. Main thread, with a QCoreApplication.
TInstanceCheck CheckForPreviousInstance(const QString& title, const QString& roll, const QString& folder,
                                        int notifyWaitMs = 2000);

// Module initialisation in instance mode: the check for the program file's
// name without extension and AppState().RollArgument. A second copy ends the
// process here; a first keeps its guard until DestroyPreviousInstance.
void LookForPreviousInstance();
// The guard of this process; null when there is none.
TShowWait* PreviousInstanceGuard();
// Forwards to the guard; nothing happens without one.
void RegisterInstanceHandlers(TInstanceHandlers handlers);
// Module shutdown: ends the guard thread (within one slice) and frees it.
void DestroyPreviousInstance();
