#pragma once
// The imaging facade: every decoder and pixel operation the program uses goes
// through these calls. Each returns an int: SUCCESS (1), or one of our own
// negative error codes whose texts are registered in the trace log's error
// table under the domain "Imaging" (RegisterImagingErrorTexts). ERROR_USER_ABORT
// (-100) means a status or row callback asked to stop.
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>

class QPrinter;

// ---- result codes -------------------------------------------------------
constexpr int SUCCESS = 1;
constexpr int FAILURE = 0;
constexpr int ERROR_NO_MEMORY = -1;
constexpr int ERROR_NO_BITMAP = -2;
constexpr int ERROR_MEMORY_TOO_LOW = -3;
constexpr int ERROR_FILE_LSEEK = -4;
constexpr int ERROR_FILE_WRITE = -5;
constexpr int ERROR_FILE_GONE = -6;
constexpr int ERROR_FILE_READ = -7;
constexpr int ERROR_INV_FILENAME = -8;
constexpr int ERROR_FILE_FORMAT = -9;
constexpr int ERROR_FILENOTFOUND = -10;
constexpr int ERROR_INV_RANGE = -11;
constexpr int ERROR_IMAGE_TYPE = -12;
constexpr int ERROR_INV_PARAMETER = -13;
constexpr int ERROR_FILE_OPEN = -14;
constexpr int ERROR_UNKNOWN_COMP = -15;
constexpr int ERROR_FEATURE_NOT_SUPPORTED = -16;
constexpr int ERROR_NOT_256_COLOR = -17;
constexpr int ERROR_PRINTER = -18;
constexpr int ERROR_CRC_CHECK = -19;
constexpr int ERROR_QFACTOR = -21;
constexpr int ERROR_TARGAINSTALL = -22;
constexpr int ERROR_OUTPUTTYPE = -23;
constexpr int ERROR_XORIGIN = -24;
constexpr int ERROR_YORIGIN = -25;
constexpr int ERROR_VIDEOTYPE = -26;
constexpr int ERROR_BITPERPIXEL = -27;
constexpr int ERROR_WINDOWSIZE = -28;
constexpr int ERROR_NORMAL_ABORT = -29;
constexpr int ERROR_NOT_INITIALIZED = -30;
constexpr int ERROR_CORRUPT_FILE = -31;       // truncated or damaged data
constexpr int ERROR_IMAGE_TOO_LARGE = -32;    // refused before allocating
constexpr int ERROR_FORMAT_NOT_DECODABLE = -33;  // identified, but we have no decoder
constexpr int ERROR_USER_ABORT = -100;

// Registers the text of every code above (88 entries, as the program expects)
// under "Imaging". Called once at start; harmless to call again.
void RegisterImagingErrorTexts();
// The text for Code, independent of the trace switch (used where a user must
// see the reason even though tracing is off).
QString ImagingErrorText(int code);
// Number of codes RegisterImagingErrorTexts registers (88).
int ImagingErrorTextCount();

// ---- file format codes (ImageTypeTable uses the same numbers) -----------
constexpr int FILE_PCX = 1;
constexpr int FILE_GIF = 2;
constexpr int FILE_TIF = 3;
constexpr int FILE_TGA = 4;
constexpr int FILE_CMP = 5;
constexpr int FILE_BMP = 6;
constexpr int FILE_JFIF = 10;
constexpr int FILE_EXIF_JPEG_TIF = 11;  // unused here
constexpr int FILE_OS2 = 14;
constexpr int FILE_WMF = 15;
constexpr int FILE_EPS = 16;
constexpr int FILE_TIFLZW = 17;
constexpr int FILE_CALS = 50;
constexpr int FILE_MAC = 51;
constexpr int FILE_IMG = 52;
constexpr int FILE_MSP = 53;
constexpr int FILE_WPG = 54;
constexpr int FILE_RAS = 55;
constexpr int FILE_PCT = 56;
constexpr int FILE_PCD = 57;
constexpr int FILE_OS2_2 = 74;
constexpr int FILE_PNG = 75;
constexpr int FILE_PSD = 76;
constexpr int FILE_FPX = 80;
constexpr int FILE_FPX_SINGLE_COLOR = 81;
constexpr int FILE_FPX_JPEG = 82;
constexpr int FILE_FPX_JPEG_QFACTOR = 83;
constexpr int FILE_BMP_RLE = 84;
constexpr int FILE_EXIF_JPEG = 88;  // the library treats an EXIF JPEG as JFIF (10)

// ---- bitmap handle ------------------------------------------------------
// The picture record. It owns its pixels (in Image). Bits per pixel are kept
// apart from the QImage format because 4-bit pictures live in an 8-bit image:
//   1 -> Format_Mono, 4 and 8 -> Format_Indexed8 (or Grayscale8), 16 -> Format_RGB555,
//   24 -> Format_RGB888 (R, G, B byte order), 32 -> Format_RGB32.
struct BITMAPHANDLE {
    QImage Image;
    int BitsPerPixel = 0;
    int XResolution = 0;   // dots per inch; 0 unknown
    int YResolution = 0;
    // Size of the picture in the file it came from; differs from the image
    // size when the JPEG decoder scaled in the DCT domain (PreferSmall loads).
    // Rule: a load sets the file's full size; L_CopyBitmapRect scales it by the
    // share of the picture kept (a centre crop of a 1/8 decode keeps the crop's
    // size in the file); L_ResampleBitmap keeps it (the pixels still show the
    // same part of the file); a quarter turn swaps it; L_AllocateBitmap and
    // the DIB conversions set it to the picture's own size.
    int SourceWidth = 0;
    int SourceHeight = 0;
    int Accessed = 0;      // L_AccessBitmap nesting

    bool IsAllocated() const { return !Image.isNull(); }
    int Width() const { return Image.width(); }
    int Height() const { return Image.height(); }
    int BytesPerLine() const { return int(Image.bytesPerLine()); }
    qint64 Size() const { return Image.sizeInBytes(); }  // image byte size
};
using pBITMAPHANDLE = BITMAPHANDLE*;

// ---- identification ------------------------------------------------------
struct FILEINFO {
    int Format = 0;
    int Width = 0, Height = 0, BitsPerPixel = 0;
    int XResolution = 0, YResolution = 0;
    int SizeDisk = 0, SizeMem = 0;
    char Compression[21] = {};  // e.g. "JPEG", "NONE", "LZW", "RLE"
    // A JPEG's EXIF orientation, 1..8 (1 also when it has none). Width and
    // Height are the upright picture's, as a load delivers it.
    int Orientation = 1;
    // A JPEG that carries a colour profile other than sRGB, which a load
    // converts to sRGB.
    bool ForeignProfile = false;
};
using pFILEINFO = FILEINFO*;

// ---- limits ----------------------------------------------------------------
// A picture whose header claims more than this many pixels is refused with
// ERROR_IMAGE_TOO_LARGE before any pixel memory is allocated.
constexpr qint64 MaxPicturePixels = qint64(200) * 1000 * 1000;
constexpr int MaxPictureSide = 40000;

// ---- handle lifetime ------------------------------------------------------
int L_InitBitmap(pBITMAPHANDLE bitmap, int width = 0, int height = 0, int bitsPerPixel = 0);
int L_AllocateBitmap(pBITMAPHANDLE bitmap, int width, int height, int bitsPerPixel);
int L_FreeBitmap(pBITMAPHANDLE bitmap);
// The memory of the last large picture freed is kept for the next large
// load; this gives it back (when the full view is left).
void L_ReleaseSparePictureMemory();

// ---- loading -------------------------------------------------------------
// BitsPerPixel 0 keeps the file's own depth (rounded to one we hold); 24 and 8
// convert (a colour picture asked at 8 bits gets the SharedPalette layout of
// L_ColorResBitmap's CRF_FIXEDPALETTE, a grey one stays 8-bit grey); Order is
// 1 (RGB), other values are taken as 1. A file with no usable picture data
// (no valid header, no scan data, nothing but the header) gives
// ERROR_CORRUPT_FILE or ERROR_FILE_FORMAT and no picture; a handle whose load
// fails is left empty. A picture the decoder could read only in part (damaged
// segments, data that ends after the first rows) is delivered as decoded with
// SUCCESS, and L_LoadWarning says what was wrong. JPEG goes to libjpeg-turbo, TARGA to our own
// decoder, BMP/PNG/GIF/TIFF to Qt; PCX, Photo CD, FlashPix, PSD, WMF, EPS and
// Sun raster are identified but give ERROR_FORMAT_NOT_DECODABLE. The next load's size choice comes from
// L_SetLoadScale / L_SetDimension / L_SetPCDResolution. Every load delivers
// the picture as it is meant to be seen: a JPEG upright by its EXIF
// orientation, and a picture with a colour profile other than sRGB (JPEG's
// APP2, PNG's iCCP, TIFF's) converted to sRGB. A row callback may see a
// JPEG's rows as decoded, before that.
constexpr int LOADFILE_ALLOCATE = 1;
constexpr int LOADFILE_STORE = 8;
// Called as rows are decoded: Buffer holds Lines rows of the bitmap's row
// layout starting at Row. A result other than SUCCESS stops the load with it.
// During a long phase that delivers no rows (the scans of a progressive JPEG
// are all read before its first row) it is also called with Lines 0 and no
// Buffer, only to hear whether to stop.
using FILEREADCALLBACK = int (*)(pFILEINFO info, pBITMAPHANDLE bitmap, uint8_t* buffer,
                                 int row, int lines, void* userData);

int L_LoadBitmap(const QString& fileName, pBITMAPHANDLE bitmap, int bitsPerPixel, int order);
int L_LoadFile(const QString& fileName, pBITMAPHANDLE bitmap, int bitsPerPixel, int order,
               int flags, FILEREADCALLBACK callback, void* userData);
int L_LoadBitmapMemory(const uint8_t* buffer, qint64 length, pBITMAPHANDLE bitmap,
                       int bitsPerPixel, int order);

int L_FileInfo(const QString& fileName, pFILEINFO info, int flags);
int L_FileInfoMemory(const uint8_t* buffer, pFILEINFO info, qint64 length, int flags);
// Comment Index 0..71 of a JPEG or TIFF file into Buffer (zero-terminated).
// Returns the text length (>= 0), or an error code; 0 when the slot is empty.
int L_ReadFileComment(const QString& fileName, int index, char* buffer, int bufferSize);
// All 72 comment slots at once (empty strings where none). The file is parsed
// once; L_ReadFileComment reuses that parse for the same unchanged file.
// Mapping: 0 Artist, 1 Copyright, 2 Date (DateTime, else DateTimeOriginal),
// 3 Description (ImageDescription, else the first JPEG COM segment),
// 4 HostComputer, 5 Make, 6 Model, 7 DocumentName, 8 PageName, 9 Software.
// Text bytes are taken as UTF-8, or as Latin-1 when they are not valid UTF-8.
int L_ReadFileComments(const QString& fileName, QStringList& texts);

// Multi-resolution formats. We decode neither FlashPix nor Photo CD, so
// L_EnumDimensions answers ERROR_FORMAT_NOT_DECODABLE; the settings are kept.
int L_EnumDimensions(const QString& fileName, QSize* sizes, int& count);
int L_SetDimension(int format, int width, int height);
int L_GetDimension(int& format, int& width, int& height);
int L_SetPCDResolution(int resolution);  // 0..5, else ERROR_INV_PARAMETER
int L_GetPCDResolution();
// Per thread: a JPEG load that follows may use DCT-domain scaling so that the
// shorter side of the result is still at least MinShortSide; 0 (the default)
// decodes at full size. The setting stays until changed. Only the scales 1/8,
// 1/4 and 1/2 are used (libjpeg-turbo's fast paths): the smallest whose
// shorter side, rounded up, is >= MinShortSide, else full size.
int L_SetLoadScale(int minShortSide);
int L_GetLoadScale();

// Per thread: a JPEG load that follows decodes only the centre cut (see
// CentreCutOf) of the picture at the scale chosen, skipping the columns and
// rows outside it; the result remembers the source square as its source size.
// Off by default; other formats ignore it.
int L_SetLoadCentreSquare(bool centreSquare);
bool L_GetLoadCentreSquare();
// Like L_LoadFile, for a file already in memory.
int L_LoadMemory(const uint8_t* buffer, qint64 length, pBITMAPHANDLE bitmap, int bitsPerPixel,
                 int order, int flags, FILEREADCALLBACK callback, void* userData);
// L_ReadFileComments for a file already in memory.
int L_ReadMemoryComments(const uint8_t* buffer, qint64 length, QStringList& texts);
// Per thread: what the last load on this thread recovered from (a damaged
// segment, data cut short), as readable text; empty after a clean load.
QString L_LoadWarning();

// The centre square of a picture of Pixels: one pixel longer in the long
// direction when the difference is odd. For a picture decoded at a reduced
// scale from a file of Source size, the square is chosen in source pixels and
// mapped onto the picture, so a small decode shows the same part as a full
// one; SourceCut then receives the square in source pixels.
QRect CentreCutOf(QSize pixels, QSize source = QSize(), QSize* sourceCut = nullptr);
// The plain centre square of Size (CentreCutOf without a source size).
QRect CenterCropRect(QSize size);

// ---- saving --------------------------------------------------------------
using FILESAVECALLBACK = int (*)(pBITMAPHANDLE bitmap, uint8_t* buffer, int row, int lines,
                                 void* userData);
// QualityFactor is the library's: 2 (best) .. 255 (smallest); 0 means default.
// Written: JPEG (10), BMP (6), PNG (75), TIFF (3; 17 with LZW) and TARGA (4);
// other formats give ERROR_FEATURE_NOT_SUPPORTED. The file is encoded
// completely before it is written, so a stop (ERROR_USER_ABORT) or an encoding
// error leaves the target untouched; a failed write removes a file this call
// created. L_SaveFile's callback fills Buffer with Lines rows from Row in the
// layout of Bitmap, the picture being written (a converted copy when
// BitsPerPixel asked for another depth).
int L_SaveBitmap(const QString& fileName, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
                 int qualityFactor);
int L_SaveFile(const QString& fileName, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
               int qualityFactor, int flags, FILESAVECALLBACK callback, void* userData);
int L_SaveBitmapMemory(QByteArray& out, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
                       int qualityFactor);
// JPEG quality (1..100) that a quality factor maps to.
int QualityFactorToJpegQuality(int qualityFactor);
// JPEG with an explicit quality (1..100). Subsample writes 4:2:0 chroma, else
// 4:4:4. (The quality-factor saves use 4:4:4 from quality 90 up, else 4:2:0.)
int L_SaveJpegMemory(QByteArray& out, pBITMAPHANDLE bitmap, int quality, bool subsample);

// ---- pixel operations (in place unless a destination is given) ----------
// Area averaging for reduction, smooth (bilinear) interpolation for enlargement.
int L_ResampleBitmap(pBITMAPHANDLE bitmap, int width, int height);
// Degrees in hundredths are not used: Angle is whole degrees, positive turns
// clockwise; multiples of 90 are exact, others enlarge the frame (flag 1).
int L_RotateBitmap(pBITMAPHANDLE bitmap, int angle, int flags);
int L_FlipBitmap(pBITMAPHANDLE bitmap);     // top to bottom
int L_ReverseBitmap(pBITMAPHANDLE bitmap);  // left to right
int L_CopyBitmap(pBITMAPHANDLE destination, const BITMAPHANDLE* source);
int L_CopyBitmapRect(pBITMAPHANDLE destination, const BITMAPHANDLE* source, int left, int top,
                     int width, int height);
constexpr int CRF_FIXEDPALETTE = 0x10000;
constexpr int CRF_BYTEORDER = 0x0002;
int L_ColorResBitmap(const BITMAPHANDLE* source, pBITMAPHANDLE destination, int bitsPerPixel,
                     int flags, void* = nullptr, void* = nullptr, int = 0, void* = nullptr);

// Row access (L_AccessBitmap / L_ReleaseBitmap bracket the row calls).
int L_AccessBitmap(pBITMAPHANDLE bitmap);
int L_ReleaseBitmap(pBITMAPHANDLE bitmap);
int L_PutBitmapRow(pBITMAPHANDLE bitmap, const uint8_t* buffer, int row, qint64 bytes);
int L_GetBitmapRow(const BITMAPHANDLE* bitmap, uint8_t* buffer, int row, qint64 bytes);

// ---- DIBs ----------------------------------------------------------------
// A packed DIB: BITMAPINFOHEADER (40 bytes), colour table, bottom-up rows
// padded to 4 bytes, BGR byte order. Kept in a QByteArray (the "global block").
int L_ConvertToDIB(const BITMAPHANDLE* bitmap, QByteArray& dib);
int L_ChangeToDIB(pBITMAPHANDLE bitmap, QByteArray& dib);  // bitmap emptied
// HeaderSize (header plus colour table) is checked when given (>= 0); BI_RGB
// only (others: ERROR_FEATURE_NOT_SUPPORTED); Bits must hold every row
// (else ERROR_CORRUPT_FILE); a negative height means top-down rows. A 12-byte
// core header is accepted too.
int L_ConvertFromDIB(pBITMAPHANDLE bitmap, const uint8_t* header, const uint8_t* bits,
                     qint64 bitsSize, qint64 headerSize = -1);
int L_ChangeFromDIB(pBITMAPHANDLE bitmap, QByteArray& dib);  // dib emptied on success only
// A device bitmap here is a QPixmap (needs a GUI application) or a QImage.
int L_ConvertFromDDB(pBITMAPHANDLE bitmap, const QImage& device);

// ---- painting and printing ------------------------------------------------
// Display-mode bits. Painting honours FIXEDPALETTE (the picture is dithered
// to SharedPalette, ordered with ORDEREDDITHER, else by error diffusion) and
// printing honours PRINTDITHER (a dithered black-and-white picture for a
// 1-bit printer). PAINTPALETTE says the picture's own paint palette is used,
// which needs nothing more on a true-colour device.
constexpr int DISPLAYMODE_PAINTPALETTE = 2;
constexpr int DISPLAYMODE_ORDEREDDITHER = 4;
constexpr int DISPLAYMODE_DIFFUSIONDITHER = 8;
constexpr int DISPLAYMODE_PRINTDITHER = 32;
constexpr int DISPLAYMODE_FIXEDPALETTE = 128;
int L_GetDisplayMode();
int L_SetDisplayMode(int mask, int value);  // returns the previous mode
// The colours a painter needs to show Bitmap: its own colour table for 8 bits
// or fewer, SharedPalette for a true-colour picture in FIXEDPALETTE mode,
// else none (a true-colour device needs no palette).
QList<QRgb> L_CreatePaintPalette(QPainter& painter, const BITMAPHANDLE* bitmap);
// The 256-entry SharedPalette: entry r * 32 + g * 4 + b.
const QList<QRgb>& L_SharedPalette();
// Paints the whole bitmap stretched into Destination; an empty Clip means none.
int L_PaintDC(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
              const QRect& clip = QRect());
// Effect numbers of our own; 0 paints plainly, an unknown number gives ERROR_INV_PARAMETER.
constexpr int EFFECT_NONE = 0;
constexpr int EFFECT_GREY = 1;     // in shades of grey
constexpr int EFFECT_DIM = 2;      // darkened by half (disabled look)
constexpr int EFFECT_LIGHTEN = 3;  // washed with white (hover look)
int L_PaintDCEffect(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
                    const QRect& clip, int effect);
// Prints onto the current page of a painter that is active on a printer.
int L_PrintBitmapExt(QPainter& printerPainter, const BITMAPHANDLE* bitmap, int x, int y,
                     int width, int height, int flags);
// The picture as a QImage that shares the pixels (for painting, clipboard).
QImage L_ToQImage(const BITMAPHANDLE* bitmap);

// ---- status ----------------------------------------------------------------
// Installed once; called with a percentage during long operations. A result
// other than SUCCESS stops the operation with that code.
using STATUSCALLBACK = int (*)(int percent, void* userData);
int L_SetStatusCallBack(STATUSCALLBACK callback, void* userData);
