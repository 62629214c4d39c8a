// The default skin of this build, read through the skin access and shown by
// the widgets that use it: every resource of the table in every state, and a
// mock-up of the main window's header and toolbars. The sheet goes to
// <build>/screenshots/skin-sheet.png for people to judge.
#include "imaging/animatedimage.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "viewer/filmcans.h"
#include "viewer/halvornbmpbutton.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainterPath>
#include <QPainter>
#include <gtest/gtest.h>
#include <functional>

namespace {

const QColor HeaderBlue(0, 51, 153);
const QColor SectionBlue(0, 153, 255);

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

class SkinSheet : public ::testing::Test {
protected:
    void SetUp() override {
        CloseSkin();
        AppState().AppDir = BuildFolder();
        ASSERT_FALSE(SkinFileName(XLumResGroup).isEmpty()) << "no skin files in " << BuildFolder().toStdString();
        ASSERT_FALSE(SkinFileName(CustomGroup).isEmpty());
    }
    void TearDown() override {
        CloseSkin();
        ResetAppState();
    }
};

// Paints labelled pictures left to right, wrapping into rows.
class TSheet {
public:
    explicit TSheet(int width) : FWidth(width), FImage(width, 5200, QImage::Format_RGB32) {
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
        if (FX + picture.width() > FWidth - 24) NewLine();
        FPainter.drawImage(FX, FY, picture);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(10);
        FPainter.setFont(font);
        FPainter.setPen(QColor(150, 158, 176));
        const QRect box(FX - gap / 2, FY + picture.height() + 3, picture.width() + gap, 14);
        FPainter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, label);
        FX += picture.width() + gap;
        FRow = std::max(FRow, picture.height() + 20);
    }
    void NewLine() {
        if (FX > 24) FY += FRow + 10;
        FX = 24;
        FRow = 0;
    }
    QImage Finish() {
        NewLine();
        FPainter.end();
        return FImage.copy(0, 0, FWidth, FY + 16);
    }

private:
    int FWidth;
    QImage FImage;
    QPainter FPainter;
    int FX = 24, FY = 10, FRow = 0;
};

QImage Grab(QWidget& w) { return w.grab().toImage(); }

// A drawn photo (sky, sun, hills) standing in for a roll's picture.
QImage Photo(QSize size, int seed) {
    static const QColor skies[][2] = {{QColor(40, 120, 210), QColor(170, 215, 250)},
                                      {QColor(230, 120, 60), QColor(250, 205, 130)},
                                      {QColor(20, 60, 140), QColor(110, 160, 230)},
                                      {QColor(90, 150, 200), QColor(210, 235, 245)},
                                      {QColor(120, 80, 160), QColor(240, 170, 150)}};
    static const QColor lands[] = {QColor(40, 110, 60), QColor(110, 70, 50), QColor(30, 70, 90),
                                   QColor(70, 120, 70), QColor(60, 50, 90)};
    const int i = seed % 5;
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, skies[i][0]);
    sky.setColorAt(1, skies[i][1]);
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 245, 205));
    p.drawEllipse(QPointF(size.width() * (0.2 + 0.12 * (seed % 5)), size.height() * 0.3), size.height() * 0.09,
                  size.height() * 0.09);
    QPainterPath hills;
    hills.moveTo(0, size.height());
    hills.lineTo(0, size.height() * (0.62 + 0.05 * (seed % 3)));
    hills.cubicTo(size.width() * 0.35, size.height() * 0.45, size.width() * 0.6, size.height() * 0.85, size.width(),
                  size.height() * (0.55 + 0.04 * (seed % 4)));
    hills.lineTo(size.width(), size.height());
    p.setBrush(lands[i]);
    p.drawPath(hills);
    return image;
}

QLabel* Text(QWidget* parent, const QString& text, QRect geometry, int pixels, QColor color, bool bold,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette;
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAlignment(align);
    label->setGeometry(geometry);
    return label;
}

void Fill(QWidget* w, QColor color) {
    w->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, color);
    w->setPalette(palette);
}

enum class TMockPage { Rolls, Thumbnails, FullView };

// The main window built from the skin the way the window uses it: header
// band with logos and the section bar, the command column, the page, the
// exit bar. Sizes as designed, in a window of 700 x 560.
QImage MainWindowMockup(TMockPage page) {
    const int W = 700, H = 560;
    QWidget window;
    window.resize(W, H);
    Fill(&window, Qt::black);

    auto* header = new QWidget(&window);
    header->setGeometry(0, 0, W, 122);
    Fill(header, HeaderBlue);
    auto* left = new THalvornBmpButton(header);
    left->SetPictureUp(GetSkinImage(CustomGroup, "0094"));
    auto* product = new THalvornBmpButton(header);
    product->SetPictureUp(GetSkinImage(CustomGroup, "0095"));
    product->move(133, 0);
    auto* logo = new TAnimatedImage(header);
    int frames = 0;
    logo->SetGlyph(GetAnimatedSkinImage(CustomGroup, "0091", frames));
    logo->SetNumGlyphs(frames);
    logo->move(W - logo->width() - 4, 0);
    auto* section = new QWidget(header);
    section->setGeometry(133, 96, W - 133, 26);
    Fill(section, SectionBlue);
    const QString captions[] = {QStringLiteral("Roll Selection"), QStringLiteral("Summer 2004"), QStringLiteral("Photo View")};
    Text(section, captions[int(page)], QRect(14, 0, 300, 26), 15, Qt::white, true);
    if (page == TMockPage::FullView)
        Text(section, QStringLiteral("Image 3 of 12"), QRect(W - 133 - 160, 0, 146, 26), 13, Qt::white, true,
             Qt::AlignRight | Qt::AlignVCenter);

    // The command column: 94-pixel toolbar centred in 133.
    const int x = (133 - 90) / 2;
    int y = 134;
    const auto addButton = [&](const char* a, const char* i, const char* d, int bx, int by) {
        auto* b = new THvAnimatedImage(&window);
        SkinAnimatedButton(*b, a, i, d);
        b->move(bx, by);
        return b;
    };
    const int pageLeft = 133, pageTop = 122, pageWidth = W - 133, pageHeight = H - 122 - 21;
    if (page == TMockPage::Rolls) {
        for (const char* name : {"0001", "0002", "0003", "0004", "0006"}) {
            auto* still = new THalvornBmpButton(&window);
            still->SetPictureUp(GetSkinImage(XLumResGroup, name));
            still->move(x, y);
            y += 78;
        }
        Text(&window, QStringLiteral("Click on a roll to view your images"), QRect(pageLeft, pageTop + 10, pageWidth, 22), 14,
             SectionBlue, true, Qt::AlignCenter);
        const char* names[] = {"Summer 2004", "Wedding", "Norway", "Garden Party", "Lisbon", "Snow"};
        for (int i = 0; i < 6; ++i) {
            const int cx = pageLeft + 22 + (i % 3) * 180, cy = pageTop + 50 + (i / 3) * 170;
            auto* can = new THalvornBmpButton(&window);
            can->SetPictureUp(i == 1 ? FilmCanImageHilight() : FilmcanImage());
            can->move(cx + (170 - 83) / 2, cy);
            Text(&window, QString::fromLatin1(names[i]), QRect(cx + 15, cy + 97, 140, 40), 13, SectionBlue, false,
                 Qt::AlignHCenter | Qt::AlignTop);
        }
    } else if (page == TMockPage::Thumbnails) {
        std::vector<THvAnimatedImage*> buttons;
        for (const char* a : {"0031", "0032", "0033", "0034", "0036"}) {
            const QString inactive = QStringLiteral("00%1").arg(QString::fromLatin1(a).mid(2).toInt() - 20);
            buttons.push_back(addButton(a, inactive.toLatin1().constData(), "", x, y));
            y += 78;
        }
        buttons[2]->SetActive(true);
        buttons[2]->SetGlyphNum(4);
        Text(&window, QStringLiteral("Click on a thumbnail to view a photo."), QRect(pageLeft, pageTop + 10, pageWidth, 22), 14,
             SectionBlue, true, Qt::AlignCenter);
        auto* grid = new QWidget(&window);
        grid->setGeometry(pageLeft + (pageWidth - 7 * 72) / 2, pageTop + 44, 7 * 72, 5 * 72);
        QImage sheet(grid->size(), QImage::Format_RGB32);
        sheet.fill(Qt::black);
        QPainter p(&sheet);
        for (int i = 0; i < 33; ++i) {
            const QRect r((i % 7) * 72, (i / 7) * 72, 72, 72);
            if (i == 9) p.fillRect(r.adjusted(1, 1, -1, -1), QColor(255, 255, 0));
            p.drawImage(r.adjusted(3, 3, -3, -3), Photo(QSize(66, 66), i));
        }
        p.end();
        auto* thumbs = new QLabel(grid);
        thumbs->setPixmap(QPixmap::fromImage(sheet));
        thumbs->resize(grid->size());
    } else {
        addButton("0080", "0070", "", x, y);
        addButton("0032", "0012", "", x, y + 80);
        y += 168;
        const char* headers[][2] = {{"0041", "0051"}, {"0042", "0052"}, {"0043", "0053"}};
        const char* pairs[][2][3] = {{{"0081", "0071", "0061"}, {"0082", "0072", "0062"}},
                                     {{"0083", "0073", "0063"}, {"0084", "0074", "0064"}},
                                     {{"0085", "0075", "0065"}, {"0086", "0076", "0066"}}};
        for (int h = 0; h < 3; ++h) {
            auto* head = new THalvornBmpButton(&window);
            head->SetPictureUp(GetSkinImage(XLumResGroup, headers[h][0]));
            head->SetPictureDown(GetSkinImage(XLumResGroup, headers[h][1]));
            head->SetColor(Qt::black);
            head->move(x, y);
            auto* first = addButton(pairs[h][0][0], pairs[h][0][1], pairs[h][0][2], x + 1, y + 21);
            auto* second = addButton(pairs[h][1][0], pairs[h][1][1], pairs[h][1][2], x + 45, y + 21);
            if (h == 0) {
                head->SetDown(true);  // the header of the button under the mouse
                second->SetActive(true);
                second->SetGlyphNum(3);
                first->SetEnabled(false);
            }
            y += 72;
        }
        // The photo fitted into the panel, the filmstrip on the right.
        const int strip = 101;
        auto* photo = new QLabel(&window);
        const QSize panel(pageWidth - strip - 20, pageHeight - 44);
        const QSize shown = QSize(3, 2).scaled(panel, Qt::KeepAspectRatio);
        photo->setPixmap(QPixmap::fromImage(Photo(shown, 2)));
        photo->setGeometry(pageLeft + 10 + (panel.width() - shown.width()) / 2, pageTop + 10 + (panel.height() - shown.height()) / 2,
                           shown.width(), shown.height());
        auto* bottom = new QWidget(&window);
        bottom->setGeometry(pageLeft, H - 21 - 30, pageWidth - strip, 30);
        Text(bottom, QStringLiteral("Loading Image 3"), QRect(0, 0, bottom->width(), 30), 12, QColor(150, 176, 220), false,
             Qt::AlignCenter);
        auto* film = new QWidget(&window);
        film->setGeometry(W - strip, pageTop, strip, pageHeight);
        QImage filmSheet(film->size(), QImage::Format_RGB32);
        filmSheet.fill(Qt::black);
        QPainter p(&filmSheet);
        for (int i = 0; i < 5; ++i) {
            const QRect r(15, 6 + i * 86, 80, 80);
            if (i == 2) p.fillRect(r, QColor(0, 0, 128));
            p.drawImage(r.adjusted(6, 6, -6, -6), Photo(QSize(68, 68), i));
        }
        p.end();
        auto* strips = new QLabel(film);
        strips->setPixmap(QPixmap::fromImage(filmSheet));
        strips->resize(film->size());
    }
    auto* exitBar = new QWidget(&window);
    exitBar->setGeometry(0, H - 21, W, 21);
    Fill(exitBar, Qt::black);
    auto* menu = new THalvornBmpButton(exitBar);
    menu->SetPictureUp(GetSkinImage(XLumResGroup, "0096"));
    menu->SetPictureHighlight(GetSkinImage(XLumResGroup, "0097"));
    menu->SetColor(Qt::black);
    menu->move(8, 0);
    Text(exitBar, QStringLiteral("Quit Program"), QRect(W - 140, 0, 128, 21), 12, QColor(150, 176, 220), true,
         Qt::AlignRight | Qt::AlignVCenter);
    return Grab(window);
}

} // namespace

TEST_F(SkinSheet, EveryResourceLoadsAndEveryStateLooksItsOwn) {
    TSheet sheet(1480);

    sheet.Title(QStringLiteral("The main window built from the skin: roll page, thumbnails page (slideshow under the mouse), "
                               "full view (next under the mouse, previous disabled)"));
    sheet.Put(MainWindowMockup(TMockPage::Rolls), QStringLiteral("roll page (second roll under the mouse)"));
    sheet.Put(MainWindowMockup(TMockPage::Thumbnails), QStringLiteral("thumbnails page"));
    sheet.Put(MainWindowMockup(TMockPage::FullView), QStringLiteral("full view"));

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
        const QImage still = GetSkinImage(XLumResGroup, name);
        ASSERT_EQ(still.size(), QSize(90, 90)) << name;
        sheet.Put(still, QString::fromLatin1(name));
    }

    sheet.Title(QStringLiteral("Headers and the main-menu button (THalvornBmpButton): up, pressed or highlighted"));
    for (const auto& pair : {std::pair{"0041", "0051"}, std::pair{"0042", "0052"}, std::pair{"0043", "0053"}}) {
        THalvornBmpButton header;
        header.SetColor(Qt::black);
        header.SetPictureUp(GetSkinImage(XLumResGroup, pair.first));
        header.SetPictureDown(GetSkinImage(XLumResGroup, pair.second));
        ASSERT_FALSE(header.PictureUp().isNull()) << pair.first;
        ASSERT_EQ(header.PictureDown().size(), header.PictureUp().size()) << pair.second;
        const QImage up = Grab(header);
        header.SetDown(true);
        const QImage down = Grab(header);
        EXPECT_GT(Difference(up, down), 0.1) << pair.first;
        sheet.Put(up, QString::fromLatin1(pair.first));
        sheet.Put(down, QString::fromLatin1(pair.second));
    }
    {
        THalvornBmpButton menu;
        menu.SetColor(Qt::black);
        menu.SetPictureUp(GetSkinImage(XLumResGroup, "0096"));
        menu.SetPictureDown(GetSkinImage(XLumResGroup, "0097"));
        menu.SetPictureHighlight(GetSkinImage(XLumResGroup, "0097"));
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
        int frames = 0;
        logo.SetGlyph(GetAnimatedSkinImage(CustomGroup, "0091", frames));
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
        const QImage picture = GetSkinImage(QString::fromLatin1(s.Group), s.Name);
        ASSERT_EQ(picture.size(), s.Size) << s.Name;
        sheet.Put(picture, QString::fromLatin1(s.What), 24);
    }

    sheet.Title(QStringLiteral("Film cans of the roll page (program resources, 83 x 87): at rest and under the mouse"));
    for (const bool lit : {false, true}) {
        const QImage can = lit ? FilmCanImageHilight() : FilmcanImage();
        ASSERT_EQ(can.size(), QSize(83, 87));
        sheet.Put(can.scaled(166, 174), lit ? QStringLiteral("FilmCanImageHilight (x2)") : QStringLiteral("FilmcanImage (x2)"));
        sheet.Put(can, lit ? QStringLiteral("FilmCanImageHilight") : QStringLiteral("FilmcanImage"));
    }

    const QString folder = BuildFolder() + QStringLiteral("screenshots/");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(sheet.Finish().save(folder + QStringLiteral("skin-sheet.png")));
}
