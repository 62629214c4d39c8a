// The default skin of this build, read through the skin access and shown by
// the widgets that use it: every resource of the table in every state, and
// the real main window's pages. The sheet goes to
// <build>/screenshots/skin-sheet.png for people to judge.
#include "imaging/animatedimage.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "support/screenshots.h"
#include "viewer/filmcans.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/fullviewpage.h"
#include "viewer/windowfixture.h"
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <gtest/gtest.h>
#include <functional>

namespace {

const QColor HeaderBlue(0, 51, 153);

QString BuildFolder() {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_BUILD_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/..")
                               : qEnvironmentVariable("LUMORA_BUILD_DIR");
    return QDir::cleanPath(folder) + '/';
}

struct TAnimatedRow {
    const char* Animated;
    const char* Inactive;
    const char* Disabled;  // empty when the button has none
    const char* What;
};

const TAnimatedRow AnimatedRows[] = {
    {"0031", "0011", "", "new roll"},       {"0032", "0012", "", "print"},
    {"0033", "0013", "", "slideshow"},      {"0034", "0014", "", "install"},
    {"0036", "0016", "", "upload"},         {"0080", "0070", "", "back to thumbnails"},
    {"0081", "0071", "0061", "previous"},   {"0082", "0072", "0062", "next"},
    {"0083", "0073", "0063", "zoom in"},    {"0084", "0074", "0064", "zoom out"},
    {"0085", "0075", "0065", "rotate left"}, {"0086", "0076", "0066", "rotate right"},
};

double MeanLight(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) sum += qGray(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

// Share of pixels that differ visibly between two pictures of one size.
double Difference(const QImage& a, const QImage& b) {
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 24) ++differ;
        }
    return double(differ) / (a.width() * a.height());
}

QImage Grab(QWidget& w) { return w.grab().toImage(); }

class SkinSheet : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        UseBuildSkin();
    }
    void UseBuildSkin() {
        CloseSkin();
        AppState().AppDir = BuildFolder();
        ASSERT_FALSE(SkinFileName(XLumResGroup).isEmpty()) << "no skin files in " << BuildFolder().toStdString();
        ASSERT_FALSE(SkinFileName(CustomGroup).isEmpty());
    }
    // The real main window on a disc of six rolls, in the states a person
    // sees: the roll page with the second roll under the mouse, the
    // thumbnails page with the slideshow button under it, the full view
    // with next under it and previous disabled.
    QList<QImage> MainWindowPages() {
        TLumoraFrm& w = Start(MakeDisc(6, {}, "Tiny,Medium", 12), {}, QSize(760, 600));
        QList<QImage> pages;
        TIconContainer& rolls = *w.Form.RollContainer;
        QTest::mouseMove(rolls.viewport(), rolls.IconRect(1).center());
        pages << Grab(w);
        // The second roll: make-disc gives the first one its Tiny photos only.
        w.SelectRoll(w.RollList.Items(1));
        EXPECT_TRUE(WaitFor([&] { return !w.CurrentRoll()->Loader; }));
        QTest::mouseMove(w.Form.ThumbViewSlideshowButton, QPoint(40, 40));
        w.Form.ThumbViewSlideshowButton->SetGlyphNum(4);
        pages << Grab(w);
        const int before = w.FullViewPage().Deliveries;
        w.ThumbContainerIconClick(0);
        EXPECT_TRUE(WaitFor([&] { return w.FullViewPage().Deliveries > before && !w.FullViewPage().Loading(); }));
        QTest::mouseMove(w.Form.NextButton, QPoint(20, 20));
        w.Form.NextButton->SetGlyphNum(3);
        pages << Grab(w);
        Window.reset();
        ResetAppState();
        UseBuildSkin();
        return pages;
    }
};

// The device pixel ratio the tests run at (2 in the run with QT_SCALE_FACTOR=2).
qreal Ratio() { return qApp->devicePixelRatio(); }

// A skin picture as this screen shows it: its twin of twice the size on a
// screen of a ratio above 1.
QImage Shown(const TSkinPicture& picture) {
    if (Ratio() <= 1.0 || picture.Sharp.isNull()) return picture.Image;
    QImage sharp = picture.Sharp;
    sharp.setDevicePixelRatio(2);
    return sharp;
}

// Paints labelled pictures left to right, wrapping into rows, at the
// screen's device pixel ratio.
class TSheet {
public:
    explicit TSheet(int width) : FWidth(width), FImage(QSize(width, 5600) * Ratio(), QImage::Format_RGB32) {
        FImage.setDevicePixelRatio(Ratio());
        FImage.fill(QColor(28, 30, 36));
        FPainter.begin(&FImage);
        FPainter.setRenderHint(QPainter::Antialiasing);
        FPainter.setRenderHint(QPainter::TextAntialiasing);
    }
    void Title(const QString& text) {
        NewLine();
        FY += 14;
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(17);
        font.setBold(true);
        FPainter.setFont(font);
        FPainter.setPen(QColor(230, 236, 246));
        FPainter.drawText(QPointF(24, FY + 18), text);
        FPainter.setPen(QColor(70, 76, 90));
        FPainter.drawLine(24, FY + 26, FWidth - 24, FY + 26);
        FY += 38;
    }
    void Put(const QImage& picture, const QString& label, int gap = 14) {
        const QSize size = picture.deviceIndependentSize().toSize();
        if (FX + size.width() > FWidth - 24) NewLine();
        FPainter.drawImage(QRect(QPoint(FX, FY), size), picture);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(10);
        FPainter.setFont(font);
        FPainter.setPen(QColor(150, 158, 176));
        const QRect box(FX - gap / 2, FY + size.height() + 3, size.width() + gap, 14);
        FPainter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, label);
        FX += size.width() + gap;
        FRow = std::max(FRow, size.height() + 20);
    }
    void NewLine() {
        if (FX > 24) FY += FRow + 10;
        FX = 24;
        FRow = 0;
    }
    QImage Finish() {
        NewLine();
        FPainter.end();
        QImage sheet = FImage.copy(QRect(QPoint(0, 0), QSize(FWidth, FY + 16) * Ratio()));
        sheet.setDevicePixelRatio(1);
        return sheet;
    }

private:
    int FWidth;
    QImage FImage;
    QPainter FPainter;
    int FX = 24, FY = 10, FRow = 0;
};

void Fill(QWidget* w, QColor color) {
    w->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, color);
    w->setPalette(palette);
}

} // namespace

TEST_F(SkinSheet, EveryResourceLoadsAndEveryStateLooksItsOwn) {
    TSheet sheet(1600);

    sheet.Title(QStringLiteral("The main window with this skin: roll page, thumbnails page (slideshow under the mouse), "
                               "full view (next under the mouse, previous disabled)"));
    const QList<QImage> pages = MainWindowPages();
    ASSERT_EQ(pages.size(), 3);
    sheet.Put(pages[0], QStringLiteral("roll page (second roll under the mouse)"));
    sheet.Put(pages[1], QStringLiteral("thumbnails page"));
    sheet.Put(pages[2], QStringLiteral("full view"));

    sheet.Title(QStringLiteral("Toolbar buttons (XLumRes): at rest, the hover animation frame by frame, disabled"));
    for (const TAnimatedRow& row : AnimatedRows) {
        THvAnimatedImage button;
        SkinAnimatedButton(button, row.Animated, row.Inactive, row.Disabled);
        ASSERT_FALSE(button.Glyph().isNull()) << row.Animated;
        ASSERT_FALSE(button.InactiveGlyph().isNull()) << row.Inactive;
        const int frames = button.NumGlyphs();
        EXPECT_GE(frames, 5) << row.What;
        EXPECT_LE(frames, 10) << row.What;
        EXPECT_EQ(button.FrameWidth(), button.FrameHeight()) << row.What;
        EXPECT_EQ(button.InactiveGlyph().size(), button.size()) << row.What;

        const QImage rest = Grab(button);
        sheet.Put(rest, QString::fromLatin1(row.Inactive) + (button.width() > 60 ? QStringLiteral(" at rest") : QString()));
        button.SetActive(true);
        QList<QImage> hover;
        for (int k = 0; k < frames; ++k) {
            button.SetGlyphNum(k);
            hover << Grab(button);
            sheet.Put(hover.last(), k == 0 ? QString::fromLatin1(row.Animated) : QStringLiteral("#%1").arg(k), 6);
        }
        // Hovering shows at once (frame 0 already lit), and the light moves.
        EXPECT_GT(Difference(rest, hover.first()), 0.05) << row.What;
        EXPECT_GT(MeanLight(hover.first()), MeanLight(rest)) << row.What;
        EXPECT_GT(Difference(hover.first(), hover[frames / 2]), 0.02) << row.What;
        if (*row.Disabled) {
            ASSERT_FALSE(button.DisabledGlyph().isNull()) << row.Disabled;
            button.SetEnabled(false);
            const QImage disabled = Grab(button);
            EXPECT_LT(MeanLight(disabled), MeanLight(rest)) << row.What;
            sheet.Put(disabled, QString::fromLatin1(row.Disabled));
        }
        sheet.NewLine();
    }

    sheet.Title(QStringLiteral("Roll page pictures (XLumRes 0001-0006): shown until a roll is chosen"));
    for (const char* name : {"0001", "0002", "0003", "0004", "0006"}) {
        const TSkinPicture still = GetSkinPicture(XLumResGroup, name);
        ASSERT_EQ(still.Image.size(), QSize(90, 90)) << name;
        sheet.Put(Shown(still), QString::fromLatin1(name));
    }

    sheet.Title(QStringLiteral("Headers and the main-menu button (THalvornBmpButton): up, pressed or highlighted"));
    for (const auto& pair : {std::pair{"0041", "0051"}, std::pair{"0042", "0052"}, std::pair{"0043", "0053"}}) {
        THalvornBmpButton header;
        header.SetColor(Qt::black);
        const TSkinPicture up = GetSkinPicture(XLumResGroup, pair.first), lit = GetSkinPicture(XLumResGroup, pair.second);
        header.SetPictureUp(up.Image, up.Sharp);
        header.SetPictureDown(lit.Image, lit.Sharp);
        ASSERT_FALSE(header.PictureUp().isNull()) << pair.first;
        ASSERT_EQ(header.PictureDown().size(), header.PictureUp().size()) << pair.second;
        const QImage upShot = Grab(header);
        header.SetDown(true);
        const QImage downShot = Grab(header);
        EXPECT_GT(Difference(upShot, downShot), 0.1) << pair.first;
        sheet.Put(upShot, QString::fromLatin1(pair.first));
        sheet.Put(downShot, QString::fromLatin1(pair.second));
    }
    {
        THalvornBmpButton menu;
        menu.SetColor(Qt::black);
        const TSkinPicture up = GetSkinPicture(XLumResGroup, "0096"), lit = GetSkinPicture(XLumResGroup, "0097");
        menu.SetPictureUp(up.Image, up.Sharp);
        menu.SetPictureDown(lit.Image, lit.Sharp);
        menu.SetPictureHighlight(lit.Image, lit.Sharp);
        ASSERT_EQ(menu.size().height(), 21) << "fits the exit bar";
        sheet.Put(Grab(menu), QStringLiteral("0096"));
        menu.SetDown(true);
        sheet.Put(Grab(menu), QStringLiteral("0097"));
    }

    sheet.Title(QStringLiteral("Brand logo (Custom 0091, TAnimatedImage): played every 10 to 22 seconds"));
    {
        // On the header's blue, which shows where the logo's own blue is keyed out.
        QWidget band;
        Fill(&band, HeaderBlue);
        TAnimatedImage logo(&band);
        const TSkinPicture strip = GetAnimatedSkinPicture(CustomGroup, "0091");
        const int frames = strip.Frames;
        logo.SetGlyph(strip.Image, strip.Sharp);
        logo.SetNumGlyphs(frames);
        band.resize(logo.size());
        ASSERT_GE(frames, 11) << "the window plays 11 frame changes";
        const QImage first = Grab(band);
        for (int k = 0; k < frames; ++k) {
            logo.SetGlyphNum(k);
            sheet.Put(Grab(band), QStringLiteral("#%1").arg(k), 6);
        }
        logo.SetGlyphNum(frames - 1);
        EXPECT_LT(Difference(first, Grab(band)), 0.01) << "it comes to rest on a frame like the first";
    }

    sheet.Title(QStringLiteral("Header pictures, splash, install window and upload wizard (Custom 0094-0099, XLumRes 0100-0101)"));
    const struct {
        const char* Group;
        const char* Name;
        QSize Size;
        const char* What;
    } stills[] = {
        {"Custom", "0094", {133, 96}, "0094 toolbar left"},  {"Custom", "0095", {300, 96}, "0095 product logo"},
        {"Custom", "0098", {480, 300}, "0098 splash"},        {"Custom", "0099", {466, 80}, "0099 install window"},
        {"XLumRes", "0100", {130, 414}, "0100 e-mail wizard"}, {"XLumRes", "0101", {130, 414}, "0101 upload wizard"},
    };
    for (const auto& s : stills) {
        const TSkinPicture picture = GetSkinPicture(QString::fromLatin1(s.Group), s.Name);
        ASSERT_EQ(picture.Image.size(), s.Size) << s.Name;
        sheet.Put(Shown(picture), QString::fromLatin1(s.What), 24);
    }

    sheet.Title(QStringLiteral("Film cans of the roll page (program resources, 83 x 87): at rest and under the mouse"));
    for (const bool lit : {false, true}) {
        const QImage can = lit ? FilmCanImageHilight() : FilmcanImage();
        ASSERT_EQ(can.size(), QSize(83, 87));
        const TSkinPicture twins{can, lit ? FilmCanImageHilight2x() : FilmcanImage2x(), 1};
        ASSERT_EQ(twins.Sharp.size(), QSize(166, 174));
        sheet.Put(can.scaled(166, 174), lit ? QStringLiteral("FilmCanImageHilight (x2)") : QStringLiteral("FilmcanImage (x2)"));
        sheet.Put(Shown(twins), lit ? QStringLiteral("FilmCanImageHilight") : QStringLiteral("FilmcanImage"));
    }

    const QString folder = BuildFolder() + QStringLiteral("screenshots/");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(sheet.Finish().save(folder + QStringLiteral("skin-sheet") + DensitySuffix(Ratio()) + ".png"));
}
