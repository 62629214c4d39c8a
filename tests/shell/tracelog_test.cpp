#include "shell/tracelog.h"
#include "env_guard.h"
#include "platform/errors.h"
#include "support/fixtures.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using namespace TraceLog;

namespace {

class TraceLogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The log file is chosen at the first write of the process.
        if (LogFileName().isEmpty()) {
            Folder = std::make_unique<TTempFolder>();
            qputenv("LUMORA_TRACE_FILE", QFile::encodeName(Folder->Path() + "trace.log"));
        }
    }
    static void TearDownTestSuite() { qunsetenv("LUMORA_TRACE_FILE"); }

    void TearDown() override {
        SetMasterSwitch(false);
        SetLevelMask(0xE1);
        // Leave no call path behind for the next test.
        SetMasterSwitch(true);
        while (!CallPath().isEmpty()) Leave();
        SetMasterSwitch(false);
    }

    static QByteArray LogText() { return ReadFileBytes(LogFileName()); }

    static std::unique_ptr<TTempFolder> Folder;
};

std::unique_ptr<TTempFolder> TraceLogTest::Folder;

} // namespace

TEST_F(TraceLogTest, SwitchOffDoesNothing) {
    SetMasterSwitch(false);
    const QByteArray before = LogFileName().isEmpty() ? QByteArray() : LogText();
    Enter("A");
    EXPECT_EQ(CallPath(), "");
    EXPECT_NO_THROW(Leave());
    SetLevelMask(0xFF);
    SevereMsg("switched off");
    EXPECT_TRUE(Suppressed());
    RegisterErrorText("Imaging", 1, "ignored while off");
    EXPECT_EQ(ErrorText("Imaging", 1), "");
    EXPECT_EQ(WarningCode("Imaging", 1), "");
    EXPECT_EQ(SevereCode("Imaging", 1), "");
    if (!LogFileName().isEmpty()) {
        EXPECT_EQ(LogText(), before);
    }
    SetMasterSwitch(true);
    EXPECT_EQ(ErrorText("Imaging", 1), "Unknown Imaging error 1");  // nothing was stored
}

TEST_F(TraceLogTest, CallPathPushAndPop) {
    SetMasterSwitch(true);
    Enter("A");
    Enter("B");
    EXPECT_EQ(CallPath(), "A,B");
    Leave();
    EXPECT_EQ(CallPath(), "A");
    Leave();
    EXPECT_EQ(CallPath(), "");
    try {
        Leave();
        FAIL() << "empty Leave did not raise";
    } catch (const EError& e) {
        EXPECT_EQ(e.Message(), "Can't pop from empty stack.");
    }
    {
        TraceScope outer("Outer");
        try {
            TraceScope inner("Inner");
            EXPECT_EQ(CallPath(), "Outer,Inner");
            throw EError("passing");
        } catch (const EError&) {
        }
        EXPECT_EQ(CallPath(), "Outer");
    }
    EXPECT_EQ(CallPath(), "");
}

TEST_F(TraceLogTest, EntryFormat) {
    SetMasterSwitch(true);
    Enter("Main");
    Enter("Load");
    const QString entry = FormatEntry(lvWarning, "message");
    static const QRegularExpression plain(
        "^Warning   Thd:[0-9a-f]{8}\\* {12}\\d\\d:\\d\\d:\\d\\d Main,Load\r\nmessage\r\n\r\n$");
    EXPECT_TRUE(plain.match(entry).hasMatch()) << entry.toStdString();

    SetDetail("more detail");
    static const QRegularExpression detailed(
        "^Exception Thd:[0-9a-f]{8}\\* {12}\\d\\d:\\d\\d:\\d\\d Main,Load\r\nboom\r\nmore detail\r\n\r\n$");
    EXPECT_TRUE(detailed.match(FormatEntry(lvException, "boom")).hasMatch());
    EXPECT_TRUE(FormatEntry(99, "x").startsWith("          Thd:"));  // no name for unknown levels
}

TEST_F(TraceLogTest, WorkerThreadTextEndsInBlank) {
    SetMasterSwitch(true);
    Enter("MainOnly");
    const QString main = FormatEntry(lvInfo, "m");
    QString worker;
    QString workerPath;
    std::thread t([&] {
        Enter("Worker");
        worker = FormatEntry(lvInfo, "w");
        workerPath = CallPath();
        Leave();
    });
    t.join();
    EXPECT_EQ(main.mid(22, 1), "*");
    EXPECT_EQ(worker.mid(22, 1), " ");
    EXPECT_NE(main.mid(14, 8), worker.mid(14, 8));
    EXPECT_EQ(workerPath, "Worker");  // call paths are per thread
    EXPECT_EQ(CallPath(), "MainOnly");
}

TEST_F(TraceLogTest, WritesEnabledLevelsToFile) {
    SetMasterSwitch(true);
    InfoMsg("info-not-in-mask");  // 0xE1 lacks level 3
    EXPECT_TRUE(Suppressed());
    Enter("Writer");
    SetDetail("the detail");
    SevereMsg("severe-marker");
    EXPECT_FALSE(Suppressed());
    SevereMsg("second-marker");

    ASSERT_FALSE(LogFileName().isEmpty());
    const QString log = QString::fromUtf8(LogText());
    EXPECT_FALSE(log.contains("info-not-in-mask"));
    static const QRegularExpression entry(
        "Severe    Thd:[0-9a-f]{8}\\* {12}\\d\\d:\\d\\d:\\d\\d Writer\nsevere-marker\nthe detail\n");
    EXPECT_TRUE(entry.match(log).hasMatch()) << log.toStdString();
    // The detail goes with one entry only.
    EXPECT_TRUE(log.contains("Writer\nsecond-marker\n"));
    EXPECT_FALSE(log.contains("second-marker\nthe detail"));
}

TEST_F(TraceLogTest, PushAndPopAreTracedWithLevelOne) {
    SetMasterSwitch(true);
    SetLevelMask(0x06);
    Enter("Pushed");
    Leave();
    const QString log = QString::fromUtf8(LogText());
    EXPECT_TRUE(log.contains("Pushed\nPush Pushed\n"));
    EXPECT_TRUE(log.contains("\nPop \n"));
}

TEST_F(TraceLogTest, ErrorTextTable) {
    SetMasterSwitch(true);
    RegisterErrorText("Imaging", 3, "first text");
    RegisterErrorText("Imaging", 3, "Bad image file");
    RegisterErrorText("Other", 3, "other domain");
    EXPECT_EQ(ErrorText("Imaging", 3), "Bad image file");
    EXPECT_EQ(ErrorText("imaging", 3), "Bad image file");
    EXPECT_EQ(ErrorText("Other", 3), "other domain");
    EXPECT_EQ(ErrorText("Imaging", 4), "Unknown Imaging error 4");
    EXPECT_EQ(ErrorText("%2", -5), "Unknown %2 error -5");
    EXPECT_EQ(SevereCode("Imaging", 3), "Bad image file");
    EXPECT_EQ(WarningCode("Imaging", 4), "Unknown Imaging error 4");
    EXPECT_TRUE(Suppressed());  // level 4 is not in the initial mask
    EXPECT_TRUE(QString::fromUtf8(LogText()).contains("\nBad image file\n"));
}

TEST_F(TraceLogTest, ThreadsWriteWholeEntries) {
    SetMasterSwitch(true);
    constexpr int Threads = 4, Messages = 50;
    std::vector<std::thread> threads;
    for (int n = 0; n < Threads; ++n) {
        threads.emplace_back([n] {
            for (int i = 0; i < Messages; ++i) {
                TraceScope scope("Job");
                RegisterErrorText("Race", n, "text");
                SevereMsg(QStringLiteral("burst-%1-%2").arg(n).arg(i));
                ErrorText("Race", n);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    const QString log = QString::fromUtf8(LogText());
    static const QRegularExpression whole(" Job\nburst-\\d-\\d+\n");
    EXPECT_EQ(log.count(whole), Threads * Messages);
}
