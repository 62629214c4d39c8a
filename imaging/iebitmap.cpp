#include "imaging/iebitmap.h"
#include "imaging/imagetypes.h"
#include "imaging/screen.h"
#include "shell/tracelog.h"
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int> ConstructionCounter{0};

// Size of the library's bitmap handle record, counted into GetMemorySize.
constexpr qint64 HandleRecordSize = 136;

// The facade keeps one display mode for the process; painting and printing
// change bits of it for one call and put every bit back afterwards.
class TDisplayModeSaver {
public:
    TDisplayModeSaver() : FSaved(L_GetDisplayMode()) {}
    ~TDisplayModeSaver() { L_SetDisplayMode(~0, FSaved); }
    int Saved() const { return FSaved; }
    TDisplayModeSaver(const TDisplayModeSaver&) = delete;
    TDisplayModeSaver& operator=(const TDisplayModeSaver&) = delete;

private:
    int FSaved;
};

uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

[[noreturn]] void RaiseLibraryError(int code) { throw TIEPixException(LibraryErrorText(code)); }

// Rounded A * B / C for non-negative values without overflow.
int MulDivRound(qint64 a, qint64 b, qint64 c) { return c == 0 ? 0 : int((2 * a * b + c) / (2 * c)); }

QPixmap MakeBitmap(const BITMAPHANDLE* handle, QString& errorText) {
    TraceScope trace("MakeBitmap");
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        errorText = LibraryErrorText(ERROR_NOT_INITIALIZED);
        return {};
    }
    // Pixmaps belong to the GUI thread; a worker hands over a TIEBitmap or a
    // QImage and the GUI thread makes the pixmap.
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        errorText = QStringLiteral("Screen bitmaps can only be made on the interface thread");
        TraceLog::WarningMsg(errorText);
        return {};
    }
    TDisplayModeSaver mode;
    QPixmap bitmap(handle->Width(), handle->Height());
    if (ScreenPaletteMode()) L_SetDisplayMode(DISPLAYMODE_FIXEDPALETTE, DISPLAYMODE_FIXEDPALETTE);
    int result;
    {
        QPainter canvas(&bitmap);
        result = L_PaintDC(canvas, handle, QRect(0, 0, handle->Width(), handle->Height()));
    }
    if (result != SUCCESS) {
        errorText = LibraryErrorText(result);
        TraceLog::WarningMsg("Could not convert to ddb.  The error was: \"" + errorText + "\"");
        return {};
    }
    return bitmap;
}

TBitmapHandlePtr ConvertFromBitmap(const QImage& device, QString& errorText) {
    TraceScope trace("ConvertFromBitmap");
    TBitmapHandlePtr handle = NewBitmapHandlePtr();
    int result = L_ConvertFromDDB(handle.get(), device);
    if (result != SUCCESS) {
        errorText = LibraryErrorText(result == FAILURE ? FAILURE : result);
        return nullptr;
    }
    return handle;
}

// A BMP file around a packed DIB, for clipboard readers that want a file.
QByteArray BmpFileFromDIB(const QByteArray& dib) {
    qint64 bitsSize = 0, headerSize = 0;
    const uint8_t* bits = nullptr;
    const uint8_t* header = nullptr;
    if (!TIEBitmap::ParseDIB(reinterpret_cast<const uint8_t*>(dib.constData()), dib.size(),
                             bitsSize, headerSize, bits, header))
        return {};
    QByteArray file(14, '\0');
    auto put32 = [&file](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, uint32_t(14 + dib.size()));
    put32(10, uint32_t(14 + headerSize));
    return file + dib;
}

} // namespace

BITMAPHANDLE* NewBitmapHandle() {
    auto handle = std::make_unique<BITMAPHANDLE>();
    L_InitBitmap(handle.get(), 0, 0, 0);
    return handle.release();
}

void DisposeBitmapHandle(BITMAPHANDLE* handle) {
    std::unique_ptr<BITMAPHANDLE> owned(handle);
    if (owned) L_FreeBitmap(owned.get());
}

QString LibraryErrorText(int code) {
    QString text = ImagingErrorText(code);
    TraceLog::SevereMsg(text);
    return text;
}

// ---- TIEBitmap -----------------------------------------------------------

TIEBitmap::TIEBitmap() : FSerialNumber(++ConstructionCounter) {}

TIEBitmap::~TIEBitmap() {
    DisposeBitmapHandle(FHandle);
    FHandle = nullptr;
}

std::unique_ptr<TIEBitmap> TIEBitmap::CreateFromFile(const QString& fileName,
                                                     TColorMode colorMode) {
    auto bitmap = std::make_unique<TIEBitmap>();
    bitmap->LoadFromFile(fileName, colorMode);
    return bitmap;
}

std::unique_ptr<TIEBitmap> TIEBitmap::CreateFromStream(QIODevice& stream, TColorMode colorMode) {
    auto bitmap = std::make_unique<TIEBitmap>();
    bitmap->LoadFromStream(stream, colorMode);
    return bitmap;
}

int TIEBitmap::ConstructedCount() { return ConstructionCounter.load(); }
void TIEBitmap::ResetConstructedCount() { ConstructionCounter.store(0); }

void TIEBitmap::Draw(QPainter& canvas, const QRect& rect) const { DrawClipped(canvas, rect, QRect()); }

void TIEBitmap::DrawClipped(QPainter& canvas, const QRect& rect, const QRect& clipRect) const {
    if (!FHandle) return;
    TDisplayModeSaver mode;
    // Qt has no palettes to select; the display mode tells the facade to
    // dither to the shared palette on a palette display.
    if (ScreenPaletteMode())
        L_SetDisplayMode(DISPLAYMODE_FIXEDPALETTE, DISPLAYMODE_FIXEDPALETTE);
    else
        L_SetDisplayMode(DISPLAYMODE_PAINTPALETTE, DISPLAYMODE_PAINTPALETTE);
    L_PaintDC(canvas, FHandle, rect, clipRect.isEmpty() ? QRect() : clipRect);
}

void TIEBitmap::DrawEffect(QPainter& canvas, const QRect& rect, int effect) const {
    if (!FHandle) return;
    L_PaintDCEffect(canvas, FHandle, rect, QRect(), effect);
}

void TIEBitmap::CopyAttributes(const TIEBitmap& source) {
    SourceFormat = source.SourceFormat;
    FormatIndex = source.FormatIndex;
    SourceFile = source.SourceFile;
    CanSaveBack = source.CanSaveBack;
    Rotation = source.Rotation;
}

void TIEBitmap::FreeHandle() {
    DisposeBitmapHandle(FHandle);
    FHandle = nullptr;
    FormatIndex = UnknownFormatIndex;
    SourceFormat = 0;
    CanSaveBack = true;
}

std::unique_ptr<TIEBitmap> TIEBitmap::Clone() const {
    auto copy = std::make_unique<TIEBitmap>();
    if (FHandle) {
        TBitmapHandlePtr handle = NewBitmapHandlePtr();
        int result = L_CopyBitmap(handle.get(), FHandle);
        if (result != SUCCESS) RaiseLibraryError(result);
        copy->SetHandle(handle.release());
        copy->CopyAttributes(*this);
    }
    return copy;
}

void TIEBitmap::AssignBitmap(const QPixmap& deviceBitmap) { AssignImage(deviceBitmap.toImage()); }

void TIEBitmap::AssignImage(const QImage& image) {
    FreeHandle();
    QString errorText;
    TBitmapHandlePtr handle = ConvertFromBitmap(image, errorText);
    if (!handle) throw TIEPixException(errorText);
    SetHandle(handle.release());
    Changed();
}

void TIEBitmap::AssignDIB(const QByteArray& dib) {
    FreeHandle();
    qint64 bitsSize = 0, headerSize = 0;
    const uint8_t* bits = nullptr;
    const uint8_t* header = nullptr;
    if (!ParseDIB(reinterpret_cast<const uint8_t*>(dib.constData()), dib.size(), bitsSize,
                  headerSize, bits, header))
        RaiseLibraryError(ERROR_INV_PARAMETER);
    TBitmapHandlePtr handle = NewBitmapHandlePtr();
    int result = L_ConvertFromDIB(handle.get(), header, bits, bitsSize, headerSize);
    if (result != SUCCESS) RaiseLibraryError(result);
    SetHandle(handle.release());
    Changed();
}

void TIEBitmap::TakeDIB(QByteArray& dib) {
    FreeHandle();
    TBitmapHandlePtr handle = NewBitmapHandlePtr();
    int result = L_ChangeFromDIB(handle.get(), dib);
    if (result != SUCCESS) RaiseLibraryError(result);
    SetHandle(handle.release());
    Changed();
}

void TIEBitmap::AssignBitmapAndFree(QPixmap& deviceBitmap) {
    AssignBitmap(deviceBitmap);
    deviceBitmap = QPixmap();
}

QImage TIEBitmap::MakeDIBSection() const {
    const QByteArray dib = MakeDIB();
    if (dib.isEmpty()) return {};
    qint64 bitsSize = 0, headerSize = 0;
    const uint8_t* bits = nullptr;
    const uint8_t* header = nullptr;
    const auto* memory = reinterpret_cast<const uint8_t*>(dib.constData());
    if (!ParseDIB(memory, dib.size(), bitsSize, headerSize, bits, header)) return {};
    // The section is the DIB's own layout (bottom-up rows, BGR order) read
    // back into an addressable picture of the same depth.
    BITMAPHANDLE section;
    if (L_ConvertFromDIB(&section, header, bits, bitsSize, headerSize) != SUCCESS) return {};
    return section.Image;
}

QList<QRgb> TIEBitmap::GetPalette() const {
    if (!FHandle) return {};
    // A screen canvas with the shared palette in palette mode, as painting uses.
    QImage screen(1, 1, QImage::Format_RGB32);
    QPainter canvas(&screen);
    TDisplayModeSaver mode;
    if (ScreenPaletteMode()) L_SetDisplayMode(DISPLAYMODE_FIXEDPALETTE, DISPLAYMODE_FIXEDPALETTE);
    return CreatePaintPalette(canvas);
}

QList<QRgb> TIEBitmap::CreatePaintPalette(QPainter& canvas) const {
    if (!FHandle) return {};
    return L_CreatePaintPalette(canvas, FHandle);
}

QPixmap TIEBitmap::ReleaseToBitmap() {
    if (!FHandle) return {};
    QString errorText;
    QPixmap bitmap = MakeBitmap(FHandle, errorText);
    // The picture stays when no bitmap could be made of it.
    if (bitmap.isNull()) throw TIEPixException(errorText);
    FreeHandle();
    return bitmap;
}

QByteArray TIEBitmap::ReleaseToDIB() {
    if (!FHandle) return {};
    QByteArray dib;
    int result = L_ChangeToDIB(FHandle, dib);
    // Keep the picture when the conversion fails rather than lose it.
    if (result != SUCCESS) RaiseLibraryError(result);
    // The pixels now live in the DIB; only the empty record is left to free.
    DisposeBitmapHandle(FHandle);
    FHandle = nullptr;
    return dib;
}

BITMAPHANDLE* TIEBitmap::ReleaseHandle() {
    BITMAPHANDLE* handle = FHandle;
    FHandle = nullptr;
    return handle;
}

QPixmap TIEBitmap::MakeBitmapObject() const {
    if (!FHandle) return {};
    QString errorText;
    return MakeBitmap(FHandle, errorText);
}

QImage TIEBitmap::MakeImage() const {
    if (!FHandle) return {};
    return L_ToQImage(FHandle).copy();
}

QByteArray TIEBitmap::MakeDIB() const {
    if (!FHandle) return {};
    QByteArray dib;
    int result = L_ConvertToDIB(FHandle, dib);
    if (result != SUCCESS) {
        LibraryErrorText(result);
        return {};
    }
    return dib;
}

int TIEBitmap::GetFormatIndex() const { return FormatIndexOf(SourceFormat); }

void TIEBitmap::TakeFrom(std::unique_ptr<TIEBitmap> source) {
    if (!source || source.get() == this) return;
    FreeHandle();
    SetHandle(source->ReleaseHandle());
    CopyAttributes(*source);
    source.reset();
    Changed();
}

void TIEBitmap::CopyFrom(const TIEBitmap& source) {
    if (&source == this) return;
    // Copy first, so a failed copy leaves this picture as it was.
    TBitmapHandlePtr handle;
    if (source.FHandle) {
        handle = NewBitmapHandlePtr();
        int result = L_CopyBitmap(handle.get(), source.FHandle);
        if (result != SUCCESS) RaiseLibraryError(result);
    }
    FreeHandle();
    SetHandle(handle.release());
    CopyAttributes(source);
    Changed();
}

void TIEBitmap::AdoptHandle(BITMAPHANDLE* newHandle) {
    if (newHandle == FHandle) return;
    FreeHandle();
    SetHandle(newHandle);
}

void TIEBitmap::Forget() {
    FHandle = nullptr;
    FreeHandle();
}

QSize TIEBitmap::GetSize() const {
    if (!FHandle) return QSize(0, 0);
    return QSize(FHandle->Width(), FHandle->Height());
}

qint64 TIEBitmap::GetMemorySize() const {
    if (!FHandle) return 0;
    return FHandle->Size() + HandleRecordSize;
}

void TIEBitmap::CopyDIBParts(QByteArray& header, QByteArray& bits) const {
    header.clear();
    bits.clear();
    QByteArray dib = MakeDIB();
    if (dib.isEmpty()) return;
    qint64 bitsSize = 0, headerSize = 0;
    const uint8_t* bitsStart = nullptr;
    const uint8_t* headerStart = nullptr;
    if (!ParseDIB(reinterpret_cast<const uint8_t*>(dib.constData()), dib.size(), bitsSize,
                  headerSize, bitsStart, headerStart))
        return;
    header = QByteArray(reinterpret_cast<const char*>(headerStart), headerSize);
    bits = QByteArray(reinterpret_cast<const char*>(bitsStart), bitsSize);
}

int TIEBitmap::GetBitsPerPixel() const { return FHandle ? FHandle->BitsPerPixel : 0; }

QPoint TIEBitmap::GetResolution() const {
    if (!FHandle) return QPoint(0, 0);
    return QPoint(FHandle->XResolution, FHandle->YResolution);
}

// Puts the picture on the clipboard as an image (Qt offers it in the
// platform's bitmap formats) and as a BMP file. The image carries its own
// colour table, so below 24 bits no separate palette is needed.
void TIEBitmap::CopyToClipboard() const {
    if (!FHandle) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    auto data = std::make_unique<QMimeData>();
    data->setImageData(MakeImage());
    QByteArray bmp = BmpFileFromDIB(MakeDIB());
    if (!bmp.isEmpty()) data->setData("image/bmp", bmp);
    clipboard->setMimeData(data.release());  // the clipboard owns it now
}

void TIEBitmap::Resample(QSize size) {
    if (!FHandle) return;
    if (size.width() <= 0) size.setWidth(1);
    if (size.height() <= 0) size.setHeight(1);
    QString errorText;
    if (!ResamplePicture(FHandle, size, errorText)) throw TIEPixException(errorText);
    Changed();
}

void TIEBitmap::Rotate(int degrees) {
    if (!FHandle) return;
    int result = L_RotateBitmap(FHandle, degrees, 1);
    if (result != SUCCESS) RaiseLibraryError(result);
    Changed();
}

void TIEBitmap::CenterCrop() {
    if (!FHandle) return;
    QString errorText;
    BITMAPHANDLE* cropped = CenterCropFromPicture(FHandle, errorText);
    if (!cropped) throw TIEPixException(errorText);
    DisposeBitmapHandle(FHandle);
    FHandle = cropped;
    Changed();
}

QRect PlacePrint(QSize picture, QSize page, int maxWidth, int maxHeight, int flags) {
    QRect fit = FitSizeInto(picture, QSize(maxWidth, maxHeight));
    QRect placed;
    if (fit.width() < page.width() && fit.height() < page.height())
        placed = QRect(QPoint((page.width() - fit.width()) / 2, (page.height() - fit.height()) / 2),
                       fit.size());
    else
        placed = FitSizeInto(fit.size(), page);
    if (!(flags & PrintCentreHorizontally)) placed.moveLeft(0);
    if (!(flags & PrintCentreVertically)) placed.moveTop(0);
    return placed;
}

void TIEBitmap::PrintAt(QPainter& printer, QSize pageSize, int printerDepth, int x, int y,
                        int maxWidth, int maxHeight, int flags, QRect& placed) const {
    if (!FHandle) return;
    TDisplayModeSaver mode;
    placed = PlacePrint(GetSize(), pageSize, maxWidth, maxHeight, flags);
    if (placed.isEmpty()) return;
    L_SetDisplayMode(DISPLAYMODE_PAINTPALETTE | DISPLAYMODE_ORDEREDDITHER | DISPLAYMODE_DIFFUSIONDITHER, 0);
    if (printerDepth == 1)
        L_SetDisplayMode(DISPLAYMODE_PRINTDITHER, (flags & PrintDither) ? DISPLAYMODE_PRINTDITHER : 0);
    int result = L_PrintBitmapExt(printer, FHandle, x + placed.left(), y + placed.top(),
                                  placed.width(), placed.height(), 0);
    if (result != SUCCESS) RaiseLibraryError(result);
}

bool TIEBitmap::ParseDIB(const uint8_t* memory, qint64 totalSize, qint64& bitsSize,
                         qint64& headerSize, const uint8_t*& bits, const uint8_t*& header) {
    if (!memory || totalSize < 4) return false;
    const qint64 size = ReadLE32(memory);
    if (size != 40 && size != 12) return false;
    if (size > totalSize) return false;
    int bitCount;
    qint64 colorsUsed = 0;
    if (size == 40) {
        bitCount = ReadLE16(memory + 14);
        colorsUsed = ReadLE32(memory + 32);
    } else {
        bitCount = ReadLE16(memory + 10);
    }
    qint64 colors = colorsUsed != 0 ? colorsUsed : (bitCount <= 8 ? qint64(1) << bitCount : 0);
    const qint64 entrySize = size == 40 ? 4 : 3;
    const qint64 total = size + colors * entrySize;
    if (total > totalSize) return false;
    header = memory;
    headerSize = total;
    bits = memory + total;
    bitsSize = totalSize - total;
    return true;
}

QRect FitSizeInto(QSize size, QSize bounds) {
    const qint64 w = size.width(), h = size.height();
    const qint64 W = bounds.width(), H = bounds.height();
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return QRect();
    if (h * W < H * w) {  // h / w < H / W
        int height = MulDivRound(W, h, w);
        return QRect(0, int((H - height) / 2), int(W), height);
    }
    int width = MulDivRound(H, w, h);
    return QRect(int((W - width) / 2), 0, width, int(H));
}

bool ResamplePicture(BITMAPHANDLE* handle, QSize size, QString& errorText) {
    TraceScope trace("ResamplePicture");
    if (size.width() == handle->Width() && size.height() == handle->Height()) return true;
    int result = L_ResampleBitmap(handle, size.width(), size.height());
    if (result != SUCCESS) {
        errorText = LibraryErrorText(result);
        return false;
    }
    return true;
}

// A picture decoded at a reduced DCT scale remembers the size of its source;
// the square is then chosen in source coordinates and mapped onto the pixels,
// so that a small decode shows the same region as a full-size one.
BITMAPHANDLE* CenterCropFromPicture(BITMAPHANDLE* handle, QString& errorText) {
    TraceScope trace("CenterCropFromPicture");
    QSize sourceCrop;
    const QRect crop = CentreCutOf(QSize(handle->Width(), handle->Height()),
                                   QSize(handle->SourceWidth, handle->SourceHeight), &sourceCrop);
    TBitmapHandlePtr result = NewBitmapHandlePtr();
    int code = L_CopyBitmapRect(result.get(), handle, crop.left(), crop.top(), crop.width(),
                                crop.height());
    if (code != SUCCESS) {
        // An empty record in place of the picture would look like a picture
        // to everyone else; give none and let the caller raise.
        errorText = LibraryErrorText(code);
        return nullptr;
    }
    result->SourceWidth = sourceCrop.width();
    result->SourceHeight = sourceCrop.height();
    return result.release();
}
