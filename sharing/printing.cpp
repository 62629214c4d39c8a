#include "sharing/printing.h"
#include "collection/roll.h"
#include "imaging/iebitmap.h"
#include "imaging/loading.h"
#include "platform/errors.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tempfolder.h"
#include "shell/tracelog.h"
#include "suite/indexprint/indexprint.h"
#include "suite/indexprint/printjob.h"
#include "viewer/lumorafrm.h"
#include "viewer/statusfrm.h"
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::unique_ptr<QPrinter>& PrinterSlot() {
    static std::unique_ptr<QPrinter> printer;
    return printer;
}

TPrintDialogRunner& DialogRunner() {
    static TPrintDialogRunner runner;
    return runner;
}

TIndexPrintLibrary& Library() {
    static TIndexPrintLibrary library;
    if (!library.SetPrintProgressCallback) library.SetPrintProgressCallback = &SetPrintProgressCallback;
    if (!library.MakePrintFromList) library.MakePrintFromList = &MakePrintFromList;
    return library;
}

// Ends the status window, whatever way the job ends.
struct TStatusScope {
    TStatusScope(int options, const QString& caption) { Status()->ShowStatus(options, caption); }
    ~TStatusScope() { Status()->EndStatus(); }
};

// The library's callback is removed after the call, also when it raises.
struct TCallbackScope {
    explicit TCallbackScope(TImagePrinter* job) { Library().SetPrintProgressCallback(&TImagePrinter::IndexProgress, job); }
    ~TCallbackScope() { Library().SetPrintProgressCallback(nullptr, nullptr); }
};

// Files this job put into the private folder go with it.
struct TJobFiles {
    QStringList Paths;
    QStringList Folders;  // emptied by removing Paths
    int LeftOut = 0;      // photos that could not be handed over
    ~TJobFiles() {
        for (const QString& path : Paths) unlink(QFile::encodeName(path).constData());
        for (const QString& folder : Folders) rmdir(QFile::encodeName(folder).constData());
    }
};

// The template of the index sheets: the disc's own resource when
// [Index Print] "Index File" names one (written into the private folder for
// the call), else index.jpg, else index.bmp beside the program; empty for none.
QString IndexTemplate(TJobFiles& files) {
    const TIniFile* ini = CustomIni();
    const QString named = ini ? ini->ReadString(QStringLiteral("Index Print"), QStringLiteral("Index File"), QString())
                              : QString();
    if (!named.isEmpty()) {
        if (const std::optional<QByteArray> data = LoadResourceSpec(named)) {
            const QString folder = RunTempFolder();
            if (folder.isEmpty()) throw EError(ResText(TStr::UnableToWriteTo, {QStringLiteral("index")}));
            QFile file(folder + QStringLiteral("index"));
            files.Paths << file.fileName();
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*data) != data->size())
                throw EError(ResText(TStr::UnableToWriteTo, {file.fileName()}));
            return file.fileName();
        }
    }
    for (const char* name : {"index.jpg", "index.bmp"}) {
        const QString path = AppState().AppDir + QLatin1String(name);
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

// The paths joined with "|". A path holding "|" itself would split the
// list: the library gets a link with a plain name in the private folder.
QByteArray JoinedPaths(const QStringList& paths, TJobFiles& files) {
    QStringList joined;
    for (const QString& path : paths) {
        if (!path.contains('|')) {
            joined << path;
            continue;
        }
        // In a folder of its own, under its name with "|" made "_", so the
        // sheet's label still says which photo it is.
        const QString folder = RunTempFolder();
        QByteArray made = QFile::encodeName(folder) + "links-XXXXXX";
        if (folder.isEmpty() || !mkdtemp(made.data())) {
            TraceLog::WarningMsg(QStringLiteral("No safe name for ") + path);
            ++files.LeftOut;
            continue;
        }
        const QString linkFolder = QFile::decodeName(made) + '/';
        files.Folders << linkFolder;
        const QString link = linkFolder + QFileInfo(path).fileName().replace('|', '_');
        if (symlink(QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(),
                    QFile::encodeName(link).constData()) != 0) {
            TraceLog::WarningMsg(QStringLiteral("No safe name for ") + path);
            ++files.LeftOut;
            continue;
        }
        files.Paths << link;
        joined << link;
    }
    return joined.join('|').toUtf8();
}

// Sets PCDResolution for a printer's dots per inch and puts the old value
// back when it goes.
class TPCDResolutionScope {
public:
    explicit TPCDResolutionScope(int dpi) : FOld(ChangePCDResolution(dpi <= 200 ? 3 : dpi <= 300 ? 4 : 5)) {}
    ~TPCDResolutionScope() { ChangePCDResolution(FOld); }

private:
    int FOld;
};

} // namespace

QPrinter& ProgramPrinter() {
    auto& printer = PrinterSlot();
    if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

void ResetProgramPrinter() { PrinterSlot().reset(); }

void SetPrintDialogRunner(TPrintDialogRunner runner) { DialogRunner() = std::move(runner); }

bool RunPrintDialog(QPrinter& printer, QWidget* parent, bool hourglass) {
    // The hourglass while the dialog is made; the dialog itself has the normal cursor.
    if (hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<QPrintDialog> dialog;
    if (!DialogRunner()) dialog = std::make_unique<QPrintDialog>(&printer, parent);
    if (hourglass) QApplication::restoreOverrideCursor();
    if (DialogRunner()) return DialogRunner()(printer, parent);
    return dialog->exec() == QDialog::Accepted;
}

void SetIndexPrintLibrary(TIndexPrintLibrary library) { Library() = std::move(library); }

QByteArray IndexPrintOptions(const QString& queue) {
    return QStringLiteral("Printer=%1;Labels=%2;HalfTone=%3;ProductType=%4;SavePaper=%5;")
        .arg(queue)
        .arg(1)
        .arg(1)
        .arg(QStringLiteral("IndexPrintFullPage"))
        .arg(1)
        .toUtf8();
}

// ---- index print -------------------------------------------------------------------

void TImagePrinter::PrintIndex(QStringList files) {
    TraceScope trace("TImagePrinter.PrintIndex");
    Files = std::move(files);
    struct TClear {
        TImagePrinter* Job;
        ~TClear() { Job->Files.clear(); }
    } clear{this};
    QPrinter& printer = ProgramPrinter();
    if (!RunPrintDialog(printer, QApplication::activeWindow())) return;
    int result = 0;
    {
        Status()->SetJobText(ResString(TStr::CreatingIndexPrint));
        const TStatusScope status(soCancelButton | soProgressBar, QString());
        printer.setDocName(ResString(TStr::PrintDocumentTitle));
        TJobFiles jobFiles;
        const QByteArray templ = IndexTemplate(jobFiles).toUtf8();
        const QByteArray options = IndexPrintOptions(
            printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : QString());
        const QByteArray list = JoinedPaths(Files, jobFiles);
        Status()->SetJobText(ResString(TStr::CreatingIndexPrint));
        ImagesDone = 0;
        {
            const TCallbackScope callback(this);
            result = Library().MakePrintFromList(list.constData(), ResString(TStr::IndexPrintTitle).toUtf8().constData(),
                                       templ.constData(), &printer, options.constData());
        }
        // A photo that could not be handed over failed to print like any other.
        if (result == IndexPrint::Printed && jobFiles.LeftOut > 0) result = IndexPrint::PictureFailed;
        // The next print starts from the default printer again.
        ResetProgramPrinter();
    }
    if (result == IndexPrint::Stopped)
        InfoBox(ResString(TStr::IndexPrintCancelled));
    else if (result != IndexPrint::Printed)
        ShowIndexPrintError(result);
}

int32_t TImagePrinter::IndexProgress(void* userData, int32_t eventKind, int32_t) {
    auto* job = static_cast<TImagePrinter*>(userData);
    if (eventKind == IndexPrint::EventPicture && job) {
        ++job->ImagesDone;
        const int count = int(job->Files.size());
        Status()->SetJobText(ResText(TStr::PrintingIndexImage, {job->ImagesDone, count}));
        if (count > 0) Status()->SetProgress(int(std::lround(double(job->ImagesDone + 1) / count * 100)));
    }
    return Status()->IsCancelled() ? IndexPrint::StopAnswer : 0;
}

void TImagePrinter::ShowIndexPrintError(int result) {
    TStr reason;
    switch (result) {
    case IndexPrint::NotSupported: reason = TStr::PrintNotSupported; break;
    case IndexPrint::NoPrinter: reason = TStr::PrintNoDevice; break;
    case IndexPrint::NoPictures:
    case IndexPrint::OnlyEmptyNames: reason = TStr::PrintNoPictures; break;
    case IndexPrint::IndexFailed: reason = TStr::PrintIndexFailed; break;
    case IndexPrint::PictureFailed: reason = TStr::PrintPictureFailed; break;
    default: reason = TStr::PrintUnknownError; break;
    }
    ErrorBox(ResString(TStr::IndexPrintFailed), {ResText(reason, {result})});
}

// ---- photo print ---------------------------------------------------------------------

void TImagePrinter::PrintPhoto(TMedia* photo) {
    TraceScope trace("TImagePrinter.PrintPhoto");
    if (!photo) return;
    QPrinter& printer = ProgramPrinter();
    const bool confirmed = RunPrintDialog(printer, QApplication::activeWindow(), true);
    if (!confirmed) return;
    FDocStarted = false;
    Status()->SetJobText(QString());
    const TStatusScope status(soCancelButton | soProgressBar, ResString(TStr::PrintingImages));
    Status()->SetProgress(0);
    struct TListener {
        TImagePrinter* Job;
        explicit TListener(TImagePrinter* job) : Job(job) {
            AddStatusListener(job, [job](int kind, int percent) { return job->PhotoProgress(kind, percent); });
        }
        ~TListener() { RemoveStatusListener(Job); }
    } listener(this);
    QCoreApplication::processEvents();
    // A photo of the plain layout has no size folders: the file itself.
    QString path = photo->BestQualityPath();
    if (path.isEmpty()) path = photo->FullPath();
    TPrintJob job(printer);
    QPainter painter;
    PrintPage(path, photo, job, painter);
    if (!FDocStarted) return;
    if (Status()->IsCancelled()) {
        job.Abort(painter);
        return;
    }
    if (!job.Finish(painter)) throw EError(ResText(TStr::PhotoNotPrinted, {QFileInfo(path).fileName()}));
}

void TImagePrinter::PrintPage(const QString& fileName, TMedia* photo, TPrintJob& job, QPainter& painter) {
    QPrinter& printer = ProgramPrinter();
    if (!FDocStarted) {
        printer.setDocName(ResString(TStr::PrintDocumentTitle));
        if (!job.Begin(painter)) throw EError(ResText(TStr::PhotoNotPrinted, {QFileInfo(fileName).fileName()}));
        FDocStarted = true;
    } else {
        printer.newPage();
    }
    Status()->SetJobText(ResText(TStr::PrintingImageFile, {fileName, 1, 1}));
    std::unique_ptr<TIEBitmap> bitmap;
    try {
        const TPCDResolutionScope resolution(printer.resolution());
        bitmap = TIEBitmap::CreateFromFile(fileName, ColorMode24Bits);
    } catch (const EError&) {
        // A cancel stops the load; that is no error to tell.
        job.Abort(painter);
        FDocStarted = false;
        if (Status()->Cancelled) return;
        throw;
    }
    if (!bitmap || bitmap->IsEmpty()) {
        job.Abort(painter);
        FDocStarted = false;
        if (Status()->Cancelled) return;
        throw EError(ResText(TStr::PhotoNotPrinted, {QFileInfo(fileName).fileName()}));
    }
    if (photo && photo->Rotation % 360 != 0) bitmap->Rotate(photo->Rotation);
    // Upright on a portrait page.
    if (bitmap->GetSize().width() > bitmap->GetSize().height()) bitmap->Rotate(90);
    QFont font(QStringLiteral("Arial"), 10);
    font.setBold(true);
    painter.setFont(font);
    const int textHeight = QFontMetrics(font, &printer).height();
    const QSize page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    const int marginX = page.width() / 64, marginY = page.height() / 64;
    // Inside the margins, below the band a caption would take: fitted,
    // centred across and set against the band's lower edge. PrintAt centres
    // on the page across, so X stays 0.
    const int top = 2 * marginY + textHeight;
    QRect placed;
    bitmap->PrintAt(painter, page, printer.depth(), 0, top, page.width() - 2 * marginX, page.height() - marginY - top,
                    PrintCentreHorizontally, placed);
}

bool TImagePrinter::PhotoProgress(int kind, int percent) {
    if (kind == skLibrary) Status()->SetProgress(percent);
    return !Status()->IsCancelled();
}

// ---- the buttons ------------------------------------------------------------------------

void RegisterPrinting() {
    TSharingHandlers handlers = SharingHandlers();
    handlers.PrintIndex = [](TLumoraFrm&, const QStringList& files) { TImagePrinter().PrintIndex(files); };
    handlers.PrintPhoto = [](TLumoraFrm&, TMedia* photo) { TImagePrinter().PrintPhoto(photo); };
    SetSharingHandlers(std::move(handlers));
}
