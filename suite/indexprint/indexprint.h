#pragma once
// The index print library: a roll's photos laid out as contact sheets and
// printed in one call, on the printer the program hands over (a CUPS queue
// or a PDF file). Strings are UTF-8. The call is synchronous; the progress
// callback runs inside it, on the calling thread, and may stop it.
//
// MakePrintFromList(FileList, Title, TemplateFile, Printer, Options)
//   FileList      the photos' paths joined with "|"; empty names are skipped
//   Title         printed atop each sheet
//   TemplateFile  a picture laid under the photos of each sheet, stretched
//                 over the area below the title; empty or unreadable: none
//   Printer       the QPrinter to print on, as the print dialog left it
//   Options       "key=value;" items, in any order, unknown keys ignored:
//     Printer=NAME   the queue the printer prints to; empty when it writes a
//                    PDF file. Only a record of the choice: the printer
//                    object decides where the pages go.
//     Labels=1       the photo's file name (no folder) under each photo, as
//                    text; 0: none
//     HalfTone=1     photos scaled by averaging their pixels; 0: each pixel
//                    the nearest source pixel
//     ProductType=IndexPrintFullPage   the only product there is
//     SavePaper=1    36 photos a sheet (6 x 6); 0: 20 (4 x 5)
// Progress: event kind 5 once for each photo as it is laid out, Param its
// position in the list (from 0). A callback answering -1 stops the job.
// The pages are emitted all or not at all: a stopped or failed job leaves no
// PDF file and sends nothing to a queue.
#include <cstdint>

class QPrinter;

namespace IndexPrint {
enum TResult : int32_t {
    Printed = 0,
    NotSupported = 1,     // ProductType other than IndexPrintFullPage
    NoPrinter = 2,        // a null printer
    NoPictures = 3,       // an empty list
    IndexFailed = 4,      // the document or a page could not be made or delivered
    PictureFailed = 5,    // a photo could not be read: its cell stays empty, the rest prints
    OnlyEmptyNames = 6,   // a list of empty names only
    Stopped = 10,         // the callback answered -1
};
constexpr int32_t EventPicture = 5;
constexpr int32_t StopAnswer = -1;
// Photos a sheet.
constexpr int SavePaperColumns = 6, SavePaperRows = 6;
constexpr int PlainColumns = 4, PlainRows = 5;
} // namespace IndexPrint

using TPrintProgressCallback = int32_t (*)(void* userData, int32_t eventKind, int32_t param);

// Installs the callback and the value handed back to it; (nullptr, nullptr)
// removes it.
void SetPrintProgressCallback(TPrintProgressCallback callback, void* userData);
int32_t MakePrintFromList(const char* fileList, const char* title, const char* templateFile, QPrinter* printer,
                          const char* options);
