// Whole installs from a disc made by make-disc into a private home, read
// back as the installed copy and the desktop see them.
#include "../shell/env_guard.h"
#include "browser/explorercombo.h"
#include "sharing/installfrm.h"
#include "shell/registry.h"
#include "support/desktopentry.h"
#include "support/screenshots.h"
#include "viewer/lumorafrm.h"
#include "imaging/hv3dprogressbar.h"
#include "viewer/statusfrm.h"
#include "viewer/windowfixture.h"
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

class InstallTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        TInstallFrm::SetProgramFileName("lumora");  // the disc's program, not this test's
        Home = Disc.Path() + "home/";
        QDir().mkpath(Home);
        CreateSharedWindows();
    }
    void TearDown() override {
        TInstallFrm::SetFreeSpaceProbe(nullptr);
        TInstallFrm::SetProgramFileName(QString());
        TWindowFixture::TearDown();
        FreeSharedWindows();
    }
    // The first roll of a disc, in the sizes given, on the thumbnails page.
    TRoll* OpenRoll(const QString& sizes = "Tiny,Small,Large") {
        TLumoraFrm& w = Start(MakeDisc(1, {}, sizes));
        return w.CurrentRoll();
    }
    // Runs an install of Roll as the window does, Sizes ticked; the boxes it showed.
    void Install(TRoll* roll, const QString& name, const QString& destination, const QList<int>& sizes,
                 const std::function<void(TInstallFrm&)>& during = {}) {
        TInstallFrm form;
        form.Prepare(roll);
        form.Form.RollNameEdit->setText(name);
        form.Form.DestinationEdit->SetText(destination);
        for (int size : sizes) form.Form.SizeBoxes[size - 1]->setChecked(true);
        form.UpdateInstallButton();
        if (during) during(form);
        RunGuarded([&] { form.Button1Click(); });
    }
    QString Home;
    TEnvGuard HomeVar{"HOME", QFile::encodeName(Disc.Path() + "home")};
    TEnvGuard Config{"XDG_CONFIG_HOME", QFile::encodeName(Disc.Path() + "home/.config")};
    TEnvGuard Data{"XDG_DATA_HOME", QFile::encodeName(Disc.Path() + "home/.local/share")};
};

} // namespace

// Everything an install leaves, read back as the installed copy and the
// desktop see it: the photos, the program folder, the desktop entry (valid,
// and its command starts the copy on its own rolls with the rotations
// carried over) and the destination remembered.
TEST_F(InstallTest, AnInstalledRollStartsOnItsOwnFromItsEntry) {
    TRoll* roll = OpenRoll();
    roll->Items(1)->Rotate(90);
    const QString d = Home + "My Photos/";
    Install(roll, "Summer 2004", "~/My Photos", {1, 5});
    ASSERT_EQ(Boxes, QStringList{"Install complete."});
    for (const char* size : {"Tiny", "Large"})
        for (int i = 0; i < roll->Count(); ++i)
            EXPECT_EQ(ReadFileBytes(d + "Rolls/Summer 2004/" + size + "/" + roll->Items(i)->FileName),
                      ReadFileBytes(roll->Folder + size + "/" + roll->Items(i)->FileName));
    EXPECT_FALSE(QFileInfo::exists(d + "Rolls/Summer 2004/Small"));
    for (const QString& file : QDir(AppState().AppDir).entryList(QDir::Files)) {
        if (file == "Lumora.ini") continue;
        EXPECT_EQ(ReadFileBytes(d + "LMR/" + file).size(), QFileInfo(AppState().AppDir + file).size()) << file.toStdString();
    }
    EXPECT_EQ(TIniFile(d + "LMR/Lumora.ini").ReadString("Config", "Installed", ""), "1");
    EXPECT_EQ(Registry::ReadString(Registry::ProductKey(""), "LumoraPath"), d);

    const QString entry = Home + ".local/share/applications/Vantu/Fotavo Photos/Summer 2004.desktop";
    QProcess validate;
    validate.start("desktop-file-validate", {entry});
    ASSERT_TRUE(validate.waitForFinished(30000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    QStringList command = ParseExec(ExecOf(ReadFileBytes(entry)));
    ASSERT_EQ(command.size(), 2);
    EXPECT_EQ(command[1], "R:Summer 2004");
    QProcess copy;
    copy.setWorkingDirectory(d + "Rolls/Summer 2004");
    copy.start(command[0], {command[1], "--list"});
    ASSERT_TRUE(copy.waitForFinished(30000));
    const QString listed = QString::fromUtf8(copy.readAllStandardOutput());
    EXPECT_TRUE(listed.contains("PictureDir: " + QFileInfo(d).canonicalFilePath() + "/Rolls/")) << listed.toStdString();
    EXPECT_TRUE(listed.contains(roll->Items(1)->FileName + " [Large] turned 90")) << listed.toStdString();
    EXPECT_FALSE(listed.contains("Unable to find"));
}

// What is refused is refused before anything is written, and a cancel or a
// failure takes away what the install made; the same name works afterwards.
TEST_F(InstallTest, RefusalsCancelAndAFullDiskLeaveNothing) {
    TRoll* roll = OpenRoll();
    const QString d = Home + "Photos/";
    const struct {
        const char* What;
        QString Name, Destination;
        qint64 FreeBytes;
        QString Box;
    } cases[] = {
        {"blank name", "   ", "~/Photos", -1, "Please make sure you have entered a name for the roll."},
        {"a path as name", "../x", "~/Photos", -1, "\"../x\" cannot be used as a roll name.\n\nPlease leave out / \\ : .. and a leading dot."},
        {"relative", "Summer", "Photos", -1, "\"Photos\" is not a full folder path.\n\nPlease enter one such as ~/Pictures/My Photos."},
        {"a full disk", "Summer", "~/Photos", 4096, "There is not enough free space in " + Home + ".\n\nThe install needs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Boxes.clear();
        TInstallFrm::SetFreeSpaceProbe([&](const QString&) { return c.FreeBytes; });
        Install(roll, c.Name, c.Destination, {1});
        ASSERT_EQ(Boxes.size(), 1);
        EXPECT_TRUE(Boxes[0].startsWith(c.Box)) << Boxes[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(d));
    }
    TInstallFrm::SetFreeSpaceProbe(nullptr);
    // A large file in the program folder keeps the copy busy long enough for
    // a real click on Cancel once the bar moves.
    QFile big(AppState().AppDir + "big.bin");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_EQ(big.write(QByteArray(96 << 20, 'x')), 96 << 20);
    big.close();
    Boxes.clear();
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TProgressFrm* progress = ProgressFrm();
        if (!clicked && progress->isVisible() && progress->Form.Bar->Progress() >= 30) {
            SaveScreenshot(*progress, "install-progress");
            QTest::mouseClick(progress->Form.CancelButton, Qt::LeftButton);
            clicked = true;
        }
    });
    poll.start(0);
    Install(roll, "Summer", "~/Photos", {1, 3, 5});
    poll.stop();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(Boxes, QStringList{"Install canceled."});
    EXPECT_FALSE(QFileInfo::exists(d)) << "the destination it made went with it";
    EXPECT_FALSE(ProgressFrm()->isVisible());
    EXPECT_FALSE(Registry::KeyExists(Registry::ProductKey("")));
    EXPECT_FALSE(QFileInfo::exists(Home + ".local/share/applications"));
    QFile::remove(AppState().AppDir + "big.bin");
    // The same name again, and then a second time: it exists now.
    Boxes.clear();
    Install(roll, "Summer", "~/Photos", {1});
    Install(roll, "Summer", "~/Photos", {1});
    EXPECT_EQ(Boxes, QStringList({"Install complete.", "\"Summer\" already exists in ~/Photos.\n\n Please enter a new descriptive name."}));
}

// The window as it opens: the sizes the roll has, Install only with a size
// ticked, the remembered destination under the disc's title, the quick hints.
TEST_F(InstallTest, TheWindowOffersWhatTheRollHasAndRemembersWhereItWent) {
    TRoll* roll = OpenRoll("Tiny,Medium");
    const int wakeUp = QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay);
    {
        TInstallFrm form;
        form.Prepare(roll);
        form.show();
        EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 50);
        EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay), 10000);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(form.Form.SizeBoxes[i]->isEnabled(), i == 0 || i == 3) << i;
        EXPECT_FALSE(form.Form.Button1->isEnabled());
        QTest::mouseClick(form.Form.SizeBoxes[3], Qt::LeftButton, {}, QPoint(8, 10));
        EXPECT_TRUE(form.Form.Button1->isEnabled());
        EXPECT_EQ(form.Form.DestinationEdit->Text(), Home + "Pictures/My Photos/");
        SaveScreenshot(form, "install-window");
    }
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), wakeUp);
    // Under a disc's title the destination is kept apart from the plain one's.
    for (const QString& title : {QString(), QString("Sunny Lab")}) {
        SCOPED_TRACE(title.toStdString());
        Disc.Write("disc/Viewer/LMR/custom.ini",
                   title.isEmpty() ? QByteArray() : ("[Application]\n__Caption=ChangeText " + title + "\n").toUtf8());
        ShutdownCustomization();
        LoadCustomFile();
        const QString folder = Disc.Path() + "to " + (title.isEmpty() ? "plain" : "lab") + "/";
        Boxes.clear();
        Install(roll, "Roll " + title, folder, {1});
        EXPECT_EQ(Boxes, QStringList{"Install complete."});
        EXPECT_EQ(Registry::ReadString(Registry::ProductKey(title), "LumoraPath"), folder);
        TInstallFrm next;
        next.Prepare(roll);
        EXPECT_EQ(next.Form.DestinationEdit->Text(), folder);
    }
    EXPECT_EQ(Registry::ReadString(Registry::ProductKey(""), "LumoraPath"), Disc.Path() + "to plain/");
}
