// The single-instance guard in this process: its folder, the lock and socket
// rules, requests reaching the main thread, bad clients and shutdown. The
// guard tests with several processes are in instanceprobe_test.cpp.
#include "env_guard.h"
#include "platform/errors.h"
#include "shell/broadcast.h"
#include "shell/instanceguard.h"
#include "shell/instancemessage.h"
#include "support/fixtures.h"
#include "support/tracecapture.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const QString Title = QStringLiteral("GuardTest");

// Lets the main thread run until Done holds or 5 s have passed.
template <typename F>
bool RunUntil(F done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// A raw client: connects and sends Bytes as they are; kept open until freed.
class TClient {
public:
    TClient(const QString& path, const QByteArray& bytes) {
        FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        Connected = ::connect(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (Connected && !bytes.isEmpty())
            Connected = ::send(FFd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    ~TClient() { ::close(FFd); }
    bool Connected = false;

private:
    int FFd;
};

// What reached the main window's side.
struct TRecord {
    int Shows = 0;
    QStringList Rolls;
    QStringList Broadcasts;
    bool OnMainThread = true;
};

class InstanceGuard : public ::testing::Test {
protected:
    void SetUp() override {
        SetBroadcastListener([this](const QString& m) { Seen.Broadcasts << m; });
    }
    void TearDown() override { SetBroadcastListener({}); }

    TInstanceHandlers Handlers(QWidget* window = nullptr) {
        return {window,
                [this] {
                    ++Seen.Shows;
                    Seen.OnMainThread &= QThread::currentThread() == qApp->thread();
                },
                [this](const QString& roll) {
                    Seen.Rolls << roll;
                    return roll != QLatin1String("Nowhere");
                }};
    }
    TInstanceCheck First() {
        TInstanceCheck first = CheckForPreviousInstance(Title, {}, Folder.Path());
        EXPECT_EQ(first.Role, TInstanceRole::First);
        if (first.Guard) first.Guard->SetHandlers(Handlers());
        return first;
    }
    TInstanceNames Names() const { return InstanceNames(Folder.Path(), Title); }

    TTempFolder Folder;  // mode 0700, as the runtime folder is
    TRecord Seen;
};

} // namespace

TEST_F(InstanceGuard, TheFolderIsTheUsersOwnAndClosedToOthers) {
    const QString uid = QString::number(::geteuid());
    const QString base = Folder.Make("tmp");  // ends in "/"
    {
        TEnvGuard runtime("XDG_RUNTIME_DIR", QFile::encodeName(Folder.Path()));
        EXPECT_EQ(InstanceFolder(nullptr, base.chopped(1)), Folder.Path());
    }
    // A runtime folder others may enter is passed over for a private one.
    const QString open = Folder.Make("open");
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
    {
        TEnvGuard runtime("XDG_RUNTIME_DIR", QFile::encodeName(open));
        EXPECT_EQ(InstanceFolder(nullptr, base.chopped(1)), base + "lumora-" + uid + "/");
        EXPECT_EQ(ModeOf(base + "lumora-" + uid) & 0777, 0700u);
    }
    {
        TEnvGuard runtime("XDG_RUNTIME_DIR", {}, true);
        EXPECT_EQ(InstanceFolder(nullptr, base.chopped(1)), base + "lumora-" + uid + "/");
    }
    // The private folder itself must not have been tampered with.
    struct TBad {
        const char* Name;
        std::function<void(const QString&)> Make;
        const char* Why;
    };
    const QString good = Folder.Make("good");
    const TBad bad[] = {
        {"open to others", [](const QString& p) { ::mkdir(QFile::encodeName(p).constData(), 0777); ::chmod(QFile::encodeName(p).constData(), 0777); }, "open to other users"},
        {"a link to a good folder", [&](const QString& p) { QFile::link(good, p); }, "symbolic link"},
        {"a file", [](const QString& p) { QFile f(p); f.open(QIODevice::WriteOnly); }, "no folder"},
    };
    for (const TBad& b : bad) {
        SCOPED_TRACE(b.Name);
        TTempFolder other;
        const QString place = other.Path() + "lumora-" + uid;
        b.Make(place);
        TEnvGuard runtime("XDG_RUNTIME_DIR", {}, true);
        QString why;
        EXPECT_TRUE(InstanceFolder(&why, other.Path().chopped(1)).isEmpty());
        EXPECT_TRUE(why.contains(b.Why)) << why.toStdString();
    }
    // Another user's folder: root hands one to "nobody"; anybody else meets "/".
    QString why;
    if (::geteuid() == 0) {
        const QString theirs = Folder.Make("theirs");
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        ::chmod(QFile::encodeName(theirs).constData(), 0700);
        EXPECT_FALSE(MakePrivateFolder(theirs, &why));
    } else {
        EXPECT_FALSE(MakePrivateFolder(QStringLiteral("/"), &why));
    }
    EXPECT_TRUE(why.contains("another user")) << why.toStdString();
}

TEST_F(InstanceGuard, LockAndSocketAreNamedFromTheTitleAndOwnerOnlyThreads) {
    TInstanceCheck first = First();
    const TInstanceNames names = Names();
    EXPECT_EQ(names.LockFile, Folder.Path() + "guardtest-OnlyOneInstance.lock");
    EXPECT_EQ(names.SocketFile, Folder.Path() + "guardtest-OnlyOneInstance.socket");
    EXPECT_TRUE(S_ISREG(ModeOf(names.LockFile)));
    EXPECT_EQ(ModeOf(names.LockFile) & 0777, 0600u);
    EXPECT_TRUE(S_ISSOCK(ModeOf(names.SocketFile)));
    EXPECT_EQ(ModeOf(names.SocketFile) & 0777, 0600u);
    // The name does not depend on the title's case; another name is another guard.
    EXPECT_EQ(CheckForPreviousInstance("GUARDTEST", {}, Folder.Path()).Role, TInstanceRole::Second);
    TInstanceCheck other = CheckForPreviousInstance("OtherTitle", {}, Folder.Path());
    EXPECT_EQ(other.Role, TInstanceRole::First);
    // Closing removes the socket and frees the lock for the next copy.
    first.Guard.reset();
    EXPECT_EQ(ModeOf(names.SocketFile), 0u);
    EXPECT_EQ(CheckForPreviousInstance(Title, {}, Folder.Path()).Role, TInstanceRole::First);
}

TEST_F(InstanceGuard, ASecondCheckShowsTheFirstOnTheMainThreadThreads) {
    TTraceCapture trace;
    QWidget window;
    TInstanceCheck first = CheckForPreviousInstance(Title, {}, Folder.Path());
    ASSERT_EQ(first.Role, TInstanceRole::First);
    first.Guard->SetHandlers(Handlers(&window));
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return !Seen.Rolls.isEmpty(); }));
    EXPECT_EQ(Seen.Shows, 1);
    EXPECT_TRUE(Seen.OnMainThread);
    EXPECT_EQ(Seen.Rolls, QStringList{"Garden"});
    EXPECT_EQ(Seen.Broadcasts, QStringList{"HalvornHideLmrSplash"});
    // Without a roll the first is only shown.
    EXPECT_EQ(CheckForPreviousInstance(Title, {}, Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return Seen.Shows == 2; }));
    EXPECT_EQ(Seen.Rolls.size(), 1);
    first.Guard.reset();
    const QString log = trace.Text();
    for (const char* text : {"Initial create event returned 000000", ", 00000000 (Success)",
                             ", 0000000B (Resource temporarily unavailable)",
                             "Previous instance of GuardTest detected.  Notifying.", "Terminating.",
                             "Beginning wait loop.", "Showing handle ", "Ending wait loop."})
        EXPECT_TRUE(log.contains(text)) << text;
}

TEST_F(InstanceGuard, RollsThatNameNoRollOrCannotTravelAreOnlyShownThreads) {
    TTraceCapture trace;
    TInstanceCheck first = First();
    ASSERT_TRUE(first.Guard);
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Nowhere"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return Seen.Rolls.size() == 1; }));
    EXPECT_TRUE(trace.Text().contains("Roll \"Nowhere\" asked for by another copy names no roll."));
    // A name with a "/" is not sent; the first copy is still asked to show.
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("../x"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return Seen.Shows == 2; }));
    EXPECT_EQ(Seen.Rolls, QStringList{"Nowhere"});
    EXPECT_TRUE(trace.Text().contains("Roll \"../x\" cannot be passed on"));
    // A roll handler that raises leaves the window shown and the guard running.
    first.Guard->SetHandlers({nullptr, [this] { ++Seen.Shows; },
                              [](const QString&) -> bool { throw EError(QStringLiteral("Unable to find any images.")); }});
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return Seen.Shows == 3; }));
    RunUntil([&] { return trace.Text().contains("could not be opened"); }, 1000);
    EXPECT_TRUE(trace.Text().contains("Roll \"Garden\" asked for by another copy could not be opened: Unable to find any images."));
    EXPECT_FALSE(first.Guard->Finished());
}

TEST_F(InstanceGuard, ARollArrivingBeforeTheWindowIsOpenedWhenItRegistersThreads) {
    TInstanceCheck first = CheckForPreviousInstance(Title, {}, Folder.Path());
    ASSERT_EQ(first.Role, TInstanceRole::First);
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return Seen.Broadcasts.size() == 1; }));
    EXPECT_TRUE(Seen.Rolls.isEmpty());
    first.Guard->SetHandlers(Handlers());
    ASSERT_TRUE(RunUntil([&] { return !Seen.Rolls.isEmpty(); }));
    EXPECT_EQ(Seen.Rolls, QStringList{"Garden"});
    EXPECT_EQ(Seen.Shows, 0);  // it was shown before it had a window
}

TEST_F(InstanceGuard, HandlersOfADestroyedWindowAreNoLongerCalledThreads) {
    TTraceCapture trace;
    TInstanceCheck first = CheckForPreviousInstance(Title, {}, Folder.Path());
    ASSERT_TRUE(first.Guard);
    auto window = std::make_unique<QWidget>();
    first.Guard->SetHandlers(Handlers(window.get()));
    window.reset();
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return trace.Text().contains("Showing handle 00000000"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Seen.Shows, 0);
    EXPECT_TRUE(Seen.Rolls.isEmpty());
}

TEST_F(InstanceGuard, BadClientsAreIgnoredAndNeverHoldTheGuardUpThreads) {
    TTraceCapture trace;
    TInstanceCheck first = First();
    ASSERT_TRUE(first.Guard);
    const QString socket = Names().SocketFile;
    struct TBad {
        QByteArray Bytes;
        const char* Why;
    };
    const TBad bad[] = {
        {"GET / HTTP/1.0\r\n\r\n", "not a message of this program"},
        {QByteArray(4096, 'L'), "too long"},
        {"LUMORA-INSTANCE 1 ROLL G\xE4rten\n", "not valid UTF-8"},
        {"LUMORA-INSTANCE 7 SHOW\n", "unknown message version 7"},
        {"LUMORA-INSTANCE 1 ROLL Gar", "cut short"},
    };
    for (const TBad& b : bad) {
        SCOPED_TRACE(b.Why);
        { TClient client(socket, b.Bytes); EXPECT_TRUE(client.Connected); }
        EXPECT_TRUE(RunUntil([&] { return trace.Text().contains(QString::fromLatin1(b.Why)); }));
    }
    // One that connects and never ends its message is given up after a
    // second, and the request behind it is served.
    TClient silent(socket, "LUMORA-INSTANCE 1 SHOW\n");
    ASSERT_TRUE(silent.Connected);
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    ASSERT_TRUE(RunUntil([&] { return !Seen.Rolls.isEmpty(); }));
    EXPECT_TRUE(trace.Text().contains("Ignored a connection on the instance socket: its message did not end."));
    EXPECT_EQ(Seen.Shows, 1);
    EXPECT_EQ(Seen.Rolls, QStringList{"Garden"});
    EXPECT_FALSE(first.Guard->Finished());
}

TEST_F(InstanceGuard, DestroyingCallsOffAHandOverTheMainThreadNeverRanThreads) {
    TInstanceCheck first = First();
    EXPECT_EQ(CheckForPreviousInstance(Title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    // The guard now waits for the main thread, which does not process events.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.Guard.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(Seen.Shows, 0);
    EXPECT_TRUE(Seen.Rolls.isEmpty());
    EXPECT_EQ(ModeOf(Names().SocketFile), 0u);
}

TEST_F(InstanceGuard, AStaleSocketIsReplacedByTheNextFirstCopyThreads) {
    // A socket file nobody listens on, as a killed first copy leaves it.
    const QString socket = Names().SocketFile;
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(socket);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    EXPECT_FALSE(TClient(socket, "x").Connected);
    TInstanceCheck first = First();
    EXPECT_EQ(CheckForPreviousInstance(Title, {}, Folder.Path()).Role, TInstanceRole::Second);
    EXPECT_TRUE(RunUntil([&] { return Seen.Shows == 1; }));
}

TEST_F(InstanceGuard, AKilledFirstCopyNeverBlocksTheNextThreads) {
    // The first copy is the probe program, killed with SIGKILL.
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", Folder.Path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(LUMORA_INSTANCE_PROBE), {"I"});
    ASSERT_TRUE(probe.waitForStarted(10000));
    ASSERT_TRUE(RunUntil([&] { return probe.canReadLine() || probe.waitForReadyRead(20); }, 30000));
    ASSERT_TRUE(probe.readLine().startsWith("ready guard=1"));
    // While it lives, this copy is the second.
    EXPECT_EQ(CheckForPreviousInstance("instance-probe", {}, Folder.Path()).Role, TInstanceRole::Second);
    probe.kill();
    ASSERT_TRUE(probe.waitForFinished(10000));
    const TInstanceNames names = InstanceNames(Folder.Path(), "instance-probe");
    EXPECT_TRUE(S_ISSOCK(ModeOf(names.SocketFile)));  // left behind
    TTraceCapture trace;
    TInstanceCheck next = CheckForPreviousInstance("instance-probe", {}, Folder.Path());
    ASSERT_EQ(next.Role, TInstanceRole::First);
    EXPECT_TRUE(trace.Text().contains("Replacing the socket"));
    next.Guard->SetHandlers(Handlers());
    EXPECT_EQ(CheckForPreviousInstance("instance-probe", {}, Folder.Path()).Role, TInstanceRole::Second);
    EXPECT_TRUE(RunUntil([&] { return Seen.Shows == 1; }));
}

TEST_F(InstanceGuard, AHolderThatDoesNotAnswerLeavesThisCopyUnguardedThreads) {
    TTraceCapture trace;
    // Somebody holds the lock but never listens.
    const int holder = ::open(QFile::encodeName(Names().LockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    TInstanceCheck check = CheckForPreviousInstance(Title, {}, Folder.Path(), 300);
    EXPECT_EQ(check.Role, TInstanceRole::Unguarded);
    EXPECT_FALSE(check.Guard);
    EXPECT_TRUE(trace.Text().contains("could not be notified"));
    // A holder that ends while this copy tries makes it the first.
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(holder);
    });
    check = CheckForPreviousInstance(Title, {}, Folder.Path(), 5000);
    release.join();
    EXPECT_EQ(check.Role, TInstanceRole::First);
    EXPECT_TRUE(check.Guard);
}

TEST_F(InstanceGuard, NoPrivateFolderMeansNoGuard) {
    EXPECT_EQ(CheckForPreviousInstance(Title, {}, QString()).Role, TInstanceRole::Unguarded);
    // A folder whose socket path would not fit an address.
    const QString deep = Folder.Make(QString(100, u'd'));
    EXPECT_EQ(CheckForPreviousInstance(Title, {}, deep).Role, TInstanceRole::Unguarded);
    // ... and the lock it took is let go again.
    const int fd = ::open(QFile::encodeName(InstanceNames(deep, Title).LockFile).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(InstanceGuard, TheModuleGuardLivesFromStartUpToShutdownThreads) {
    TEnvGuard runtime("XDG_RUNTIME_DIR", QFile::encodeName(Folder.Path()));
    ASSERT_EQ(PreviousInstanceGuard(), nullptr);
    RegisterInstanceHandlers(Handlers());  // no guard: nothing happens
    LookForPreviousInstance();
    ASSERT_NE(PreviousInstanceGuard(), nullptr);
    const QString title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const TInstanceNames names = InstanceNames(Folder.Path(), title);
    EXPECT_TRUE(S_ISSOCK(ModeOf(names.SocketFile)));
    RegisterInstanceHandlers(Handlers());
    EXPECT_EQ(CheckForPreviousInstance(title, QStringLiteral("Garden"), Folder.Path()).Role, TInstanceRole::Second);
    EXPECT_TRUE(RunUntil([&] { return !Seen.Rolls.isEmpty(); }));
    EXPECT_EQ(Seen.Shows, 1);
    DestroyPreviousInstance();
    EXPECT_EQ(PreviousInstanceGuard(), nullptr);
    EXPECT_EQ(ModeOf(names.SocketFile), 0u);
    EXPECT_EQ(CheckForPreviousInstance(title, {}, Folder.Path()).Role, TInstanceRole::First);
}
