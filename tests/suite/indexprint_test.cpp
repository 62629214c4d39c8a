// The index print library printing to PDF files: what it answers for the
// lists and options it gets, the sheets it lays out (read back with
// poppler's tools), its progress events, and a stop that leaves nothing.
#include "suite/indexprint/indexprint.h"
#include "support/fixtures.h"
#include "support/pdf.h"
#include "support/photos.h"
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr const char* Options = "Printer=;Labels=1;HalfTone=1;ProductType=IndexPrintFullPage;SavePaper=1;";

QImage Plain(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class IndexPrintTest : public ::testing::Test {
protected:
    void TearDown() override { SetPrintProgressCallback(nullptr, nullptr); }
    QString Photo(const QString& name, QColor colour = QColor(120, 140, 160), QSize size = QSize(300, 200)) {
        const QString path = Temp.Path() + name;
        EXPECT_TRUE(WriteTestJpeg(path, Plain(size, colour)));
        return path;
    }
    // A printer writing Pdf, A4 portrait at Dpi.
    std::unique_ptr<QPrinter> PdfPrinter(int dpi = 100) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(Pdf);
        printer->setResolution(dpi);
        printer->setPageSize(QPageSize(QPageSize::A4));
        return printer;
    }
    int Print(const QStringList& paths, const char* options = Options, const QString& templ = QString()) {
        const auto printer = PdfPrinter();
        return MakePrintFromList(paths.join('|').toUtf8().constData(), "Summer Index Print",
                                 templ.toUtf8().constData(), printer.get(), options);
    }
    TTempFolder Temp;
    QString Pdf = Temp.Path() + "index.pdf";
};

// Finds the box of the pixels of Colour in Image.
QRect BoxOf(const QImage& image, QColor colour, int tolerance = 40) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (ColorNear(image.pixelColor(x, y), colour, tolerance)) box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST_F(IndexPrintTest, ResultsForWhatItIsGiven) {
    const QString a = Photo("a.jpg"), b = Photo("b.jpg");
    const QString other = "Printer=;Labels=1;HalfTone=1;ProductType=Poster;SavePaper=1;";
    const struct {
        const char* What;
        QStringList Paths;
        QString Options;
        int Result;
        bool Written;
    } cases[] = {
        {"an empty list", {}, Options, IndexPrint::NoPictures, false},
        {"empty names only", {"", "", ""}, Options, IndexPrint::OnlyEmptyNames, false},
        {"one photo", {a}, Options, IndexPrint::Printed, true},
        {"empty names between", {"", a, "", b}, Options, IndexPrint::Printed, true},
        {"one photo missing", {a, Temp.Path() + "gone.jpg", b}, Options, IndexPrint::PictureFailed, true},
        {"another product", {a}, other, IndexPrint::NotSupported, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        QFile::remove(Pdf);
        EXPECT_EQ(Print(c.Paths, c.Options.toUtf8().constData()), c.Result);
        EXPECT_EQ(QFile::exists(Pdf), c.Written);
    }
    EXPECT_EQ(MakePrintFromList(a.toUtf8().constData(), "t", "", nullptr, Options), IndexPrint::NoPrinter);
    // The missing photo's cell is empty, but its name and the others' are printed.
    Print({a, Temp.Path() + "gone.jpg", b});
    const QString text = PdfText(Pdf);
    for (const char* name : {"a.jpg", "gone.jpg", "b.jpg", "Summer Index Print"}) EXPECT_TRUE(text.contains(name)) << name;
}

TEST_F(IndexPrintTest, SheetsHoldThirtySixOrTwentyPhotosWithTheirNames) {
    QStringList paths;
    for (int i = 1; i <= 36; ++i) paths << Photo(QString("Fähre %1.jpg").arg(i));
    const struct {
        const char* Options;
        int Pages;
        bool Labels;
    } cases[] = {
        {Options, 1, true},
        {"Printer=;Labels=1;HalfTone=1;ProductType=IndexPrintFullPage;SavePaper=0;", 2, true},
        {"Printer=;Labels=0;HalfTone=0;ProductType=IndexPrintFullPage;SavePaper=1;", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Options);
        ASSERT_EQ(Print(paths, c.Options), IndexPrint::Printed);
        EXPECT_EQ(PdfInfo(Pdf).Pages, c.Pages);
        const QString text = PdfText(Pdf);
        EXPECT_EQ(text.count("Summer Index Print"), c.Pages) << "the title atop each sheet";
        for (int i = 1; i <= 36; ++i)
            EXPECT_EQ(text.contains(QString("Fähre %1.jpg").arg(i)), c.Labels) << i;
    }
}

// Three photos of three colours on a yellow template: each photo in its
// cell, left to right, its name centred under it, the template between.
TEST_F(IndexPrintTest, PhotosSitInTheirCellsWithTheirNamesUnderThemOnTheTemplate) {
    const QList<QColor> colours = {QColor(220, 30, 30), QColor(30, 180, 40), QColor(30, 60, 220)};
    QStringList paths;
    for (int i = 0; i < 3; ++i) paths << Photo(QString("photo%1.jpg").arg(i + 1), colours[i], i == 1 ? QSize(200, 300) : QSize(300, 200));
    const QString templ = Temp.Path() + "template.png";
    ASSERT_TRUE(Plain(QSize(60, 80), QColor(250, 230, 40)).save(templ));
    ASSERT_EQ(Print(paths, Options, templ), IndexPrint::Printed);
    constexpr int Dpi = 72;  // one pixel a point, as pdftotext measures
    const QImage page = RenderPdfPage(Pdf, 1, Dpi);
    ASSERT_FALSE(page.isNull());
    const QList<TPdfWord> words = PdfWords(Pdf);
    int previousRight = -1;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QRect photo = BoxOf(page, colours[i]);
        ASSERT_FALSE(photo.isEmpty());
        EXPECT_GT(photo.left(), previousRight) << "left to right";
        previousRight = photo.right();
        EXPECT_NEAR(double(photo.width()) / photo.height(), i == 1 ? 2.0 / 3 : 1.5, 0.05) << "aspect kept";
        const auto label = std::find_if(words.begin(), words.end(),
                                        [&](const TPdfWord& w) { return w.Text == QString("photo%1.jpg").arg(i + 1); });
        ASSERT_NE(label, words.end());
        EXPECT_GE(label->Box.top(), photo.bottom() - 1) << "under its photo";
        EXPECT_NEAR(label->Box.center().x(), photo.center().x(), 0.1 * photo.width() + 4) << "centred under it";
    }
    // The template shows between the photos, the title above them.
    const QRect first = BoxOf(page, colours[0]);
    EXPECT_TRUE(ColorNear(page.pixelColor(first.right() + 3, first.center().y()), QColor(250, 230, 40), 40));
    const auto title = std::find_if(words.begin(), words.end(), [](const TPdfWord& w) { return w.Text == "Summer"; });
    ASSERT_NE(title, words.end());
    EXPECT_LT(title->Box.bottom(), first.top());
}

TEST_F(IndexPrintTest, TheCallbackHearsEachPhotoAndAStopLeavesNoDocument) {
    QStringList paths;
    for (int i = 0; i < 5; ++i) paths << Photo(QString("p%1.jpg").arg(i));
    struct TRecord {
        QList<QPair<int, int>> Events;
        int StopAt = -1;
    } record;
    SetPrintProgressCallback(
        [](void* data, int32_t kind, int32_t param) -> int32_t {
            auto* r = static_cast<TRecord*>(data);
            r->Events.append({kind, param});
            return param == r->StopAt ? IndexPrint::StopAnswer : 0;
        },
        &record);
    ASSERT_EQ(Print(paths), IndexPrint::Printed);
    EXPECT_EQ(record.Events, (QList<QPair<int, int>>{{5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}}));

    // Stopped at the third: no new document, the old file as it was, no leftovers.
    const QByteArray old = ReadFileBytes(Pdf);
    record = {{}, 2};
    EXPECT_EQ(Print(paths), IndexPrint::Stopped);
    EXPECT_EQ(record.Events.size(), 3);
    EXPECT_EQ(ReadFileBytes(Pdf), old);
    EXPECT_EQ(QDir(Temp.Path()).entryList(QDir::Files | QDir::Hidden).filter(".pdf").size(), 1)
        << QDir(Temp.Path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
}
