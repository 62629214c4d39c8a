#include "suite/indexprint/printjob.h"
#include "platform/reservedfile.h"
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The options Qt's own CUPS engine passes with a job, from what the printer
// object holds.
bool SubmitToQueue(const QPrinter& printer, const QString& queue, const QString& file) {
    std::vector<std::pair<QByteArray, QByteArray>> options;
    const QPageLayout layout = printer.pageLayout();
    options.emplace_back("media", layout.pageSize().key().toUtf8());
    if (printer.copyCount() > 1) {
        options.emplace_back("copies", QByteArray::number(printer.copyCount()));
        if (printer.collateCopies()) options.emplace_back("Collate", "True");
    }
    switch (printer.duplex()) {
    case QPrinter::DuplexNone: options.emplace_back("sides", "one-sided"); break;
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", layout.orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                                   : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide: options.emplace_back("sides", "two-sided-long-edge"); break;
    case QPrinter::DuplexShortSide: options.emplace_back("sides", "two-sided-short-edge"); break;
    }
    if (layout.orientation() == QPageLayout::Landscape) options.emplace_back("landscape", "");
    std::vector<cups_option_t> raw;
    raw.reserve(size_t(options.size()));
    for (auto& [name, value] : options) raw.push_back({name.data(), value.data()});
    // An instance ("queue/instance") prints on its queue.
    const QByteArray name = queue.section('/', 0, 0).toUtf8();
    const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, name.constData(), QFile::encodeName(file).constData(),
                                  printer.docName().toUtf8().constData(), int(raw.size()), raw.data());
    return id > 0;
}

} // namespace

TPrintJob::TPrintJob(QPrinter& printer) : FPrinter(printer) {}

TPrintJob::~TPrintJob() {
    if (FActive && FPainter) Abort(*FPainter);
    Restore();
}

QString TPrintJob::PendingFile() const { return FPdf ? FPdf->TemporaryPath() : FSpool; }

bool TPrintJob::Begin(QPainter& painter) {
    if (FActive) return false;
    FSavedOutput = FPrinter.outputFileName();
    if (FPrinter.outputFormat() == QPrinter::PdfFormat) {
        if (FSavedOutput.isEmpty()) return false;
        // The temporary name ends in ".pdf" too, so the printer stays a PDF printer.
        FPdf = std::make_unique<Platform::TReservedFile>(FSavedOutput, QStringLiteral(".pdf"));
        if (!FPdf->IsValid()) return false;
        FPrinter.setOutputFileName(FPdf->TemporaryPath());
        FRedirected = true;
    } else if (FSavedOutput.isEmpty()) {
        // A queue: the pages go to a spool file of ours (no ".pdf", so the
        // printer stays a native one and only writes the file).
        QByteArray name = QFile::encodeName(QDir::tempPath()) + "/lumora-print-XXXXXX";
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return false;
        close(fd);
        FSpool = QFile::decodeName(name);
        FQueue = FPrinter.printerName();
        FPrinter.setOutputFileName(FSpool);
        FRedirected = true;
    }
    // A native printer told to print to a file of the user's: the printer
    // engine writes that file itself, as asked.
    if (!painter.begin(&FPrinter)) {
        Restore();
        return false;
    }
    FPainter = &painter;
    FActive = true;
    return true;
}

bool TPrintJob::Finish(QPainter& painter) {
    if (!FActive) return false;
    FActive = false;
    FPainter = nullptr;
    const bool ended = painter.end();
    bool delivered = ended;
    if (FPdf) delivered = ended && FPdf->Commit();
    else if (!FSpool.isEmpty()) delivered = ended && SubmitToQueue(FPrinter, FQueue, FSpool);
    Restore();
    return delivered;
}

void TPrintJob::Abort(QPainter& painter) {
    if (!FActive) return;
    FActive = false;
    FPainter = nullptr;
    if (!FRedirected) FPrinter.abort();  // the printer's own output: what it can do
    painter.end();
    Restore();
}

void TPrintJob::Restore() {
    if (FPdf) FPdf->Discard();
    FPdf.reset();
    if (!FSpool.isEmpty()) QFile::remove(FSpool);
    FSpool.clear();
    if (FRedirected && FPrinter.printerState() != QPrinter::Active) {
        FPrinter.setOutputFileName(FSavedOutput);
        FRedirected = false;
    }
}
