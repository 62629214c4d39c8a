#pragma once
// The main window on a disc made by make-disc, as the program starts it; the
// message boxes it shows are recorded in Boxes.
#include "collection/roll.h"
#include "collection/rotation.h"
#include "collection/thumbloader.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "viewer/lumorafrm.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

inline QString Tool(const char* name) {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + '/' + QLatin1String(name));
}

template <typename F>
inline bool WaitFor(F done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(2);
    }
    return true;
}

class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxRecorder([this](const TMessageBoxRequest& request) {
            Boxes << request.Text;
            return QMessageBox::Ok;
        });
        ResetRollThumbCache();
    }
    void TearDown() override {
        Window.reset();
        SetMessageBoxRecorder(nullptr);
        CloseSkin();
        CloseRotationFile();
        ShutdownCustomization();
        ResetRollThumbCache();
        ResetAppState();
    }
    // A disc of Rolls rolls of 4 photos (Tiny and Medium), made by make-disc;
    // returns the program folder.
    QString MakeDisc(int rolls, const QStringList& extra = {}, const QString& sizes = "Tiny,Medium",
                     int frames = 4) {
        QProcess process;
        process.start(Tool("make-disc"), QStringList{"--rolls", QString::number(rolls), "--frames",
                                                     QString::number(frames), "--sizes", sizes, "--force"} +
                                             extra + QStringList{Disc.Path() + "disc"});
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return Disc.Path() + "disc/Viewer/LMR/";
    }
    QStringList RollNames() const {
        return QDir(Disc.Path() + "disc/Pictures").entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Start-up as the program does it, in a window of Size.
    TLumoraFrm& Start(const QString& appDir, const QStringList& args = {}, QSize size = QSize(1200, 800),
                      bool waitForIdle = true) {
        InitSettingsModule(args, appDir);
        CustomizeApplication();
        Window = std::make_unique<TLumoraFrm>();
        Window->resize(size);
        Window->show();
        if (waitForIdle) {
            EXPECT_TRUE(WaitFor([&] { return Window->IdleDone; }));
        }
        return *Window;
    }
    static bool Visible(const QWidget* w) { return w->isVisibleTo(w->window()); }

    TTempFolder Disc;
    QStringList Boxes;
    std::unique_ptr<TLumoraFrm> Window;
};

