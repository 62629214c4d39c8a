// The full view on a disc made by make-disc: a photo opened from the
// thumbnails, zoomed through its size folders, dragged, turned, stepped.
#include "imaging/animatedimage.h"
#include "imaging/smoothlabel3d.h"
#include "support/screenshots.h"
#include "viewer/fullviewgeometry.h"
#include "viewer/fullviewimage.h"
#include "viewer/fullviewpage.h"
#include "viewer/iconcontainer.h"
#include "viewer/windowfixture.h"
#include "platform/paths.h"
#include "shell/customize.h"
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

class FullViewTest : public TWindowFixture {
protected:
    // One roll of Frames photos in Sizes, its first photo shown.
    TLumoraFrm& Open(const QString& sizes, int frames = 4, int photo = 0) {
        TLumoraFrm& w = Start(MakeDisc(1, {}, sizes, frames));
        EXPECT_EQ(w.Page(), TViewPage::Thumbs);
        Page = &w.FullViewPage();
        const int before = Page->Deliveries;
        // The width of each picture delivered: on a dense screen a quick one
        // first, then the one for the device pixels.
        QObject::connect(Page, &TFullViewPage::Delivered, Page,
                         [this, &w] { DeliveredWidths << w.Form.FullView->Picture().Width(); });
        w.ThumbContainerIconClick(photo);
        EXPECT_TRUE(WaitFor([&] { return Page->Deliveries > before && !Page->Loading(); }));
        Page->FrameMs = 0;  // tests need not watch the animation
        return w;
    }
    QSize ViewSize() const { return Window->Form.FullView->size(); }
    TFullViewPage* Page = nullptr;
    QList<int> DeliveredWidths;
};

} // namespace

TEST_F(FullViewTest, APhotoOpensFittedWithItsCounterAndCaption) {
    TLumoraFrm& w = Open("Tiny,Medium,Large");
    EXPECT_EQ(w.Page(), TViewPage::FullView);
    EXPECT_TRUE(w.Form.FullViewPanel->isVisible());
    EXPECT_FALSE(w.Form.ProgressPanel->isVisible());
    EXPECT_EQ(w.Form.ItemIndexLabel->Caption(), "Image 1 of 4");
    EXPECT_TRUE(w.windowTitle().endsWith(" - " + w.FullViewPage().CurrentPhoto()->FullPath()));
    EXPECT_EQ(w.FullViewPage().CurrentPhoto()->Level, 4);  // Medium, the first view size
    EXPECT_FALSE(w.Form.PreviousButton->Enabled());
    EXPECT_TRUE(w.Form.NextButton->Enabled());
    EXPECT_TRUE(w.Form.FullViewContainer->Selector().IsSelected(0));
    EXPECT_EQ(ViewSize(), QSize(768, 512));  // fits the panel at its own size
    // A pixel of the picture for each of the screen's: on a screen of ratio 2
    // Medium shows at once, then Large replaces it.
    const int sharp = qRound(768 * w.devicePixelRatioF());
    EXPECT_EQ(DeliveredWidths, (sharp == 768 ? QList<int>{768} : QList<int>{768, sharp}));
    EXPECT_EQ(w.Form.FullView->Picture().Width(), sharp);
    EXPECT_EQ(ViewSize(), QSize(768, 512)) << "the sharper picture is placed where the quick one was";
    SaveScreenshot(w, "full-view-fitted");
}

TEST_F(FullViewTest, ZoomingStepsThroughTheSizesThenStretchesTwiceEachWay) {
    TLumoraFrm& w = Open("Small,Large");
    TMedia* photo = w.FullViewPage().CurrentPhoto();
    ASSERT_EQ(photo->Level, 5);  // no Medium: Large is the view size
    const QSize fitted = ViewSize();
    // Two stretch steps above the largest size, then the button is off.
    w.ZoomInTestClick();
    EXPECT_EQ(ViewSize(), fitted * 2);
    w.ZoomInTestClick();
    EXPECT_EQ(ViewSize(), fitted * 4);
    EXPECT_FALSE(w.Form.ZoomInButton->Enabled());
    SaveScreenshot(w, "full-view-zoomed");
    // Back down: Large, then the gap to Small (Medium missing), then Small
    // loads in the background, then two stretch steps below it.
    for (int i = 0; i < 3; ++i) w.ZoomOutButtonClick();
    EXPECT_EQ(photo->Level, 5);
    EXPECT_TRUE(photo->LevelGap);
    const int before = Page->Deliveries;
    w.ZoomOutButtonClick();
    EXPECT_EQ(photo->Level, 3);
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    const QSize small = ViewSize();
    w.ZoomOutButtonClick();
    w.ZoomOutButtonClick();
    EXPECT_FALSE(w.Form.ZoomOutButton->Enabled());
    // Halved twice, each time rounded half to even.
    EXPECT_LE(std::abs(ViewSize().width() - small.width() / 4), 1);
    EXPECT_LE(std::abs(ViewSize().height() - small.height() / 4), 1);
    // The sharper copy replaced the stretched one without re-fitting.
    EXPECT_EQ(w.Form.FullView->Picture().Width(), 384);
}

TEST_F(FullViewTest, TurningLeftThenRightSwapsTheViewTwiceAndRemembers) {
    TLumoraFrm& w = Open("Tiny,Medium");
    const QSize fitted = ViewSize();
    w.RotateLeftButtonClick();
    EXPECT_EQ(ViewSize(), fitted.transposed());
    EXPECT_EQ(w.FullViewPage().CurrentPhoto()->Rotation, -90);
    SaveScreenshot(w, "full-view-rotated");
    w.RotateRightButtonClick();
    EXPECT_EQ(ViewSize(), fitted);
    EXPECT_EQ(w.FullViewPage().CurrentPhoto()->Rotation, 0);
}

TEST_F(FullViewTest, ATurnIsThereAfterARestart) {
    const QString appDir = MakeDisc(1, {}, "Tiny,Medium");
    QSize unturned;
    {
        TLumoraFrm& w = Start(appDir);
        w.ThumbContainerIconClick(2);
        ASSERT_TRUE(WaitFor([&] { return w.FullViewPage().Deliveries > 0; }));
        unturned = QSize(w.Form.FullView->Picture().Width(), w.Form.FullView->Picture().Height());
        w.RotateRightButtonClick();
        w.close();
    }
    Window.reset();
    CloseRotationFile();
    ResetRollThumbCache();
    TLumoraFrm& w = Start(appDir);
    ASSERT_TRUE(WaitFor([&] { return !w.CurrentRoll()->Loader; }));
    TMedia* photo = w.CurrentRoll()->Items(2);
    EXPECT_EQ(photo->Rotation, 90);
    ASSERT_TRUE(photo->HasThumbnail());
    w.ThumbContainerIconClick(2);
    ASSERT_TRUE(WaitFor([&] { return w.FullViewPage().Deliveries > 0; }));
    EXPECT_EQ(QSize(w.Form.FullView->Picture().Width(), w.Form.FullView->Picture().Height()),
              unturned.transposed());
}

TEST_F(FullViewTest, ADragOffThePanelReCentresOnRelease) {
    TLumoraFrm& w = Open("Tiny,Medium");
    QWidget* view = w.Form.FullView;
    const QRect centred = view->geometry();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(10 - 3000, 10), view->mapToGlobal(QPointF(10 - 3000, 10)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
    EXPECT_LT(view->geometry().right(), 0);
    QTest::mouseRelease(view, Qt::LeftButton, {}, view->mapFromGlobal(QCursor::pos()));
    EXPECT_EQ(view->geometry(), centred);
    EXPECT_FALSE(Page->Panning);
}

// A photo more than twice the panel's size opens read at half its size,
// placed as the whole photo; a zoom or a panel grown past its pixels reads
// the whole photo, which takes the stretched one's place without a re-fit.
TEST_F(FullViewTest, ALargePhotoOpensReducedAndIsReadWholeWhenMoreIsShown) {
    TLumoraFrm& w = Open("Tiny,ExLarge", 2);
    const TIEBitmapGraphic& picture = w.Form.FullView->Picture();
    const auto pictureSize = [&] { return QSize(picture.Width(), picture.Height()); };
    ASSERT_EQ(w.FullViewPage().CurrentPhoto()->Level, 6);
    EXPECT_EQ(pictureSize(), QSize(1536, 1024));
    EXPECT_EQ(picture.SourceSize(), QSize(3072, 2048));
    EXPECT_EQ(ViewSize(), TFullViewGeometry::FitImage({3072, 2048}, w.Form.FullViewPanel->size()).size());
    const QSize fitted = ViewSize();
    int before = Page->Deliveries;
    w.ZoomInTestClick();
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(pictureSize(), QSize(3072, 2048));
    EXPECT_EQ(ViewSize(), fitted * 2);

    before = Page->Deliveries;
    w.NextButtonClick();
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(pictureSize(), QSize(1536, 1024));
    before = Page->Deliveries;
    w.resize(3600, 2800);
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(pictureSize(), QSize(3072, 2048));
    EXPECT_EQ(ViewSize(), TFullViewGeometry::FitImage({3072, 2048}, w.Form.FullViewPanel->size()).size());
}

TEST_F(FullViewTest, QuickNextClicksDeliverOnlyTheLastPhoto) {
    TLumoraFrm& w = Open("Tiny,ExLarge", 8);
    const int before = Page->Deliveries;
    for (int i = 0; i < 5; ++i) w.NextButtonClick();
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    QTest::qWait(300);
    EXPECT_EQ(Page->Deliveries, before + 1);
    EXPECT_EQ(w.FullViewPage().CurrentIndex(), 5);
    EXPECT_EQ(w.Form.ItemIndexLabel->Caption(), "Image 6 of 8");
}

TEST_F(FullViewTest, AnUnreadablePhotoKeepsThePictureButMovesOn) {
    TLumoraFrm& w = Open("Tiny,Medium");
    const qint64 serial = w.Form.FullView->Picture().Bitmap()->SerialNumber();
    QFile::resize(w.CurrentRoll()->Items(1)->FullPath(), 0);
    const int before = Page->Deliveries;
    w.NextButtonClick();
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(w.Form.FullView->Picture().Bitmap()->SerialNumber(), serial);
    EXPECT_EQ(w.Form.ItemIndexLabel->Caption(), "Image 2 of 4");
    EXPECT_TRUE(w.Form.FullViewContainer->Selector().IsSelected(1));
    EXPECT_TRUE(w.windowTitle().endsWith(w.CurrentRoll()->Items(1)->FullPath()));
    EXPECT_FALSE(w.Form.ProgressPanel->isVisible());
}

TEST_F(FullViewTest, ADamagedPhotoIsShownWithItsWarning) {
    TLumoraFrm& w = Open("Tiny,Medium");
    const QString path = w.CurrentRoll()->Items(1)->FullPath();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    ASSERT_TRUE(Platform::WriteFileAtomically(path, whole.left(whole.size() * 2 / 3)));
    const int before = Page->Deliveries;
    w.NextButtonClick();
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(ViewSize(), QSize(768, 512));
    QLabel& line = *w.Form.WarningLabel;
    EXPECT_TRUE(line.isVisible());
    EXPECT_TRUE(line.text().contains("Premature end")) << line.text().toStdString();
    EXPECT_EQ(line.toolTip(), Page->Warning());
    // A warning longer than the bar is cut to it, whole in the tooltip, and
    // cut again when the window narrows.
    const QString longWarning = Page->Warning() + QString(" and then some more").repeated(40);
    Page->SetWarning(longWarning);
    for (const int width : {1200, 800}) {
        w.resize(width, 800);
        EXPECT_LE(line.fontMetrics().horizontalAdvance(line.text()), line.width()) << width;
        EXPECT_TRUE(line.text().endsWith(QChar(0x2026))) << width;
        EXPECT_EQ(line.toolTip(), longWarning);
    }
    Page->SetWarning(QString());
    EXPECT_FALSE(line.isVisible());
}

TEST_F(FullViewTest, APictureArrivingAfterTheUserLeftTheFullViewIsNotShown) {
    TLumoraFrm& w = Open("Tiny,Medium,ExLarge", 4);
    const QString title = w.windowTitle();
    ASSERT_TRUE(title.contains(" - "));
    const int before = Page->Deliveries;
    w.NextButtonClick();
    w.ThumbnailsButtonClick();   // before the next photo arrives
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(w.Page(), TViewPage::Thumbs);
    EXPECT_EQ(w.windowTitle(), ApplicationTitle());
    EXPECT_FALSE(w.Form.ProgressPanel->isVisible());
}

// A close while the window waits for the full view's load (as printing the
// shown photo does) comes once the wait is over, never under it.
TEST_F(FullViewTest, ACloseDuringTheWaitForTheLoadComesAfterIt) {
    TLumoraFrm& w = Open("Tiny,Medium,ExLarge", 4);
    w.NextButtonClick();
    bool closedDuringWait = false;
    QTimer::singleShot(0, &w, [&] {
        w.close();
        closedDuringWait = !w.isVisible();
    });
    EXPECT_FALSE(w.WaitForFullView());
    EXPECT_FALSE(closedDuringWait);
    EXPECT_NE(Page->Loader(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
    EXPECT_EQ(Page->Loader(), nullptr);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
}

TEST_F(FullViewTest, KeysStepZoomAndGoBack) {
    TLumoraFrm& w = Open("Tiny,Medium");
    QWidget* panel = w.Form.FullViewPanel;
    int before = Page->Deliveries;
    QTest::keyClick(panel, Qt::Key_End);
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(w.FullViewPage().CurrentIndex(), 3);
    before = Page->Deliveries;
    QTest::keyClick(panel, Qt::Key_PageUp);
    ASSERT_TRUE(WaitFor([&] { return Page->Deliveries > before; }));
    EXPECT_EQ(w.FullViewPage().CurrentIndex(), 2);
    const QSize fitted = ViewSize();
    QTest::keyClick(panel, Qt::Key_Plus);
    EXPECT_EQ(ViewSize(), fitted * 2);
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_EQ(w.Page(), TViewPage::Thumbs);
}
