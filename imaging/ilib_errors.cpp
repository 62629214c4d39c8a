// The imaging facade's result codes and their texts: the table the trace
// log's error registry gets under "Imaging", and the look-up that works
// whether tracing is on or off.
#include "imaging/ilib.h"
#include "shell/tracelog.h"

namespace {

struct TErrorText {
    int Code;
    const char* Text;
};

// Our own wording for the result codes; 88 entries as the program expects.
constexpr TErrorText ErrorTexts[] = {
    {1, "Operation completed successfully"},
    {0, "The operation failed"},
    {-1, "Not enough memory available"},
    {-2, "The bitmap holds no picture"},
    {-3, "Not enough memory for this operation"},
    {-4, "Can't seek in the file"},
    {-5, "Can't write the file"},
    {-6, "The file is no longer available"},
    {-7, "Can't read the file"},
    {-8, "Invalid file name"},
    {-9, "Invalid file format"},
    {-10, "File not found"},
    {-11, "Value out of range"},
    {-12, "Wrong kind of picture for this operation"},
    {-13, "Invalid parameter"},
    {-14, "Can't open the file"},
    {-15, "Unknown compression"},
    {-16, "This feature is not supported"},
    {-17, "The picture is not a 256-colour picture"},
    {-18, "Printer error"},
    {-19, "Checksum error in the file"},
    {-21, "Invalid quality factor"},
    {-22, "The Targa device is not installed"},
    {-23, "Invalid output type"},
    {-24, "Invalid horizontal origin"},
    {-25, "Invalid vertical origin"},
    {-26, "Invalid video mode"},
    {-27, "Unsupported number of bits per pixel"},
    {-28, "Invalid window size"},
    {-29, "Operation stopped"},
    {-30, "The imaging library is not initialised"},
    {-31, "Damaged or truncated image data"},
    {-32, "Image is too large to load"},
    {-33, "This image format can't be opened here"},
    {-34, "Invalid bitmap handle"},
    {-35, "The bitmap is locked"},
    {-36, "Invalid palette"},
    {-37, "Invalid colour resolution"},
    {-38, "Invalid rectangle"},
    {-39, "Invalid angle"},
    {-40, "Invalid picture size"},
    {-41, "Invalid row"},
    {-42, "Invalid compression setting"},
    {-43, "The file is read-only"},
    {-44, "The disk is full"},
    {-45, "Too many files open"},
    {-46, "Access to the file was denied"},
    {-47, "The file is in use by another program"},
    {-48, "Invalid page number"},
    {-49, "The file has no more pages"},
    {-50, "Invalid comment index"},
    {-51, "The comment is too long"},
    {-52, "Invalid tag"},
    {-53, "Invalid marker segment"},
    {-54, "Unsupported image resolution"},
    {-55, "Invalid display device"},
    {-56, "Invalid device context"},
    {-57, "The clipboard is not available"},
    {-58, "The clipboard holds no picture"},
    {-59, "Invalid transparency colour"},
    {-60, "Unsupported TIFF variant"},
    {-61, "Unsupported PNG variant"},
    {-62, "Unsupported GIF variant"},
    {-63, "Unsupported BMP variant"},
    {-64, "Unsupported Targa variant"},
    {-65, "Unsupported JPEG variant"},
    {-70, "Invalid FlashPix file"},
    {-71, "FlashPix resolution not available"},
    {-72, "Invalid FlashPix dimension"},
    {-73, "FlashPix support is not installed"},
    {-74, "Invalid Photo CD file"},
    {-75, "Photo CD resolution not available"},
    {-76, "Photo CD support is not installed"},
    {-77, "Invalid metafile"},
    {-78, "Metafiles are not supported here"},
    {-79, "Invalid PostScript file"},
    {-80, "PostScript support is not installed"},
    {-81, "Invalid DIB header"},
    {-82, "Invalid DIB colour table"},
    {-83, "The DIB data is too short"},
    {-84, "Invalid device bitmap"},
    {-85, "Invalid effect"},
    {-86, "Invalid display mode"},
    {-87, "Invalid status callback"},
    {-88, "Timed out waiting for the imaging library"},
    {-89, "The imaging library is busy"},
    {-90, "Internal error in the imaging library"},
    {-100, "Operation cancelled"},
};
static_assert(sizeof ErrorTexts / sizeof ErrorTexts[0] == 88);

}  // namespace

void RegisterImagingErrorTexts() {
    for (const auto& entry : ErrorTexts)
        TraceLog::RegisterErrorText("Imaging", entry.Code, QString::fromLatin1(entry.Text));
}

QString ImagingErrorText(int code) {
    for (const auto& entry : ErrorTexts)
        if (entry.Code == code) return QString::fromLatin1(entry.Text);
    return QStringLiteral("Unknown imaging error %1").arg(code);
}

int ImagingErrorTextCount() { return int(sizeof ErrorTexts / sizeof ErrorTexts[0]); }
