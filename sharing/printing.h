#pragma once
// Printing: the index print of a roll (every photo on contact sheets, laid
// out by the index print library) and one photo alone on a page. Both run on
// the main thread with the status window up (its bar and Cancel), and both
// deliver their pages whole or not at all.
#include <QStringList>
#include <cstdint>
#include <functional>

class QPainter;
class QPrinter;
class QWidget;
class TMedia;
class TPrintJob;

// The program's one printer: the choice made in the print dialog stays in
// it from one photo print to the next.
QPrinter& ProgramPrinter();
// Back to the default printer and its defaults (an index print does this).
void ResetProgramPrinter();

// The print dialog on Printer: true when the user confirmed it. The real one
// is QPrintDialog (a CUPS queue or a PDF file); tests put their own here.
using TPrintDialogRunner = std::function<bool(QPrinter& printer, QWidget* parent)>;
void SetPrintDialogRunner(TPrintDialogRunner runner);
// With Hourglass the wait cursor shows while the dialog is made.
bool RunPrintDialog(QPrinter& printer, QWidget* parent, bool hourglass = false);

// The option string handed to the index print library: Queue is the CUPS
// queue printed to, empty for a PDF file.
QByteArray IndexPrintOptions(const QString& queue);

// The index print library's two calls. Tests put a recording stand-in here;
// an empty one puts the library back.
using TPrintProgressCallbackFn = int32_t (*)(void* userData, int32_t eventKind, int32_t param);
struct TIndexPrintLibrary {
    std::function<void(TPrintProgressCallbackFn callback, void* userData)> SetPrintProgressCallback;
    std::function<int32_t(const char* fileList, const char* title, const char* templateFile, QPrinter* printer,
                          const char* options)>
        MakePrintFromList;
};
void SetIndexPrintLibrary(TIndexPrintLibrary library);

// One print job; made by the button's handler and freed after it.
class TImagePrinter {
public:
    // The roll's photos, in display order, on index sheets.
    void PrintIndex(QStringList files);
    // The photo shown, alone on a page, in its best size.
    void PrintPhoto(TMedia* photo);

    // Photos the library has reported during the index print running.
    int ImagesDone = 0;
    // The list being printed; empty outside PrintIndex.
    QStringList Files;

    // The library's progress callback; UserData is the job.
    static int32_t IndexProgress(void* userData, int32_t eventKind, int32_t param);
    // The box for a result of the library other than 0.
    static void ShowIndexPrintError(int result);
    // The photo print's status listener.
    bool PhotoProgress(int kind, int percent);

private:
    void PrintPage(const QString& fileName, TMedia* photo, TPrintJob& job, QPainter& painter);
    bool FDocStarted = false;
};

// The thumbnails page's and the full view's print buttons do their work
// here from now on.
void RegisterPrinting();
