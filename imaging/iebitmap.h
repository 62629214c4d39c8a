#pragma once
// TIEBitmap: the one picture type of the program. It owns one facade bitmap
// handle and offers conversion to and from QImage/QPixmap and packed DIBs, the
// clipboard, resampling, rotation, centred cropping, painting and printing.
// Failing operations raise TIEPixException with the facade's error text.
#include "imaging/ilib.h"
#include "platform/errors.h"
#include <QByteArray>
#include <QIODevice>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <memory>

class TIEPixException : public EError {
public:
    using EError::EError;
};

// Row of ImageTypeTable that means "Unknown".
constexpr int UnknownFormatIndex = 33;

// Depth asked of the decoder: 0 -> 24 bits, 1 -> 8, 2 -> the screen's, 3 (and
// any other value) -> the file's own depth.
using TColorMode = uint8_t;
constexpr TColorMode ColorMode24Bits = 0;
constexpr TColorMode ColorMode8Bits = 1;
constexpr TColorMode ColorModeScreen = 2;
constexpr TColorMode ColorModeOwnDepth = 3;

// Owns a handle made by NewBitmapHandle.
BITMAPHANDLE* NewBitmapHandle();
void DisposeBitmapHandle(BITMAPHANDLE* handle);

struct TBitmapHandleDeleter {
    void operator()(BITMAPHANDLE* handle) const { DisposeBitmapHandle(handle); }
};
using TBitmapHandlePtr = std::unique_ptr<BITMAPHANDLE, TBitmapHandleDeleter>;
// A new, empty library handle owned by the pointer.
inline TBitmapHandlePtr NewBitmapHandlePtr() { return TBitmapHandlePtr(NewBitmapHandle()); }

// The facade's error text for Code, also written to the trace log as an error.
QString LibraryErrorText(int code);

class TIEBitmap {
public:
    TIEBitmap();
    virtual ~TIEBitmap();
    TIEBitmap(const TIEBitmap&) = delete;
    TIEBitmap& operator=(const TIEBitmap&) = delete;

    static std::unique_ptr<TIEBitmap> CreateFromFile(const QString& fileName, TColorMode colorMode);
    static std::unique_ptr<TIEBitmap> CreateFromStream(QIODevice& stream, TColorMode colorMode);

    // Number of TIEBitmap objects constructed in this process so far.
    static int ConstructedCount();
    // For tests: restart the construction counter at 0.
    static void ResetConstructedCount();

    BITMAPHANDLE* GetHandle() const { return FHandle; }
    void SetHandle(BITMAPHANDLE* newHandle) { FHandle = newHandle; }
    bool IsEmpty() const { return FHandle == nullptr; }

    void Draw(QPainter& canvas, const QRect& rect) const;
    void DrawClipped(QPainter& canvas, const QRect& rect, const QRect& clipRect) const;
    void DrawEffect(QPainter& canvas, const QRect& rect, int effect) const;

    virtual bool PreferSmallSize() const { return false; }
    virtual void CopyAttributes(const TIEBitmap& source);
    virtual void Changed() {}
    virtual void FreeHandle();
    virtual std::unique_ptr<TIEBitmap> Clone() const;
    virtual void AssignBitmap(const QPixmap& deviceBitmap);
    // AssignBitmap, then the device bitmap is freed (left null).
    virtual void AssignBitmapAndFree(QPixmap& deviceBitmap);
    virtual void AssignImage(const QImage& image);
    virtual void AssignDIB(const QByteArray& dib);
    virtual void TakeDIB(QByteArray& dib);
    virtual QPixmap ReleaseToBitmap();
    virtual QByteArray ReleaseToDIB();
    virtual BITMAPHANDLE* ReleaseHandle();
    virtual QPixmap MakeBitmapObject() const;   // null when empty or on failure
    virtual QImage MakeImage() const;           // a deep copy; null when empty
    virtual QByteArray MakeDIB() const;         // empty when empty
    // A pixmap here is its own handle: MakeBitmapObject under the name callers use.
    virtual QPixmap MakeBitmapHandle() const { return MakeBitmapObject(); }
    // The picture as a device-independent section with directly addressable
    // bits: the packed DIB parsed into a QImage (RGB colour table for 8 bits
    // or fewer). Null when empty.
    virtual QImage MakeDIBSection() const;
    // The colours to paint this picture with on a screen: CreatePaintPalette
    // for a painter on the screen (SharedPalette in palette mode).
    virtual QList<QRgb> GetPalette() const;
    virtual QList<QRgb> CreatePaintPalette(QPainter& canvas) const;
    // A metafile can't be made on this platform: always none (empty).
    virtual QByteArray MakeMetafile() const { return {}; }
    virtual int GetFormatIndex() const;
    virtual void TakeFrom(std::unique_ptr<TIEBitmap> source);
    virtual void CopyFrom(const TIEBitmap& source);
    virtual void AdoptHandle(BITMAPHANDLE* newHandle);
    virtual void Forget();
    virtual QSize GetSize() const;
    virtual qint64 GetMemorySize() const;
    virtual void CopyDIBParts(QByteArray& header, QByteArray& bits) const;
    virtual int GetBitsPerPixel() const;
    virtual QPoint GetResolution() const;
    virtual void CopyToClipboard() const;
    virtual void LoadFromFile(const QString& fileName, TColorMode colorMode);
    virtual void LoadFromStream(QIODevice& stream, TColorMode colorMode);
    virtual void SaveToFile(const QString& fileName, int formatIndex);
    virtual void SaveToStream(QIODevice& stream, int formatIndex);

    void Resample(QSize size);
    void Rotate(int degrees);
    void CenterCrop();
    // Prints fitted into MaxWidth x MaxHeight at (X, Y) on the painter's page
    // (PageSize in device pixels). Flags bit 1 keeps horizontal centring, bit 2
    // vertical, bit 4 dithers on a 1-bit printer. Placed receives the rectangle used.
    void PrintAt(QPainter& printer, QSize pageSize, int printerDepth, int x, int y, int maxWidth,
                 int maxHeight, int flags, QRect& placed) const;

    // Parses a packed DIB (40- or 12-byte header). False when the header size
    // is neither or the sizes do not fit TotalSize.
    static bool ParseDIB(const uint8_t* memory, qint64 totalSize, qint64& bitsSize,
                         qint64& headerSize, const uint8_t*& bits, const uint8_t*& header);

    // Attributes.
    uint8_t FormatIndex = UnknownFormatIndex;
    int32_t SourceFormat = 0;
    QString SourceFile;
    bool CanSaveBack = true;
    int32_t Rotation = 0;
    // What the last load recovered from (damaged data shown in part); empty
    // after a clean load.
    QString LoadWarning;
    int32_t SerialNumber() const { return FSerialNumber; }

protected:
    BITMAPHANDLE* FHandle = nullptr;

private:
    int32_t FSerialNumber;
};

// Fitting a size (w, h) into bounds (W, H) keeping the aspect ratio, centred;
// the empty rectangle when any of the four is 0.
QRect FitSizeInto(QSize size, QSize bounds);

// PrintAt flags.
constexpr int PrintCentreHorizontally = 1;
constexpr int PrintCentreVertically = 2;
constexpr int PrintDither = 4;
// Where PrintAt puts a picture of size Picture on a page: fitted into
// MaxWidth x MaxHeight, kept at that size when it is smaller than the page
// both ways, else scaled into the page; centred, then moved to the left
// (top) edge unless Flags keep that centring.
QRect PlacePrint(QSize picture, QSize page, int maxWidth, int maxHeight, int flags);

// Library-level helpers (log names as given).
bool ResamplePicture(BITMAPHANDLE* handle, QSize size, QString& errorText);
BITMAPHANDLE* CenterCropFromPicture(BITMAPHANDLE* handle, QString& errorText);
