#include "imaging/smoothfontcache.h"
#include "imaging/smoothlabel3d.h"

#include <QDir>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Bounding box of the pixels of Image that differ from Background.
QRect InkBox(const QImage& image, QColor background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

int CountColour(const QImage& image, QRect area, QColor colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

std::unique_ptr<TSmoothLabel3D> Label(const QString& caption, QSize size, int pointSize = 14) {
    auto label = std::make_unique<TSmoothLabel3D>();
    QFont f = label->font();
    f.setPointSize(pointSize);
    f.setBold(true);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::black);
    label->setPalette(p);
    label->SetCaption(caption);
    label->resize(size);
    return label;
}

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

class SmoothLabel3DTest : public ::testing::Test {
protected:
    SmoothLabel3DTest() { ResetSmoothFontCache(); }
    ~SmoothLabel3DTest() override { ResetSmoothFontCache(); }
};

} // namespace

TEST(SmoothLabel3DText, AcceleratorMarkers) {
    const struct { const char* caption; bool show; const char* text; int index; } cases[] = {
        {"&Quit", true, "Quit", 0},
        {"Save &as", true, "Save as", 5},
        {"Fish && Chips", true, "Fish & Chips", -1},
        {"A&&B &C &D", true, "A&B C D", 4},
        {"Trailing&", true, "Trailing", -1},
        {"&Quit", false, "&Quit", -1},
        {"", true, "", -1},
    };
    for (const auto& c : cases) {
        const TAcceleratedText t = StripAccelerator(c.caption, c.show);
        EXPECT_EQ(t.Text, QString(c.text)) << c.caption;
        EXPECT_EQ(t.AcceleratorIndex, c.index) << c.caption;
    }
}

TEST(SmoothLabel3DText, LineBreaking) {
    // Ten pixels a character, blanks included.
    const auto measure = [](const QString& s) { return int(s.size()) * 10; };
    const struct { const char* text; bool wrap; int width; QStringList lines; } cases[] = {
        {"one line", false, 20, {"one line"}},
        {"a\nb\r\nc\rd", false, 100, {"a", "b", "c", "d"}},
        {"ends in a break\n", false, 1000, {"ends in a break", ""}},
        {"", true, 50, {""}},
        {"the quick brown fox", true, 100, {"the quick", "brown fox"}},
        {"the quick brown fox", true, 90, {"the quick", "brown fox"}},
        {"the quick brown fox", true, 80, {"the", "quick", "brown", "fox"}},
        {"extraordinarily long", true, 50, {"extraordinarily", "long"}},
        {"a   b", true, 20, {"a", "b"}},
        {"first para\nsecond one here", true, 100, {"first para", "second one", "here"}},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        QStringList got;
        for (const TCaptionLine& line : BreakCaptionLines(text, c.wrap, c.width, measure))
            got << text.mid(line.Start, line.Length);
        EXPECT_EQ(got, c.lines) << c.text << " at " << c.width;
    }
}

TEST_F(SmoothLabel3DTest, DefaultsAndPublishedProperties) {
    TSmoothLabel3D label;
    EXPECT_EQ(label.font().family(), QString("Arial"));
    EXPECT_EQ(label.Alignment(), TSmoothLabel3D::taLeftJustify);
    EXPECT_EQ(label.Layout(), TSmoothLabel3D::tlTop);
    EXPECT_TRUE(label.setProperty("Caption", "&Hello"));
    EXPECT_TRUE(label.setProperty("Alignment", "taCenter"));
    EXPECT_TRUE(label.setProperty("WordWrap", true));
    EXPECT_EQ(label.Caption(), QString("&Hello"));
    EXPECT_EQ(label.Alignment(), TSmoothLabel3D::taCenter);
    EXPECT_TRUE(label.WordWrap());

    TFont3D other;
    other.SetFrontColor(Qt::red);
    label.SetFont3D(&other);
    EXPECT_NE(label.Font3D(), &other);
    EXPECT_EQ(label.Font3D()->FrontColor(), QColor(Qt::red));
}

TEST_F(SmoothLabel3DTest, AlignmentAndLayoutPlaceTheLettering) {
    auto label = Label("Roll", QSize(300, 80));
    const QSize text = label->TextSize();
    const struct {
        TSmoothLabel3D::TAlignment alignment;
        TSmoothLabel3D::TTextLayout layout;
        int left, top;
    } cases[] = {
        {TSmoothLabel3D::taLeftJustify, TSmoothLabel3D::tlTop, 0, 0},
        {TSmoothLabel3D::taRightJustify, TSmoothLabel3D::tlBottom, 300 - text.width(), 80 - text.height()},
        {TSmoothLabel3D::taCenter, TSmoothLabel3D::tlCenter, (300 - text.width()) / 2, (80 - text.height()) / 2},
    };
    for (const auto& c : cases) {
        label->SetAlignment(c.alignment);
        label->SetLayout(c.layout);
        const QRect ink = InkBox(Grab(*label), Qt::black);
        ASSERT_FALSE(ink.isEmpty());
        // The ink lies inside the text's cells, within the margin they keep.
        EXPECT_GE(ink.left(), c.left) << c.alignment;
        EXPECT_LE(ink.left(), c.left + 4) << c.alignment;
        EXPECT_GE(ink.top(), c.top) << c.layout;
        EXPECT_LE(ink.bottom(), c.top + text.height()) << c.layout;
        EXPECT_LE(ink.right(), c.left + text.width()) << c.alignment;
    }
}

TEST_F(SmoothLabel3DTest, WordWrapBreaksIntoLines) {
    auto label = Label("Click on a roll to view your images", QSize(160, 200));
    const int oneLine = Label("Click", QSize(160, 200))->TextSize().height();
    label->SetWordWrap(false);
    const QRect single = InkBox(Grab(*label), Qt::black);
    label->SetWordWrap(true);
    const QRect wrapped = InkBox(Grab(*label), Qt::black);
    EXPECT_LE(single.height(), oneLine);
    EXPECT_GT(wrapped.height(), 2 * oneLine);
    EXPECT_LE(wrapped.right(), 160);
}

TEST_F(SmoothLabel3DTest, ACaptionWithCharactersAbove255ShowsThem) {
    auto label = Label(QString::fromUtf8("\u03A1\u03BF\u03BB\u03BB \u20AC"), QSize(300, 50));   // "Ρολλ €"
    const QImage image = Grab(*label);
    const QRect ink = InkBox(image, Qt::black);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.width(), 60);
    // White faces in the first and the last character's place.
    EXPECT_GT(CountColour(image, QRect(0, 0, 16, 50), Qt::white), 10);
    EXPECT_GT(CountColour(image, QRect(ink.right() - 14, 0, 15, 50), Qt::white), 10);
}

TEST_F(SmoothLabel3DTest, Font3DChangesRepaintWithTheNewStyle) {
    auto label = Label("Quit", QSize(100, 40));
    EXPECT_GT(CountColour(Grab(*label), label->rect(), Qt::white), 20);
    label->Font3D()->SetFrontColor(QColor(255, 0, 0));
    const QImage red = Grab(*label);
    EXPECT_EQ(CountColour(red, label->rect(), Qt::white), 0);
    EXPECT_GT(CountColour(red, label->rect(), QColor(255, 0, 0)), 20);
}

TEST_F(SmoothLabel3DTest, TransparentLabelsKeepWhatLiesBehind) {
    QWidget parent;
    parent.resize(120, 40);
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x00, 0x33, 0x99));
    parent.setPalette(p);
    parent.setAutoFillBackground(true);
    auto* label = new TSmoothLabel3D(&parent);
    label->SetCaption("Hi");
    label->resize(120, 40);
    QPalette lp = label->palette();
    lp.setColor(QPalette::Window, Qt::black);
    label->setPalette(lp);
    EXPECT_EQ(Grab(parent).pixelColor(110, 35), QColor(Qt::black));
    label->SetTransparent(true);
    EXPECT_EQ(Grab(parent).pixelColor(110, 35), QColor(0x00, 0x33, 0x99));
}

TEST_F(SmoothLabel3DTest, AcceleratorIsUnderlined) {
    auto plain = Label("Quit", QSize(100, 40));
    auto marked = Label("&Quit", QSize(100, 40));
    const QImage a = Grab(*plain), b = Grab(*marked);
    const int h = plain->TextSize().height();
    // Below the baseline under the "Q": more face with the marker.
    const QRect under(0, h * 3 / 4, 16, h / 4);
    EXPECT_GT(CountColour(b, under, Qt::white), CountColour(a, under, Qt::white));
}

// The main window's captions as a person sees them, on black and on the
// header blue, at two sizes.
TEST_F(SmoothLabel3DTest, CaptionsScreenshot) {
    const QString folder = qEnvironmentVariable("LUMORA_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "LUMORA_SCREENSHOT_DIR not set";
    const char* const captions[] = {"Click on a roll to view your images", "Click on a thumbnail to view a photo.",
                                    "Quit Program", "Roll Selection    Thumbnails    Photo View"};
    QWidget sheet;
    sheet.resize(760, 2 * 4 * 34 + 2 * 4 * 22 + 20);
    QPalette black;
    black.setColor(QPalette::Window, Qt::black);
    sheet.setPalette(black);
    sheet.setAutoFillBackground(true);
    int y = 0;
    for (QColor background : {QColor(Qt::black), QColor(0x00, 0x33, 0x99)}) {
        auto* band = new QWidget(&sheet);
        QPalette p;
        p.setColor(QPalette::Window, background);
        band->setPalette(p);
        band->setAutoFillBackground(true);
        int inner = 6;
        for (int size : {12, 18}) {
            for (const char* caption : captions) {
                auto* label = new TSmoothLabel3D(band);
                QFont f = label->font();
                f.setPointSize(size);
                f.setBold(true);
                label->setFont(f);
                label->SetTransparent(true);
                label->SetCaption(caption);
                label->move(12, inner);
                label->resize(label->sizeHint().width() + 4, label->sizeHint().height());
                inner += label->height() + 2;
            }
        }
        band->setGeometry(0, y, sheet.width(), inner + 4);
        y += inner + 4;
    }
    sheet.resize(sheet.width(), y);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QImage shot = sheet.grab().toImage();
    ASSERT_TRUE(shot.save(folder + "/smoothlabel3d-captions.png"));
    EXPECT_FALSE(InkBox(shot.convertToFormat(QImage::Format_RGB32), Qt::black).isEmpty());
}
