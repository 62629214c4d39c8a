#pragma once
// One print job that emits all of its pages or nothing. A printer engine
// writes as it goes: a PDF file grows page by page, and Qt's CUPS engine
// hands whatever it has to the queue when the painter ends, also after a
// cancel. TPrintJob keeps the pages aside until Finish: a PDF is written
// under a temporary name beside its target and renamed into place; a job
// for a CUPS queue is written to a private spool file and given to the
// queue whole. Abort, or a job that is never finished, leaves no document.
#include <QString>
#include <memory>

class QPainter;
class QPrinter;

namespace Platform {
class TReservedFile;
}

class TPrintJob {
public:
    explicit TPrintJob(QPrinter& printer);
    // Aborts a job begun and not finished; the printer gets its output back.
    ~TPrintJob();
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    // Begins the document on Painter; false when it cannot be begun (no
    // output file can be made, the printer refuses).
    bool Begin(QPainter& painter);
    // Ends the document and delivers it; false when that fails (nothing is
    // delivered then).
    bool Finish(QPainter& painter);
    // Ends the document and drops it.
    void Abort(QPainter& painter);
    bool Active() const { return FActive; }
    // Where the pages go meanwhile (tests).
    QString PendingFile() const;

private:
    void Restore();

    QPrinter& FPrinter;
    QString FSavedOutput;
    bool FRedirected = false;
    bool FActive = false;
    QPainter* FPainter = nullptr;
    std::unique_ptr<Platform::TReservedFile> FPdf;
    QString FSpool;       // a CUPS job's pages
    QString FQueue;       // its queue
};
