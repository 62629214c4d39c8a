// The main window on discs made by make-disc: start-up to the first page, the
// roll and thumbnails pages, hover effects and the thumbnail-ready repaint.
#include "collection/roll.h"
#include "collection/rotation.h"
#include "collection/thumbloader.h"
#include "imaging/animatedimage.h"
#include "imaging/smoothlabel3d.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/settings.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/screenshots.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/fullviewpage.h"
#include "viewer/thumbspage.h"
#include "viewer/lumorafrm.h"
#include "viewer/windowfixture.h"
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using LumoraFrmTest = TWindowFixture;

TEST_F(LumoraFrmTest, SeveralRollsOpenOnTheRollPage) {
    TLumoraFrm& w = Start(MakeDisc(3));
    EXPECT_EQ(w.Page(), TViewPage::Rolls);
    EXPECT_EQ(w.Form.RollContainer->IconCount(), 3);
    EXPECT_EQ(w.Form.SectionLabel->Caption(), "Roll Selection");
    EXPECT_EQ(w.Form.ToolBarNoteBook->currentIndex(), 0);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    SaveScreenshot(w, "main-window-roll-page");
}

TEST_F(LumoraFrmTest, OneRollOpensOnItsThumbnailsWithTheToolbarClosedUp) {
    TLumoraFrm& w = Start(MakeDisc(1));
    EXPECT_EQ(w.Page(), TViewPage::Thumbs);
    ASSERT_NE(w.CurrentRoll(), nullptr);
    EXPECT_EQ(w.Form.SectionLabel->Caption(), w.CurrentRoll()->Name);
    EXPECT_FALSE(Visible(w.Form.ThumbViewRollButton));
    const QList<int> places = ToolBarSlots();
    EXPECT_EQ(w.Form.ThumbViewPrintButton->y(), places[0]);
    EXPECT_EQ(w.Form.ThumbViewSlideshowButton->y(), places[1]);
    EXPECT_EQ(w.Form.ThumbViewInstallButton->y(), places[2]);
    EXPECT_EQ(w.Form.ThumbViewUploadButton->y(), places[3]);
    ASSERT_TRUE(WaitFor([&] { return !w.CurrentRoll()->Loader; }));
    QTest::qWait(50);
    SaveScreenshot(w, "main-window-thumbnails-page");
}

TEST_F(LumoraFrmTest, TheRollArgumentOpensThatRollWhateverItsCase) {
    const QString appDir = MakeDisc(3);
    const QString second = RollNames().value(1);
    for (const QString& arg : QStringList{"R:" + second, "r:" + second.toUpper(), "Roll:" + second.toLower()}) {
        SCOPED_TRACE(arg.toStdString());
        TLumoraFrm& w = Start(appDir, {arg});
        EXPECT_EQ(w.Page(), TViewPage::Thumbs);
        ASSERT_NE(w.CurrentRoll(), nullptr);
        EXPECT_EQ(w.CurrentRoll()->Name, second);
        Window.reset();
        ResetAppState();
    }
}

TEST_F(LumoraFrmTest, OtherArgumentsLeaveTheRollPage) {
    const QString appDir = MakeDisc(3);
    const QString second = RollNames().value(1);
    for (const QString& arg : QStringList{"X:" + second, ":" + second, "Q"}) {
        SCOPED_TRACE(arg.toStdString());
        TLumoraFrm& w = Start(appDir, {arg});
        EXPECT_EQ(w.Page(), TViewPage::Rolls);
        Window.reset();
        ResetAppState();
    }
    EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(LumoraFrmTest, ARollArgumentNamingNoRollSaysSoAndStaysOnTheRollPage) {
    TLumoraFrm& w = Start(MakeDisc(3), {"R:Nowhere"});
    EXPECT_EQ(w.Page(), TViewPage::Rolls);
    EXPECT_EQ(Boxes, QStringList({"Unable to find any images."}));
}

TEST_F(LumoraFrmTest, AnInstalledCopyTakesItsRollsFolderAndHidesInstall) {
    const QString appDir = MakeDisc(2);
    // An installed copy: Rolls beside the program folder, Installed in its settings.
    const QString installed = Disc.Path() + "installed/";
    QDir().mkpath(installed + "LMR");
    QDir().rename(Disc.Path() + "disc/Pictures", installed + "Rolls");
    for (const QString& file : QDir(appDir).entryList(QDir::Files))
        QFile::copy(appDir + file, installed + "LMR/" + file);
    TIniFile(installed + "LMR/Lumora.ini").WriteString("Config", "Installed", "1");
    TLumoraFrm& w = Start(installed + "LMR/");
    EXPECT_EQ(w.RollList.Count(), 2);
    EXPECT_EQ(AppState().PictureDir, installed + "Rolls/");
    EXPECT_FALSE(Visible(w.Form.InstallButton));
    EXPECT_FALSE(Visible(w.Form.ThumbViewInstallButton));
    EXPECT_EQ(w.Form.UploadDisabled->y(), ToolBarSlots()[3]);  // moved up into the install place
}

TEST_F(LumoraFrmTest, NoRollFolderEndsTheProgramWithTheError) {
    const QString appDir = MakeDisc(1);
    QDir(Disc.Path() + "disc/Pictures").removeRecursively();
    QDir().mkpath(Disc.Path() + "disc/Pictures");  // the folder is there, no roll in it
    TLumoraFrm& w = Start(appDir, {}, QSize(1200, 800), false);
    EXPECT_TRUE(w.NoRolls);
    EXPECT_TRUE(WaitFor([&] { return !Boxes.isEmpty(); }));
    EXPECT_EQ(Boxes, QStringList({"Unable to find any images. Application terminating"}));
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
}

TEST_F(LumoraFrmTest, TheRollGridCentresUpToFiveCansARow) {
    TLumoraFrm& w = Start(MakeDisc(6), {}, QSize(1400, 800));
    TIconContainer& rolls = *w.Form.RollContainer;
    EXPECT_EQ(rolls.IconColumns(), 5);
    EXPECT_EQ(rolls.IconHorzGap(), 6);  // 5, made even as the container keeps its gaps
    const QRect first = rolls.IconRect(0), fifth = rolls.IconRect(4);
    const int left = first.left(), right = rolls.viewport()->width() - fifth.right();
    EXPECT_LE(std::abs(left - right), 12) << left << " " << right;
    EXPECT_EQ(rolls.IconRect(5).top(), first.top() + 150 + 30);
}

TEST_F(LumoraFrmTest, AHoveredThumbnailGetsItsYellowFrameOnlyOnceItHasOne) {
    TLumoraFrm& w = Start(MakeDisc(1));
    TIconContainer& thumbs = *w.Form.ThumbContainer;
    ASSERT_TRUE(WaitFor([&] { return !w.CurrentRoll()->Loader; }));
    TMedia* photo = w.CurrentRoll()->Items(1);
    const QRect icon = thumbs.IconRect(1);
    const QPoint centre = icon.center();
    const auto frameIsYellow = [&] {
        const QImage shot = thumbs.viewport()->grab().toImage();
        return shot.pixelColor(icon.left() + 2, centre.y()) == QColor(Qt::yellow);
    };
    std::unique_ptr<TThumbnail> kept = std::move(photo->Thumbnail);
    photo->FreeThumbnail();
    QTest::mouseMove(thumbs.viewport(), centre);
    EXPECT_EQ(w.ThumbsPage().HoverThumb().Index(), 1);
    EXPECT_FALSE(frameIsYellow());
    photo->SetThumbnail(std::move(kept));
    QTest::mouseMove(thumbs.viewport(), centre + QPoint(1, 1));
    EXPECT_TRUE(frameIsYellow());
    SaveScreenshot(w, "main-window-thumbnail-hover");
    // The mouse leaves the grid: the highlight goes within the timer's step.
    QCursor::setPos(w.mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(WaitFor([&] { return w.ThumbsPage().HoverThumb().Index() < 0; }, 500));
    EXPECT_FALSE(frameIsYellow());
}

TEST_F(LumoraFrmTest, LeavingAToolbarButtonStopsItsAnimation) {
    TLumoraFrm& w = Start(MakeDisc(2));
    w.SelectRoll(w.RollList.Items(0));
    THvAnimatedImage* print = w.Form.ThumbViewPrintButton;
    QCursor::setPos(print->mapToGlobal(QPoint(40, 40)));
    QTest::mouseMove(print, QPoint(40, 40));
    EXPECT_TRUE(print->Active());
    EXPECT_EQ(w.HoverButton, print);
    QCursor::setPos(w.mapToGlobal(QPoint(600, 500)));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(WaitFor([&] { return !print->Active(); }, 1000));
    EXPECT_LE(clock.elapsed(), 400);  // the 200 ms timer, with room for a loaded machine
}

TEST_F(LumoraFrmTest, TheLogoPlaysElevenFramesThenWaitsTenToTwentyTwoSeconds) {
    TLumoraFrm& w = Start(MakeDisc(2));
    TAnimatedImage& logo = *w.Form.FotavoLogo;
    ASSERT_GT(logo.NumGlyphs(), 1);
    int frames = 0;
    QObject::connect(&logo, &THvImageControl::OnFrameChanged, [&] { ++frames; });
    w.LogoTimerTimer();
    EXPECT_TRUE(logo.Active());
    ASSERT_TRUE(WaitFor([&] { return !logo.Active(); }, 5000));
    EXPECT_EQ(frames, 11 + 1);  // eleven frames played, then back to the resting frame
    EXPECT_GE(w.Form.LogoTimer->interval(), 10000);
    EXPECT_LE(w.Form.LogoTimer->interval(), 22000);
    EXPECT_TRUE(w.Form.LogoTimer->isActive());
}

TEST_F(LumoraFrmTest, ThumbnailReadyRepaintsOnlyTheContainerOfThePageShown) {
    TLumoraFrm& w = Start(MakeDisc(2));
    w.SelectRoll(w.RollList.Items(0));
    ASSERT_TRUE(WaitFor([&] { return !w.CurrentRoll()->Loader; }));
    QTest::qWait(30);
    int thumbPaints = 0, stripPaints = 0;
    QObject::connect(w.Form.ThumbContainer, &TIconContainer::OnIconDraw,
                     [&](TIconContainer*, int, QPainter*, const QRect&) { ++thumbPaints; });
    QObject::connect(w.Form.FullViewContainer, &TIconContainer::OnIconDraw,
                     [&](TIconContainer*, int, QPainter*, const QRect&) { ++stripPaints; });
    TTask task(w.CurrentRoll()->Items(2), 2);
    w.ThumbnailReady(&task);
    QTest::qWait(30);
    EXPECT_GT(thumbPaints, 0);
    EXPECT_EQ(stripPaints, 0);
    // On the roll page nothing is repainted.
    w.NewRollButtonClick();
    QTest::qWait(30);
    thumbPaints = 0;
    w.ThumbnailReady(&task);
    QTest::qWait(30);
    EXPECT_EQ(thumbPaints + stripPaints, 0);
}

TEST_F(LumoraFrmTest, FeaturesStillToComeSaySo) {
    TLumoraFrm& w = Start(MakeDisc(1));
    w.PrintButtonClick();
    w.ThumbViewInstallButtonClick();
    ASSERT_EQ(Boxes.size(), 2);
    EXPECT_TRUE(Boxes[0].startsWith("Printing is not available yet")) << Boxes[0].toStdString();
}

TEST_F(LumoraFrmTest, TheRollContainerKeepsItsDesignedTopMargin) {
    TLumoraFrm& w = Start(MakeDisc(3));
    TIconContainer& rolls = *w.Form.RollContainer;
    EXPECT_EQ(rolls.IconMargin(), 10);
    EXPECT_EQ(rolls.IconTopMargin(), 40);
    EXPECT_EQ(rolls.IconRect(0).top(), 40 + rolls.IconVertGap() / 2);
}

// A disc's custom.ini run against the real window: texts substituted and
// re-captioned, a picture changed (and the component resized to it), and
// components hidden for good, whichever page the window shows.
TEST_F(LumoraFrmTest, ACustomizedWindowKeepsWhatTheDiscHid) {
    const QString appDir = MakeDisc(3);
    QImage brand(24, 17, QImage::Format_RGB32);
    brand.fill(QColor(200, 40, 40));
    ASSERT_TRUE(brand.save(appDir + "brand.png"));
    QImage extra(60, 40, QImage::Format_RGB32);
    extra.fill(Qt::green);
    ASSERT_TRUE(extra.save(appDir + "Extra.bmp"));
    Disc.Write("disc/Viewer/LMR/custom.ini",
               "[Substitutions]\nRoll=Film\n"
               "[Application]\n__Caption=ChangeText Sunny Lab\n"
               "[LumoraFrm]\n"
               "ClickRollLabel=ChangeCaption Pick a roll of your holiday\n"
               "QuitButton.PictureUp=ChangeImage brand.png Adjust\n"
               "[LumoraFrm.Hidden]\n"
               "InstallButton=1\nThumbViewInstallButton=1\nMainMenuBtn=1\nExtraBranding=1\nItemIndexPanel=1\n");
    TLumoraFrm& w = Start(appDir, {"I"});
    TMainForm& f = w.Form;
    EXPECT_EQ(f.ClickRollLabel->Caption(), "Pick a film of your holiday");
    EXPECT_EQ(f.SectionLabel->Caption(), "Film Selection");
    EXPECT_EQ(w.windowTitle(), "Sunny Lab");
    EXPECT_EQ(f.QuitButton->size(), brand.size());
    EXPECT_EQ(f.QuitButton->PictureUp().pixelColor(5, 5), QColor(200, 40, 40));
    SaveScreenshot(w, "main-window-customized");

    const QList<QWidget*> hidden = {f.InstallButton, f.ThumbViewInstallButton, f.MainMenuBtn, f.ExtraBranding,
                                    f.ItemIndexPanel};
    const auto noneShows = [&](const char* where) {
        for (QWidget* component : hidden)
            EXPECT_FALSE(Visible(component)) << component->objectName().toStdString() << " on " << where;
    };
    noneShows("the roll page");
    w.SelectRoll(w.RollList.Items(0));
    noneShows("the thumbnails page");
    // The upload button closes up into the hidden install button's place.
    EXPECT_EQ(f.ThumbViewUploadButton->y(), ToolBarSlots()[3]);
    EXPECT_EQ(f.UploadDisabled->y(), ToolBarSlots()[3]);
    const int before = w.FullViewPage().Deliveries;
    w.ThumbContainerIconClick(1);
    ASSERT_TRUE(WaitFor([&] { return w.FullViewPage().Deliveries > before && !w.FullViewPage().Loading(); }));
    noneShows("the full view");
    w.ThumbnailsButtonClick();
    w.NewRollButtonClick();
    noneShows("the roll page again");
}

// Another copy's request inside a modal loop waits for the loop to end, and
// only the last one is served; after a slideshow only the open roll's
// loader runs.
TEST_F(LumoraFrmTest, RequestsOfAnotherCopyWaitUntilNoModalLoopRuns) {
    TLumoraFrm& w = Start(MakeDisc(3, {}, "Tiny,Medium", 12));
    const QStringList names = RollNames();
    TRoll* first = w.RollList.Items(0);
    w.SelectRoll(first);
    EXPECT_FALSE(w.InstanceRollRequest("Nowhere"));

    struct TCase {
        const char* Loop;
        std::function<void()> Run;   // runs the modal loop; Stop ends it
        std::function<void()> Stop;
    };
    QDialog box(&w);
    box.setModal(true);
    const TCase cases[] = {
        {"a modal dialog", [&] { box.exec(); }, [&] { box.accept(); }},
        {"the slideshow", [&] { w.RunSlideShow(); },
         [&] {
             if (QWidget* show = QApplication::activeModalWidget())
                 QTest::keyClick(show, Qt::Key_Space);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Loop);
        w.SelectRoll(first);
        TRoll* before = w.CurrentRoll();
        bool checked = false;
        QTimer::singleShot(50, &w, [&] {
            EXPECT_TRUE(w.InstanceRollRequest(names[1]));
            w.InstanceShowRequest();
            EXPECT_TRUE(w.InstanceRollRequest(names[2]));  // the last one wins
            // Held across several of the window's checks.
            QTimer::singleShot(3 * TLumoraFrm::HeldRequestCheckMs, &w, [&] {
                EXPECT_TRUE(w.InstanceRequestHeld());
                EXPECT_EQ(w.CurrentRoll(), before);
                checked = true;
                c.Stop();
            });
        });
        c.Run();
        EXPECT_TRUE(checked);
        ASSERT_TRUE(WaitFor([&] { return !w.InstanceRequestHeld(); }));
        EXPECT_EQ(w.CurrentRoll()->Name, names[2]);
        for (int i = 0; i < w.RollList.Count(); ++i) {
            TRoll* roll = w.RollList.Items(i);
            if (roll != w.CurrentRoll() && roll->Loader && !roll->Loader->Finished()) {
                EXPECT_TRUE(roll->Loader->Paused()) << roll->Name.toStdString();
            }
        }
    }
    // Outside a modal loop a request is served at once.
    w.InstanceRollRequest(names[0]);
    EXPECT_FALSE(w.InstanceRequestHeld());
    EXPECT_EQ(w.CurrentRoll(), first);
}
