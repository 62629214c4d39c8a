// Printing from the main window on a disc made by make-disc: the index
// print's call of the library (a recording stand-in, and the real library to
// PDF), its template and its boxes, and the photo print read back from the
// PDF it writes.
#include "imaging/loading.h"
#include "sharing/printing.h"
#include "shell/tempfolder.h"
#include "suite/indexprint/indexprint.h"
#include "suite/xres/xres.h"
#include "support/pdf.h"
#include "support/photos.h"
#include "support/screenshots.h"
#include "viewer/fullviewpage.h"
#include "viewer/statusfrm.h"
#include "viewer/windowfixture.h"
#include <QPageSize>
#include <QPrinter>
#include <QProgressBar>
#include <QTimer>

namespace {

// One colour a quadrant: top left red, top right green, bottom left blue,
// bottom right yellow.
QImage Quadrants(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width() / 2, h = size.height() / 2;
    QPainter p(&image);
    p.fillRect(0, 0, w, h, QColor(220, 30, 30));
    p.fillRect(w, 0, size.width() - w, h, QColor(30, 180, 40));
    p.fillRect(0, h, w, size.height() - h, QColor(30, 60, 220));
    p.fillRect(w, h, size.width() - w, size.height() - h, QColor(240, 220, 30));
    return image;
}

class PrintingTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        CreateSharedWindows();
        RegisterPrinting();
        SetPrintDialogRunner([this](QPrinter& printer, QWidget*) {
            ++Dialogs;
            if (OnDialog) OnDialog();
            if (!Accept) return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(Pdf);
            printer.setResolution(Dpi);
            printer.setPageSize(QPageSize(QPageSize::A4));
            return true;
        });
    }
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        SetIndexPrintLibrary({});
        SetSharingHandlers({});
        ResetProgramPrinter();
        TWindowFixture::TearDown();
        FreeSharedWindows();
        RemoveRunTempFolder();
    }
    // One roll of four photos; its photo 1 holds the quadrants in every size.
    TLumoraFrm& OpenRoll(int frames = 4) {
        TLumoraFrm& w = Start(MakeDisc(1, {}, "Tiny,Medium,Large", frames));
        for (const char* size : {"Tiny", "Medium", "Large"})
            EXPECT_TRUE(WriteTestJpeg(w.CurrentRoll()->Folder + size + "/" + w.CurrentRoll()->Items(1)->FileName,
                                      Quadrants(QSize(600, 400))));
        return w;
    }
    // Shows photo Index and prints it as the full view's button does.
    void PrintPhoto(TLumoraFrm& w, int index) {
        const int before = w.FullViewPage().Deliveries;
        w.ThumbContainerIconClick(index);
        ASSERT_TRUE(WaitFor([&] { return w.FullViewPage().Deliveries > before; }));
        RunGuarded([&] { w.FullViewPrintButtonClick(); });
    }
    // Presses Cancel as soon as the status window has come up.
    static void CancelOnceShown() {
        auto* watch = new TShowWatch;
        Status()->installEventFilter(watch);
    }
    struct TShowWatch : QObject {
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                QTimer::singleShot(0, Status(), &TStatus::CancelClick);
                watched->removeEventFilter(this);
                deleteLater();
            }
            return false;
        }
    };
    int Dialogs = 0;
    bool Accept = true;
    std::function<void()> OnDialog;  // runs as the dialog shows
    int Dpi = 150;
    QString Pdf = Disc.Path() + "out.pdf";
};

} // namespace

TEST(IndexPrintOptions, NameTheQueueOrNothingForAFile) {
    EXPECT_EQ(IndexPrintOptions("P"), "Printer=P;Labels=1;HalfTone=1;ProductType=IndexPrintFullPage;SavePaper=1;");
    EXPECT_EQ(IndexPrintOptions(""), "Printer=;Labels=1;HalfTone=1;ProductType=IndexPrintFullPage;SavePaper=1;");
}

// The library's calls in order, what it is handed, and the one box for its
// answer, shown after the status window went and the template with it.
TEST_F(PrintingTest, TheIndexPrintCallsTheLibraryAndAnswersEachResultWithOneBox) {
    TLumoraFrm& w = OpenRoll();
    const QString appDir = AppState().AppDir;
    Disc.Write("disc/Viewer/LMR/Brand.xres", XRes::Build({{"FILE", "INDX", 1, "sheet"}}));
    Disc.Write("disc/Viewer/LMR/custom.ini", "[Index Print]\nIndex File=Brand.xres,INDX leftover words\n");
    ShutdownCustomization();
    LoadCustomFile();
    const QStringList before = QDir(appDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList calls;
    QString templ;
    int answer = 0;
    TPrintProgressCallbackFn progress = nullptr;
    void* job = nullptr;
    SetIndexPrintLibrary({[&](TPrintProgressCallbackFn callback, void* data) {
                              calls << (callback ? "callback set" : "callback removed");
                              progress = callback;
                              job = data;
                          },
                          [&](const char* list, const char* title, const char* file, QPrinter* printer, const char* options) {
                              calls << "print";
                              // Each photo said in the job text; the bar one photo ahead, at most full.
                              const int bars[] = {50, 75, 100, 100};
                              for (int i = 0; i < 4; ++i) {
                                  EXPECT_EQ(progress(job, IndexPrint::EventPicture, i), 0);
                                  EXPECT_EQ(Status()->GetJobText(),
                                            QString("Creating index print...\n\nPrinting image %1 of 4.").arg(i + 1));
                                  EXPECT_EQ(Status()->Form.ProgressBar->value(), bars[i]);
                              }
                              EXPECT_EQ(progress(job, 7, 0), 0) << "other events only ask for Cancel";
                              EXPECT_EQ(QString::fromUtf8(list), w.CurrentRoll()->FileList().join('|'));
                              EXPECT_EQ(QString::fromUtf8(title), ApplicationTitle() + " Index Print");
                              EXPECT_EQ(printer->docName(), ApplicationTitle() + " document");
                              EXPECT_EQ(QByteArray(options), IndexPrintOptions(""));
                              templ = QString::fromUtf8(file);
                              EXPECT_EQ(ReadFileBytes(templ), "sheet");
                              EXPECT_FALSE(templ.startsWith(appDir)) << "the program folder may be read-only";
                              EXPECT_TRUE(Status()->isVisible());
                              return answer;
                          }});
    SetMessageBoxRecorder([&](const TMessageBoxRequest& request) {
        EXPECT_FALSE(Status()->isVisible());
        EXPECT_FALSE(QFile::exists(templ));
        Boxes << request.Text + (request.Icon == TMessageIcon::Information ? " (info)" : "");
        return QMessageBox::Ok;
    });
    const QString failed = ApplicationTitle() + " was unable to create an index print.  The error is: %1\n\n"
                                                "Please check your print configuration and try again.";
    const QString noPictures = failed.arg("No pictures were specified for printing.");
    const struct {
        int Result;
        QString Box;
    } cases[] = {
        {0, ""},
        {1, failed.arg("This feature is not supported.")},
        {2, failed.arg("The default print device could not be detected.")},
        {3, noPictures},
        {4, failed.arg("The picture index failed to print.")},
        {5, failed.arg("A picture failed to print.")},
        {6, noPictures},
        {7, failed.arg("An unknown index print error (7) occured.")},
        {8, failed.arg("An unknown index print error (8) occured.")},
        {10, "Your index print was cancelled. (info)"},
        {11, failed.arg("An unknown index print error (11) occured.")},
        {-1, failed.arg("An unknown index print error (-1) occured.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Result);
        answer = c.Result;
        calls.clear();
        Boxes.clear();
        w.PrintButtonClick();
        EXPECT_EQ(calls, QStringList({"callback set", "print", "callback removed"}));
        EXPECT_EQ(Boxes, c.Box.isEmpty() ? QStringList() : QStringList{c.Box});
        EXPECT_TRUE(ProgramPrinter().outputFileName().isEmpty()) << "back to the default printer";
    }
    EXPECT_EQ(QDir(appDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

TEST_F(PrintingTest, TheTemplateIsTheDiscsResourceElseIndexJpgElseIndexBmp) {
    OpenRoll();
    const QString appDir = AppState().AppDir;
    Disc.Write("disc/Viewer/LMR/Brand.xres", XRes::Build({{"FILE", "INDX", 1, "two"}, {"JPEG", "INDX", 1, "three"}}));
    QString handed;
    SetIndexPrintLibrary({[](TPrintProgressCallbackFn, void*) {},
                          [&](const char*, const char*, const char* file, QPrinter*, const char*) {
                              handed = QFile::exists(file) ? QString::fromUtf8(ReadFileBytes(file)) : "(none)";
                              return 0;
                          }});
    const struct {
        const char* Ini;
        const char* Files;  // beside the program
        const char* Template;
    } cases[] = {
        {"Index File=Brand.xres,INDX", "", "two"},
        {"Index File=Brand.xres,JPEG,INDX", "index.bmp", "three"},
        {"Index File=Brand.xres,NONE", "index.bmp", "bmp"},
        {"", "index.jpg index.bmp", "jpg"},
        {"", "", "(none)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        QFile::remove(appDir + "index.jpg");
        QFile::remove(appDir + "index.bmp");
        for (const QString& file : QString(c.Files).split(' ', Qt::SkipEmptyParts))
            Disc.Write("disc/Viewer/LMR/" + file, file.section('.', 1).toUtf8());
        Disc.Write("disc/Viewer/LMR/custom.ini", QByteArray("[Index Print]\n") + c.Ini + "\n");
        ShutdownCustomization();
        LoadCustomFile();
        TImagePrinter().PrintIndex({Disc.Path() + "x.jpg"});
        EXPECT_EQ(handed, c.Template);
    }
}

// The real library to PDF: the roll's photos under their names, names with
// "|" or outside ASCII included; Cancel leaves no document.
TEST_F(PrintingTest, TheIndexPrintWritesTheRollAndCancelLeavesNothing) {
    TLumoraFrm& w = OpenRoll(16);
    QStringList files = w.CurrentRoll()->FileList();
    const QString odd = Disc.Path() + "Fähre|1.jpg";
    ASSERT_TRUE(QFile::copy(files[0], odd));
    files << odd;
    TImagePrinter().PrintIndex(files);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    const QString text = PdfText(Pdf);
    for (const QString& file : w.CurrentRoll()->FileList()) EXPECT_TRUE(text.contains(QFileInfo(file).fileName()));
    EXPECT_TRUE(text.contains("Fähre_1.jpg"));
    SaveImageScreenshot(RenderPdfPage(Pdf, 1, 60), "print-index-page");
    EXPECT_TRUE(QDir(RunTempFolder()).isEmpty()) << "the link went with the job";

    QFile::remove(Pdf);
    OnDialog = [] { CancelOnceShown(); };
    w.PrintButtonClick();
    EXPECT_EQ(Boxes, QStringList{"Your index print was cancelled."});
    EXPECT_FALSE(QFile::exists(Pdf));
}

// The photo alone on an A4 page: upright, inside the margins, centred
// across, its top at the band under the caption's height; turned by its
// rotation first. Read back from the rendered PDF.
TEST_F(PrintingTest, ThePhotoPageIsUprightCentredAndTopAligned) {
    TLumoraFrm& w = OpenRoll();
    const QColor green(30, 180, 40), blue(30, 60, 220);
    const struct {
        int Rotation;
        QColor TopLeft, BottomRight;  // of the printed picture
    } cases[] = {
        {0, blue, green},      // landscape: turned a quarter clockwise to stand upright
        {90, blue, green},     // already upright after its own quarter turn
        {180, green, blue},    // upside down, then turned upright: a quarter the other way
        {270, green, blue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rotation);
        w.CurrentRoll()->Items(1)->Rotation = c.Rotation;
        QFile::remove(Pdf);
        PrintPhoto(w, 1);
        ASSERT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
        const QImage page = RenderPdfPage(Pdf, 1, Dpi);
        ASSERT_FALSE(page.isNull());
        if (c.Rotation == 0) SaveImageScreenshot(page, "print-photo-page");
        const QPrinter& printer = ProgramPrinter();
        const QRect area = printer.pageLayout().paintRectPixels(Dpi);
        QFont font("Arial", 10);
        font.setBold(true);
        const int top = area.top() + 2 * (area.height() / 64) + QFontMetrics(font, &ProgramPrinter()).height();
        QRect picture;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 235) picture |= QRect(x, y, 1, 1);
        EXPECT_GT(picture.height(), picture.width()) << "portrait";
        EXPECT_NEAR(picture.top(), top, 1);
        EXPECT_NEAR(picture.left() - area.left(), area.right() - picture.right(), 1) << "centred";
        EXPECT_GE(picture.left() - area.left(), area.width() / 64 - 1);
        EXPECT_LE(picture.bottom(), area.bottom() - area.height() / 64 + 1);
        EXPECT_TRUE(ColorNear(page.pixelColor(picture.topLeft() + QPoint(8, 8)), c.TopLeft, 40));
        EXPECT_TRUE(ColorNear(page.pixelColor(picture.bottomRight() - QPoint(8, 8)), c.BottomRight, 40));
    }
    // The choice stays for the next photo print.
    EXPECT_EQ(ProgramPrinter().outputFileName(), Pdf);
    EXPECT_EQ(ProgramPrinter().resolution(), Dpi);
}

TEST_F(PrintingTest, ThePhotoLoadsAtThePrintersResolutionAndTheOldOneComesBack) {
    TLumoraFrm& w = OpenRoll();
    const int old = ChangePCDResolution(2);
    for (const auto& [dpi, expected] : {std::pair{150, 3}, {300, 4}, {600, 5}}) {
        Dpi = dpi;
        QList<int> seen;
        OnDialog = [&] {
            AddStatusListener(this, [&seen](int, int) {
                seen << PCDResolution();
                return true;
            });
        };
        PrintPhoto(w, 1);
        RemoveStatusListener(this);
        // The full view may still be reading its sharper copy at the old resolution.
        EXPECT_TRUE(seen.contains(expected)) << dpi;
        for (int resolution : seen) EXPECT_TRUE(resolution == expected || resolution == 2) << dpi << " " << resolution;
        EXPECT_EQ(PCDResolution(), 2) << dpi;
    }
    ChangePCDResolution(old);
}

// What goes wrong ends the job cleanly: a declined dialog does nothing, a
// damaged photo is said in the error box, a Cancel leaves no page.
TEST_F(PrintingTest, ADeclinedDialogADamagedPhotoAndACancelLeaveNoDocument) {
    TLumoraFrm& w = OpenRoll();
    Accept = false;
    PrintPhoto(w, 1);
    w.PrintButtonClick();
    EXPECT_EQ(Dialogs, 2);
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_FALSE(QFile::exists(Pdf));

    Accept = true;
    Disc.Write(QString(w.CurrentRoll()->Items(2)->BestQualityPath()).mid(Disc.Path().size()), "not a photo at all");
    PrintPhoto(w, 2);
    EXPECT_EQ(Boxes.size(), 1);
    EXPECT_FALSE(Status()->isVisible());
    EXPECT_FALSE(HasStatusListeners());
    EXPECT_FALSE(QFile::exists(Pdf));

    Boxes.clear();
    OnDialog = [] { CancelOnceShown(); };
    PrintPhoto(w, 1);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    EXPECT_FALSE(QFile::exists(Pdf));
    EXPECT_FALSE(Status()->isVisible());
}
