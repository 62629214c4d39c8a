// Copies of the real program started by a disc's viewer ("I"), each in its
// own process on a disc made by make-disc: one copy per user, the first
// raised, a roll handed over, a killed first copy never in the way.
#include "viewer/windowfixture.h"
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>
#include <sys/stat.h>

namespace {

class InstanceProgramTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        Program = MakeDisc(3) + "lumora";
        ::chmod(QFile::encodeName(Runtime.path()).constData(), 0700);
    }
    void TearDown() override {
        for (auto& copy : Copies) {
            copy->kill();
            copy->waitForFinished(5000);
        }
        TWindowFixture::TearDown();
    }
    // A copy of the program with Args; its reports are read from its output.
    QProcess& StartCopy(const QStringList& args, const QString& program = QString()) {
        auto copy = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LUMORA_REPORT", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", Runtime.path());
        copy->setProcessEnvironment(env);
        copy->start(program.isEmpty() ? Program : program, args);
        EXPECT_TRUE(copy->waitForStarted(10000));
        Copies.push_back(std::move(copy));
        return *Copies.back();
    }
    // Waits until Copy has reported Line; everything it said so far goes to Said.
    bool WaitForReport(QProcess& copy, const QString& line, int ms = 15000) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            Said[&copy] += QString::fromUtf8(copy.readAllStandardOutput());
            if (Said[&copy].split('\n').contains(line)) return true;
            if (copy.state() == QProcess::NotRunning) return false;
            copy.waitForReadyRead(100);
        }
        return false;
    }

    QString Program;
    QTemporaryDir Runtime;
    std::vector<std::unique_ptr<QProcess>> Copies;
    std::map<QProcess*, QString> Said;
};

} // namespace

TEST_F(InstanceProgramTest, ASecondCopyHandsOverAndEndsAtOnce) {
    QProcess& first = StartCopy({"I"});
    ASSERT_TRUE(WaitForReport(first, "first page painted"));
    QProcess& second = StartCopy({"I"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QString::fromUtf8(second.readAllStandardOutput()).contains("first page painted"));
    EXPECT_TRUE(WaitForReport(first, "raised", 3000));

    // With a roll: the first copy opens it.
    QProcess& third = StartCopy({"I", "R:Garden"});
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_TRUE(WaitForReport(first, "roll Garden", 3000));
}

// A disc of one roll opens on that roll's thumbnails; its first painted
// page is said as the roll page's is (the start-up benchmark waits for it).
TEST_F(InstanceProgramTest, TheFirstPaintedPageIsSaidWhicheverPageItIs) {
    MakeDisc(1);
    QProcess& copy = StartCopy({});
    EXPECT_TRUE(WaitForReport(copy, "first page painted"));
    EXPECT_EQ(Said[&copy].count("first page painted"), 1);
}

TEST_F(InstanceProgramTest, WithoutTheOptionCopiesRunSideBySide) {
    QProcess& first = StartCopy({"I"});
    ASSERT_TRUE(WaitForReport(first, "first page painted"));
    QProcess& second = StartCopy({});
    EXPECT_TRUE(WaitForReport(second, "first page painted"));
    EXPECT_EQ(second.state(), QProcess::Running);
}

TEST_F(InstanceProgramTest, AKilledFirstCopyNeverBlocksTheNext) {
    QProcess& first = StartCopy({"I"});
    ASSERT_TRUE(WaitForReport(first, "first page painted"));
    ::kill(pid_t(first.processId()), SIGKILL);
    first.waitForFinished(5000);
    QProcess& next = StartCopy({"I"});
    EXPECT_TRUE(WaitForReport(next, "first page painted"));
    EXPECT_EQ(next.state(), QProcess::Running);
}

TEST_F(InstanceProgramTest, ProgramFilesOfOtherNamesDoNotSeeEachOther) {
    const QString other = QFileInfo(Program).path() + "/lumora-copy";
    ASSERT_TRUE(QFile::copy(Program, other));
    QFile::setPermissions(other, QFile::permissions(Program));
    QProcess& first = StartCopy({"I"});
    ASSERT_TRUE(WaitForReport(first, "first page painted"));
    QProcess& second = StartCopy({"I"}, other);
    EXPECT_TRUE(WaitForReport(second, "first page painted"));
    EXPECT_FALSE(WaitForReport(first, "raised", 300));
}
