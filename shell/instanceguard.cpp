#include "shell/instanceguard.h"
#include "platform/errors.h"
#include "shell/broadcast.h"
#include "shell/foreground.h"
#include "shell/instancemessage.h"
#include "shell/startup.h"
#include "shell/tracelog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A second copy that connected but has not sent its message within this time
// is dropped, so a stray client cannot hold the guard up.
constexpr int ReadTimeoutMs = 1000;
constexpr int ListenBacklog = 16;

QString ErrnoText(int code) {
    char buffer[256];
    // GNU strerror_r: thread-safe, returns the text (not always in Buffer).
    return QString::fromLocal8Bit(strerror_r(code, buffer, sizeof buffer));
}

QString Hex8(quint64 value) { return QString::number(value, 16).toUpper().rightJustified(8, u'0'); }

// One descriptor, closed with the object.
class TFd {
public:
    explicit TFd(int fd = -1) : FFd(fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() { return std::exchange(FFd, -1); }
    void Reset(int fd = -1) {
        if (FFd >= 0) ::close(FFd);
        FFd = fd;
    }

private:
    int FFd;
};

bool FillAddress(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred cred{};
    socklen_t length = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.uid == ::geteuid();
}

// The lock file, opened without following a link and only when it is a plain
// file of this user; -1 with errno set otherwise.
int OpenLockFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd, 0600);
    return fd;
}

// Makes the listening socket at Path in place of whatever a crashed first copy
// left there. Only the holder of the lock calls this, so nobody else is using it.
int Listen(const QString& path, QString& why) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        why = QStringLiteral("the socket path %1 is too long").arg(path);
        return -1;
    }
    struct stat st {};
    if (::lstat(address.sun_path, &st) == 0) {
        TraceLog::InfoMsg(QStringLiteral("Replacing the socket %1 left by an earlier copy.").arg(path));
        ::unlink(address.sun_path);
    }
    TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0 || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = ErrnoText(errno);
        return -1;
    }
    // The folder is closed to others already; the socket is too.
    if (::chmod(address.sun_path, 0600) != 0 || ::listen(fd.Get(), ListenBacklog) != 0) {
        why = ErrnoText(errno);
        ::unlink(address.sun_path);
        return -1;
    }
    return fd.Release();
}

// One attempt to hand Message to the copy listening at Path.
bool SendMessage(const QString& path, const QByteArray& message, QString& why) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        why = QStringLiteral("the socket path is too long");
        return false;
    }
    // Non-blocking, so a full backlog is a retry rather than a hang.
    TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0 || ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = ErrnoText(errno);
        return false;
    }
    if (!PeerIsThisUser(fd.Get())) {
        why = QStringLiteral("the socket belongs to another user");
        return false;
    }
    // A fresh socket's buffer takes a message this small whole.
    const ssize_t sent = ::send(fd.Get(), message.constData(), size_t(message.size()), MSG_NOSIGNAL);
    if (sent != message.size()) {
        why = sent < 0 ? ErrnoText(errno) : QStringLiteral("the message was cut short");
        return false;
    }
    return true;
}

// Checks the folder found at Path (lstat: a link is refused, not followed).
bool IsPrivateFolder(const QByteArray& path, QString* why) {
    struct stat st {};
    QString problem;
    if (::lstat(path.constData(), &st) != 0)
        problem = ErrnoText(errno);
    else if (S_ISLNK(st.st_mode))
        problem = QStringLiteral("it is a symbolic link");
    else if (!S_ISDIR(st.st_mode))
        problem = QStringLiteral("it is no folder");
    else if (st.st_uid != ::geteuid())
        problem = QStringLiteral("it belongs to another user");
    else if ((st.st_mode & 077) != 0)
        problem = QStringLiteral("it is open to other users");
    if (why) *why = problem;
    return problem.isEmpty();
}

std::unique_ptr<TShowWait>& GuardSlot() {
    static std::unique_ptr<TShowWait> guard;
    return guard;
}

} // namespace

bool MakePrivateFolder(const QString& path, QString* why) {
    const QByteArray bytes = QFile::encodeName(path);
    if (::mkdir(bytes.constData(), 0700) != 0 && errno != EEXIST) {
        if (why) *why = ErrnoText(errno);
        return false;
    }
    return IsPrivateFolder(bytes, why);
}

QString InstanceFolder(QString* why, const QString& tmpBase) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString problem;
    if (!runtime.isEmpty()) {
        // Made by the session; we only check it.
        if (IsPrivateFolder(QFile::encodeName(runtime), &problem)) {
            return runtime.endsWith(u'/') ? runtime : runtime + u'/';
        }
        TraceLog::WarningMsg(QStringLiteral("XDG_RUNTIME_DIR %1 is not used: %2").arg(runtime, problem));
    }
    const QString own = tmpBase + QStringLiteral("/lumora-") + QString::number(::geteuid());
    if (MakePrivateFolder(own, &problem)) return own + u'/';
    if (why) *why = QStringLiteral("%1 cannot be used: %2").arg(own, problem);
    return {};
}

TInstanceNames InstanceNames(const QString& folder, const QString& title) {
    const QString base = folder + title.toLower() + QStringLiteral("-OnlyOneInstance");
    return {base + QStringLiteral(".lock"), base + QStringLiteral(".socket")};
}

// ---- the guard thread -------------------------------------------------------

TShowWait::TShowWait(int lockFd, int listenFd, QString socketFile)
    : FLockFd(lockFd), FListenFd(listenFd), FWakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      FSocketFile(std::move(socketFile)) {}

TShowWait::~TShowWait() {
    Terminate();
    WaitFor();
    CloseEndpoint();
    if (FWakeFd >= 0) ::close(FWakeFd);
}

void TShowWait::Start() {
    if (FThread) return;
    FThread.reset(QThread::create([this] { Execute(); }));
    FThread->setObjectName(QStringLiteral("TShowWait"));
    FThread->start();
}

void TShowWait::Terminate() {
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    FMainThread.Cancel();
    FWake.notify_all();
    // Wakes a poll at once; the slice limit is the fallback.
    if (FWakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(FWakeFd, &one, sizeof one);
    }
}

void TShowWait::WaitFor() {
    if (FThread) FThread->wait();
}

bool TShowWait::Finished() const {
    std::lock_guard lock(FLock);
    return FFinished;
}

bool TShowWait::StopAsked() const {
    std::lock_guard lock(FLock);
    return FStop;
}

void TShowWait::CloseEndpoint() {
    // The socket file goes while the lock is still ours: a new first copy
    // may have made its own once the lock is free.
    if (FListenFd >= 0) {
        ::close(FListenFd);
        FListenFd = -1;
        ::unlink(QFile::encodeName(FSocketFile).constData());
    }
    if (FLockFd >= 0) {
        ::close(FLockFd);
        FLockFd = -1;
    }
}

void TShowWait::Execute() {
    TraceScope trace("TShowWait.Execute");
    TraceLog::TraceMsg(QStringLiteral("Beginning wait loop."));
    try {
        while (!StopAsked()) {
            pollfd fds[2] = {{FListenFd, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
            const int ready = ::poll(fds, FWakeFd >= 0 ? 2 : 1, ShowWaitSliceMs);
            if (ready < 0) {
                if (errno == EINTR) continue;
                throw EError(QStringLiteral("waiting on the instance socket: ") + ErrnoText(errno));
            }
            if (ready == 0 || StopAsked()) continue;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                throw EError(QStringLiteral("the instance socket failed"));
            if (fds[0].revents & POLLIN) ServeConnection();
        }
    } catch (const std::exception& e) {
        TraceLog::SevereMsg(QStringLiteral("Show wait loop ended abnormally due to exception: ") +
                            QString::fromUtf8(e.what()));
        // Nobody answers here any more: let later copies start on their own.
        CloseEndpoint();
    }
    TraceLog::TraceMsg(QStringLiteral("Ending wait loop."));
    std::lock_guard lock(FLock);
    FFinished = true;
}

void TShowWait::ServeConnection() {
    TFd connection(::accept4(FListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (connection.Get() < 0) {
        // The client gave up before we took it, or a signal came: nothing lost.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return;
        throw EError(QStringLiteral("accepting on the instance socket: ") + ErrnoText(errno));
    }
    if (!PeerIsThisUser(connection.Get())) {
        TraceLog::WarningMsg(QStringLiteral("Ignored a connection of another user on the instance socket."));
        return;
    }
    TGuardMessageReader reader;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ReadTimeoutMs);
    // The sender closes the connection after its message.
    bool ended = false;
    while (!ended && reader.State() == TGuardMessageReader::TState::NeedMore) {
        if (StopAsked()) return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            TraceLog::WarningMsg(QStringLiteral("Ignored a connection on the instance socket: its message did not end."));
            return;
        }
        pollfd fd = {connection.Get(), POLLIN, 0};
        if (::poll(&fd, 1, int(std::min<qint64>(left, ShowWaitSliceMs))) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::recv(connection.Get(), buffer, sizeof buffer, 0);
        if (n == 0) {
            ended = true;
            continue;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            TraceLog::WarningMsg(QStringLiteral("Ignored a connection on the instance socket: ") + ErrnoText(errno));
            return;
        }
        reader.Feed(QByteArrayView(buffer, n));
    }
    const TGuardMessage message = reader.Finish();
    if (!message.Valid()) {
        TraceLog::WarningMsg(QStringLiteral("Ignored a message on the instance socket: ") + message.Error);
        return;
    }
    FMainThread.Run([this, roll = message.Roll] { Show(roll); });
}

void TShowWait::Show(const QString& roll) {
    TraceScope trace("TShowWait.Show");
    QWidget* window = FHandlers.Window ? FHandlers.Window->window() : nullptr;
    TraceLog::TraceMsg(QStringLiteral("Showing handle ") + Hex8(window ? quint64(window->internalWinId()) : 0));
    // The handlers belong to the window; once it is gone the program is closing.
    if (FWindowGiven && !window) return;
    if (FHandlers.Show)
        FHandlers.Show();
    else
        BringToFront(window);
    BroadcastHideSplash();
    if (!roll.isEmpty()) OpenRoll(roll);
}

void TShowWait::OpenRoll(const QString& roll) {
    if (FWindowGiven && FHandlers.Window.isNull()) return;
    if (!FHandlers.OpenRoll) {
        // The main window is not there yet; it gets the roll when it registers.
        FPendingRoll = roll;
        return;
    }
    try {
        if (!FHandlers.OpenRoll(roll))
            TraceLog::WarningMsg(QStringLiteral("Roll \"%1\" asked for by another copy names no roll.").arg(roll));
    } catch (const std::exception& e) {
        TraceLog::WarningMsg(QStringLiteral("Roll \"%1\" asked for by another copy could not be opened: %2")
                                 .arg(roll, QString::fromUtf8(e.what())));
    }
}

void TShowWait::SetHandlers(TInstanceHandlers handlers) {
    FHandlers = std::move(handlers);
    FWindowGiven = !FHandlers.Window.isNull();
    if (FHandlers.OpenRoll && !FPendingRoll.isEmpty()) {
        // Queued: the main window registers while it is made, and opens the
        // roll once its event loop runs.
        FMainThread.Post([this] {
            const QString roll = std::exchange(FPendingRoll, QString());
            if (!roll.isEmpty()) OpenRoll(roll);
        });
    }
}

// ---- the check ---------------------------------------------------------------

namespace {

TInstanceCheck BecomeFirst(TFd& lock, const TInstanceNames& names) {
    TInstanceCheck check;
    QString why;
    TFd listening(Listen(names.SocketFile, why));
    if (listening.Get() < 0) {
        // The lock is let go with it, so the next copy does not wait for us.
        TraceLog::WarningMsg(QStringLiteral("The single-instance socket %1 could not be made (%2); running without a guard.")
                                 .arg(names.SocketFile, why));
        return check;
    }
    check.Guard = std::make_unique<TShowWait>(lock.Release(), listening.Release(), names.SocketFile);
    check.Guard->Start();
    check.Role = TInstanceRole::First;
    return check;
}

} // namespace

TInstanceCheck CheckForPreviousInstance(const QString& title, const QString& roll, const QString& folder,
                                        int notifyWaitMs) {
    TraceScope trace("LookForPreviousInstance");
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
        throw EError(QStringLiteral("The single-instance check needs the application's main thread."));
    if (folder.isEmpty()) {
        TraceLog::WarningMsg(QStringLiteral("No private folder for the single-instance lock; running without a guard."));
        return {};
    }
    const TInstanceNames names = InstanceNames(folder, title);
    TFd lock(OpenLockFile(names.LockFile));
    int error = lock.Get() < 0 ? errno : 0;
    if (lock.Get() >= 0 && ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) error = errno;
    TraceLog::TraceMsg(QString::asprintf("Initial create event returned %8.8X, %8.8X (%s)", unsigned(lock.Get()),
                                         unsigned(error), ErrnoText(error).toUtf8().constData()));
    if (lock.Get() < 0) return {};
    if (error == 0) return BecomeFirst(lock, names);
    if (error != EWOULDBLOCK) return {};

    TraceLog::TraceMsg(QStringLiteral("Previous instance of ") + title + QStringLiteral(" detected.  Notifying."));
    QByteArray message = MakeGuardMessage(roll);
    if (message.isEmpty()) {
        TraceLog::WarningMsg(QStringLiteral("Roll \"%1\" cannot be passed on (%2); asking only to show.")
                                 .arg(roll, GuardRollProblem(roll.toUtf8())));
        message = MakeGuardMessage(QString());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(notifyWaitMs);
    for (;;) {
        QString why;
        if (SendMessage(names.SocketFile, message, why)) {
            lock.Reset();
            TraceLog::TraceMsg(QStringLiteral("Terminating."));
            TInstanceCheck check;
            check.Role = TInstanceRole::Second;
            return check;
        }
        // The holder may be starting (no socket yet) or ending (lock about to go).
        if (::flock(lock.Get(), LOCK_EX | LOCK_NB) == 0) {
            TraceLog::InfoMsg(QStringLiteral("The previous instance has ended; this copy takes its place."));
            return BecomeFirst(lock, names);
        }
        if (Clock::now() >= deadline) {
            TraceLog::WarningMsg(QStringLiteral("The previous instance could not be notified (%1); running without a guard.")
                                     .arg(why));
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void LookForPreviousInstance() {
    // Before customization, so the title is the program file's own name.
    const QString title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QString why;
    const QString folder = InstanceFolder(&why);
    if (folder.isEmpty()) TraceLog::WarningMsg(why);
    TInstanceCheck check = CheckForPreviousInstance(title, AppState().RollArgument, folder);
    if (check.Role == TInstanceRole::Second) {
        // No window of this copy was ever made; nothing to tidy.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    GuardSlot() = std::move(check.Guard);
}

TShowWait* PreviousInstanceGuard() { return GuardSlot().get(); }

void RegisterInstanceHandlers(TInstanceHandlers handlers) {
    if (TShowWait* guard = GuardSlot().get()) guard->SetHandlers(std::move(handlers));
}

void DestroyPreviousInstance() {
    TraceScope trace("DestroyPreviousInstance");
    GuardSlot().reset();
}
