// The single-instance guard across processes: copies of the probe program
// (tests/probes/instance_probe.cpp, the real guard around a window) started
// side by side, as the disc viewer starts the program.
#include "shell/instanceguard.h"
#include "support/fixtures.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <functional>
#include <iostream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ProbeName = QStringLiteral("instance-probe");
// Generous: a copy under a sanitizer on a busy machine starts slowly.
constexpr int StartMs = 30000;

// One running copy; its stdout read line by line, stdin for commands.
class TProbe {
public:
    TProbe(const QString& runtimeFolder, const QStringList& args,
           const QString& program = QStringLiteral(LUMORA_INSTANCE_PROBE),
           std::function<void()> inChild = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtimeFolder);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LUMORA_TRACE_FILE", "/dev/null");  // the trace goes to stderr too
        FProcess.setProcessEnvironment(env);
        if (inChild) FProcess.setChildProcessModifier(inChild);
        FProcess.start(program, args);
    }
    ~TProbe() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(10000);
        }
    }
    QProcess& Process() { return FProcess; }

    // The next line starting with Prefix, waiting up to Ms; empty when none came.
    QString WaitFor(const QString& prefix, int ms = StartMs) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (FProcess.canReadLine()) {
                const QString line = QString::fromUtf8(FProcess.readLine()).trimmed();
                FLines << line;
                if (!prefix.isEmpty() && line.startsWith(prefix)) return line;
            }
            if (clock.elapsed() >= ms || FProcess.state() == QProcess::NotRunning) return {};
            FProcess.waitForReadyRead(50);
        }
    }
    void Send(const QByteArray& command) {
        FProcess.write(command + '\n');
        FProcess.waitForBytesWritten(5000);
    }
    // Ends with exit code 0 within Ms.
    bool Ended(int ms = StartMs) {
        return FProcess.waitForFinished(ms) && FProcess.exitStatus() == QProcess::NormalExit &&
               FProcess.exitCode() == 0;
    }
    // Every line so far.
    QStringList Lines() {
        WaitFor(QString(), 0);
        return FLines;
    }
    QString Errors() { return QString::fromUtf8(FProcess.readAllStandardError()); }

private:
    QProcess FProcess;
    QStringList FLines;
};

class InstanceProbe : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo(QStringLiteral(LUMORA_INSTANCE_PROBE)).isExecutable()) GTEST_SKIP() << "no probe program";
    }
    std::unique_ptr<TProbe> Start(const QStringList& args) {
        return std::make_unique<TProbe>(Folder.Path(), args);
    }
    // A first copy with "I" whose guard runs.
    std::unique_ptr<TProbe> StartFirst(QStringList args = {}) {
        auto probe = Start(args << "I");
        EXPECT_TRUE(probe->WaitFor("ready").startsWith("ready guard=1")) << probe->Errors().toStdString();
        return probe;
    }
    TTempFolder Folder;  // the runtime folder of every copy
};

int Milliseconds(const QString& line) {
    const auto match = QRegularExpression(QStringLiteral("in (\\d+) ms")).match(line);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

TEST_F(InstanceProbe, ASecondCopyWithIEndsAndTheMinimisedFirstComesUpThreads) {
    auto first = StartFirst({"--minimized", "--trace"});
    EXPECT_TRUE(first->Lines().last().contains("minimized=1 active=0"));
    QElapsedTimer clock;
    clock.start();
    TProbe second(Folder.Path(), {"I", "--trace"});
    ASSERT_TRUE(second.Ended());
    // It ended inside the check: no window, no splash, nothing said.
    EXPECT_TRUE(second.Lines().isEmpty()) << second.Lines().join('\n').toStdString();
    const QString shown = first->WaitFor("show", 3000);
    const qint64 took = clock.elapsed();
    EXPECT_EQ(shown, "show minimized=0 visible=1 active=1");
    EXPECT_EQ(first->WaitFor("broadcast", 3000), "broadcast HalvornHideLmrSplash");
    // From the second copy's start (its own start-up included) to the first's
    // window being up; timing is for the record, the bound only catches a hang.
    std::cout << "second copy started to first copy raised: " << took << " ms\n";
    EXPECT_LT(took, 3000);
    const QString secondTrace = second.Errors();
    for (const char* text : {"Initial create event returned ", ", 0000000B (", "Previous instance of instance-probe detected.  Notifying.",
                             "Terminating."})
        EXPECT_TRUE(secondTrace.contains(text)) << text;
    first->Send("quit");
    ASSERT_TRUE(first->Ended());
    const QString firstTrace = first->Errors();
    for (const char* text : {", 00000000 (Success)", "Beginning wait loop.", "Showing handle ", "Ending wait loop."})
        EXPECT_TRUE(firstTrace.contains(text)) << text;
}

TEST_F(InstanceProbe, ACopyWithoutIRunsBesideTheFirstThreads) {
    auto first = StartFirst();
    auto beside = Start({});
    EXPECT_TRUE(beside->WaitFor("ready").startsWith("ready guard=0"));
    // A second copy with "I" still finds the first, not the one beside it.
    TProbe second(Folder.Path(), {"I"});
    ASSERT_TRUE(second.Ended());
    EXPECT_FALSE(first->WaitFor("show", 3000).isEmpty());
    first->Send("count");
    EXPECT_EQ(first->WaitFor("shows", 3000), "shows 1");
    beside->Send("count");
    EXPECT_EQ(beside->WaitFor("shows", 3000), "shows 0");
    beside->Send("quit");
    EXPECT_TRUE(beside->Ended());
}

TEST_F(InstanceProbe, TheRollOfASecondCopyArrivesAtTheFirstThreads) {
    auto first = StartFirst({"--trace"});
    TProbe garden(Folder.Path(), {"I", "R:Garden"});
    ASSERT_TRUE(garden.Ended());
    EXPECT_EQ(first->WaitFor("roll", 3000), "roll Garden");
    // Lower-case options, and a roll that names no roll: shown, and a warning.
    TProbe nowhere(Folder.Path(), {"i", "r:Nowhere"});
    ASSERT_TRUE(nowhere.Ended());
    EXPECT_EQ(first->WaitFor("roll", 3000), "roll Nowhere");
    first->Send("count");
    EXPECT_EQ(first->WaitFor("shows", 3000), "shows 2");
    first->Send("quit");
    ASSERT_TRUE(first->Ended());
    EXPECT_TRUE(first->Errors().contains("Roll \"Nowhere\" asked for by another copy names no roll."));
}

TEST_F(InstanceProbe, AfterKillNineOfTheFirstANewCopyStartsAsFirstThreads) {
    auto first = StartFirst();
    first->Process().kill();  // SIGKILL: nothing of ours runs
    ASSERT_TRUE(first->Process().waitForFinished(10000));
    const TInstanceNames names = InstanceNames(Folder.Path(), ProbeName);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(names.SocketFile).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));  // left behind, stale

    auto next = StartFirst();
    TProbe second(Folder.Path(), {"I"});
    ASSERT_TRUE(second.Ended());
    EXPECT_EQ(next->WaitFor("show", 3000), "show minimized=0 visible=1 active=1");
}

TEST_F(InstanceProbe, ClosingTheFirstEndsItsGuardThreadPromptlyThreads) {
    auto first = StartFirst({"--trace"});
    first->Send("quit");
    const QString ended = first->WaitFor("guard ended");
    ASSERT_FALSE(ended.isEmpty());
    std::cout << ended.toStdString() << "\n";
    EXPECT_GE(Milliseconds(ended), 0);
    EXPECT_LT(Milliseconds(ended), 3000);
    ASSERT_TRUE(first->Ended());
    EXPECT_TRUE(first->Errors().contains("Ending wait loop."));
    EXPECT_FALSE(QFileInfo::exists(InstanceNames(Folder.Path(), ProbeName).SocketFile));
    // The next copy is a first one again.
    StartFirst();
}

TEST_F(InstanceProbe, CopiesOfProgramsWithOtherNamesDoNotSeeEachOtherThreads) {
    TTempFolder programs;
    const QString other = programs.Path() + "Other-Probe";
    ASSERT_TRUE(QFile::copy(QStringLiteral(LUMORA_INSTANCE_PROBE), other));
    auto first = StartFirst();
    TProbe otherFirst(Folder.Path(), {"I"}, other);
    EXPECT_TRUE(otherFirst.WaitFor("ready").startsWith("ready guard=1"));
    EXPECT_TRUE(QFileInfo::exists(Folder.Path() + "other-probe-OnlyOneInstance.lock"));
    EXPECT_TRUE(QFileInfo::exists(Folder.Path() + "instance-probe-OnlyOneInstance.lock"));
    // Each one's second copy reaches its own first only.
    TProbe otherSecond(Folder.Path(), {"I"}, other);
    ASSERT_TRUE(otherSecond.Ended());
    EXPECT_FALSE(otherFirst.WaitFor("show", 3000).isEmpty());
    first->Send("count");
    EXPECT_EQ(first->WaitFor("shows", 3000), "shows 0");
}

TEST_F(InstanceProbe, AnotherUsersCopyNeitherBlocksNorIsSignalledThreads) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a copy as another user";
    constexpr uid_t Nobody = 65534;
    // The other user's copy of the program, where that user can run it.
    TTempFolder place;
    ::chmod(QFile::encodeName(place.Path()).constData(), 0755);
    const QString program = place.Path() + ProbeName;
    ASSERT_TRUE(QFile::copy(QStringLiteral(LUMORA_INSTANCE_PROBE), program));
    ::chmod(QFile::encodeName(program).constData(), 0755);
    // Told to use this user's runtime folder, it has to make its own instead.
    const QString its = QStringLiteral("/tmp/lumora-%1").arg(Nobody);
    const bool hadFolder = QFileInfo::exists(its);

    auto first = StartFirst();
    {
        TProbe stranger(Folder.Path(), {"I", "--trace"}, program, [] {
            if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(99);
        });
        const QString ready = stranger.WaitFor("ready");
        if (ready.isEmpty() && stranger.Process().exitCode() == 99) GTEST_SKIP() << "cannot become another user";
        EXPECT_TRUE(ready.startsWith("ready guard=1")) << stranger.Errors().toStdString();
        EXPECT_TRUE(QFileInfo::exists(its + "/instance-probe-OnlyOneInstance.socket"));
        first->Send("count");
        EXPECT_EQ(first->WaitFor("shows", 3000), "shows 0");
        // This user's second copy reaches this user's first, not the stranger.
        TProbe second(Folder.Path(), {"I"});
        ASSERT_TRUE(second.Ended());
        EXPECT_FALSE(first->WaitFor("show", 3000).isEmpty());
        stranger.Send("count");
        EXPECT_EQ(stranger.WaitFor("shows", 3000), "shows 0");
        stranger.Send("quit");
        EXPECT_TRUE(stranger.Ended());
        EXPECT_TRUE(stranger.Errors().contains("is not used: it belongs to another user"));
    }
    if (!hadFolder) QDir(its).removeRecursively();
}
