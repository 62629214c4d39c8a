// The imaging facade: handle lifetime, loading and saving dispatch, error
// texts, process-wide settings, row access, painting and printing. Codecs and
// pixel operations live in the neighbouring files (see ilibint.h).
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include "platform/paths.h"
#include "shell/tracelog.h"
#include <QFile>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

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

// ---- process-wide settings -------------------------------------------------
std::mutex StatusMutex;
STATUSCALLBACK StatusCallback = nullptr;
void* StatusUserData = nullptr;

std::atomic<int> DisplayMode{0};
std::atomic<int> PCDResolution{3};
std::mutex DimensionMutex;
int DimensionFormat = 0, DimensionWidth = 0, DimensionHeight = 0;
thread_local int LoadScale = 0;
thread_local bool LoadCentreSquare = false;
thread_local QStringList LoadWarnings;

bool ValidLoadBits(int bits) {
    return bits == 0 || bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// ---- comments cache --------------------------------------------------------
// L_ReadFileComment is called once per slot; the file is parsed once and the
// texts kept for a few files, keyed so a changed file is parsed again.
struct TCommentEntry {
    QString FileName;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    QList<QByteArray> Slots;
};
std::mutex CommentMutex;
std::list<TCommentEntry> CommentCache;  // most recent first
constexpr size_t CommentCacheSize = 8;

int CommentsOf(const QString& fileName, QList<QByteArray>& texts) {
    ilib::TFileSource source;
    const int opened = source.Open(fileName);
    if (opened != SUCCESS) return opened;
    {
        std::lock_guard lock(CommentMutex);
        for (auto it = CommentCache.begin(); it != CommentCache.end(); ++it) {
            if (it->FileName == fileName && it->Size == source.Size() &&
                it->ModifiedNs == source.ModifiedNs()) {
                texts = it->Slots;
                CommentCache.splice(CommentCache.begin(), CommentCache, it);
                return SUCCESS;
            }
        }
    }
    const int format = ilib::IdentifyFormat(source);
    if (format == 0) return ERROR_FILE_FORMAT;
    const int read = ilib::ReadComments(source, format, texts);
    if (read != SUCCESS) return read;
    std::lock_guard lock(CommentMutex);
    CommentCache.push_front({fileName, source.Size(), source.ModifiedNs(), texts});
    if (CommentCache.size() > CommentCacheSize) CommentCache.pop_back();
    return SUCCESS;
}

// ---- byte sinks --------------------------------------------------------------
class TArraySink final : public ilib::TByteSink {
public:
    explicit TArraySink(QByteArray& out) : FOut(out) {}
    bool Write(const uint8_t* data, size_t length) override {
        FOut.append(reinterpret_cast<const char*>(data), qsizetype(length));
        return true;
    }

private:
    QByteArray& FOut;
};

bool IsJpegCode(int format) { return format == FILE_JFIF || format == FILE_EXIF_JPEG; }

bool IsGreyPicture(const BITMAPHANDLE& bitmap) {
    const QImage::Format f = bitmap.Image.format();
    if (f == QImage::Format_Grayscale8) return true;
    return f == QImage::Format_Indexed8 && bitmap.BitsPerPixel == 8 &&
           ilib::IsGreyTable(bitmap.Image.colorTable());
}

// Encodes Bitmap (already at the depth to write) into Out.
int EncodeToMemory(QByteArray& out, BITMAPHANDLE& bitmap, int format, int bitsPerPixel,
                   int qualityFactor, FILESAVECALLBACK callback, void* userData) {
    if (!bitmap.IsAllocated()) return ERROR_NO_BITMAP;
    if (qualityFactor < 0 || qualityFactor > 255) return ERROR_QFACTOR;
    out.clear();
    TArraySink sink(out);
    if (IsJpegCode(format)) {
        if (bitsPerPixel != 0 && bitsPerPixel != 8 && bitsPerPixel != 24) return ERROR_BITPERPIXEL;
        ilib::TJpegSave save;
        save.Quality = QualityFactorToJpegQuality(qualityFactor);
        save.Subsample = save.Quality < 90;
        save.Grey = bitsPerPixel == 8 || (bitsPerPixel == 0 && IsGreyPicture(bitmap));
        save.Callback = callback;
        save.UserData = userData;
        save.ReportStatus = callback == nullptr;
        return ilib::JpegEncode(bitmap, sink, save);
    }
    if (format != FILE_TGA && !ilib::QtWriterName(format)) return ERROR_FEATURE_NOT_SUPPORTED;
    if (!ValidLoadBits(bitsPerPixel)) return ERROR_BITPERPIXEL;
    BITMAPHANDLE converted;
    const BITMAPHANDLE* toWrite = &bitmap;
    if (bitsPerPixel != 0 && bitsPerPixel != bitmap.BitsPerPixel) {
        const int flags = bitsPerPixel <= 8 && !IsGreyPicture(bitmap) ? CRF_FIXEDPALETTE : 0;
        const int result = L_ColorResBitmap(&bitmap, &converted, bitsPerPixel, flags);
        if (result != SUCCESS) return result;
        toWrite = &converted;
    }
    QImage image = toWrite->Image;
    if (callback) {
        // The rows come from the callback, in the layout of the picture written.
        QImage gathered(image.width(), image.height(), image.format());
        if (gathered.isNull()) return ERROR_NO_MEMORY;
        gathered.setColorTable(image.colorTable());
        BITMAPHANDLE* target = toWrite == &bitmap ? &bitmap : &converted;
        for (int first = 0; first < image.height(); first += ilib::RowBatch) {
            const int lines = std::min(ilib::RowBatch, image.height() - first);
            const int result = callback(target, gathered.scanLine(first), first, lines, userData);
            if (result != SUCCESS) return result;
        }
        image = gathered;
    } else {
        const int result = ilib::ReportStatus(0);
        if (result != SUCCESS) return result;
    }
    image.setDotsPerMeterX(int(std::lround(toWrite->XResolution / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(toWrite->YResolution / 0.0254)));
    const int result = format == FILE_TGA ? ilib::TgaEncode(image, sink) : ilib::QtEncode(image, format, sink);
    if (result != SUCCESS) return result;
    return callback ? SUCCESS : ilib::ReportStatus(100);
}

// The process's file-creation mask, read without changing it (umask() both
// sets and reads, which would race with other threads creating files).
int CurrentUmask() {
    static const int mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("Umask:")) return line.mid(6).trimmed().toInt(nullptr, 8);
        return 022;
    }();
    return mask;
}

// Writes Data to FileName through a temporary file and a rename, so a failed
// write never leaves the target cut short.
int WriteFileBytes(const QString& fileName, const QByteArray& data) {
    if (fileName.isEmpty()) return ERROR_INV_FILENAME;
    if (Platform::WriteFileAtomically(fileName, data, 0666 & ~CurrentUmask())) return SUCCESS;
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_INV_FILENAME;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_FILE_OPEN;
    default:
        return ERROR_FILE_WRITE;
    }
}

int LoadFromData(const uint8_t* data, qint64 size, BITMAPHANDLE& bitmap, int bitsPerPixel,
                 FILEREADCALLBACK callback, void* userData) {
    if (!ValidLoadBits(bitsPerPixel)) return ERROR_BITPERPIXEL;
    ilib::TMemorySource source(data, size);
    const int format = ilib::IdentifyFormat(source);
    if (format == 0) return ERROR_FILE_FORMAT;
    FILEINFO info;
    if (IsJpegCode(format)) {
        if (callback) {
            const int header = ilib::JpegInfo(source, info);
            if (header != SUCCESS) return header;
        }
        ilib::TJpegLoad load;
        load.BitsPerPixel = bitsPerPixel;
        load.MinShortSide = LoadScale;
        load.CentreSquare = LoadCentreSquare;
        load.Callback = callback;
        load.UserData = userData;
        load.Info = &info;
        load.ReportStatus = callback == nullptr;
        return ilib::JpegDecode(data, size, bitmap, load);
    }
    const int header = ilib::HeaderInfo(source, format, info);
    if (header != SUCCESS) return header;
    const int complete = ilib::CheckComplete(source, format);
    if (complete != SUCCESS) return complete;
    QImage image;
    const int decoded = format == FILE_TGA ? ilib::TgaDecode(data, size, image)
                                           : ilib::QtDecode(data, size, format, image);
    if (decoded != SUCCESS) return decoded;
    BITMAPHANDLE result;
    const int adopted = ilib::AdoptImage(result, std::move(image), bitsPerPixel, info.BitsPerPixel);
    if (adopted != SUCCESS) return adopted;
    // The header's density, not Qt's default of 96 dpi for files without one.
    result.XResolution = info.XResolution;
    result.YResolution = info.YResolution;
    if (callback) {
        const int delivered = ilib::DeliverRows(result, &info, callback, userData);
        if (delivered != SUCCESS) return delivered;
    } else {
        const int status = ilib::ReportStatus(100);
        if (status != SUCCESS) return status;
    }
    bitmap = std::move(result);
    return SUCCESS;
}

int LoadFromFileName(const QString& fileName, pBITMAPHANDLE bitmap, int bitsPerPixel,
                     FILEREADCALLBACK callback, void* userData) {
    ilib::ClearLoadWarning();
    if (!bitmap) return ERROR_INV_PARAMETER;
    L_FreeBitmap(bitmap);
    QByteArray data;
    int result = ilib::ReadWholeFile(fileName, data);
    if (result == SUCCESS) {
        result = LoadFromData(reinterpret_cast<const uint8_t*>(data.constData()), data.size(), *bitmap,
                              bitsPerPixel, callback, userData);
    }
    if (result != SUCCESS) L_FreeBitmap(bitmap);
    return result;
}

// The part of Destination that can show on the painter's device.
QRect PaintedPart(QPainter& painter, const QRect& destination, const QRect& clip) {
    QRect part = destination;
    if (!clip.isEmpty()) part &= clip;
    if (painter.device() && painter.transform().isIdentity())
        part &= QRect(0, 0, painter.device()->width(), painter.device()->height());
    return part;
}

// Bitmap scaled smoothly to Destination, cut to Part (destination coordinates).
QImage ScaledPart(const QImage& image, const QRect& destination, const QRect& part) {
    QImage scaled(part.size(), QImage::Format_RGB32);
    if (scaled.isNull()) return scaled;
    QPainter p(&scaled);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(destination.translated(-part.topLeft()), image);
    p.end();
    return scaled;
}

int PaintImage(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
               const QRect& clip, int effect) {
    if (!bitmap || !bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (!painter.isActive()) return ERROR_INV_PARAMETER;
    if (effect < EFFECT_NONE || effect > EFFECT_LIGHTEN) return ERROR_INV_PARAMETER;
    if (destination.isEmpty()) return SUCCESS;
    painter.save();
    if (!clip.isEmpty()) painter.setClipRect(clip, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QImage image = effect == EFFECT_GREY ? bitmap->Image.convertToFormat(QImage::Format_Grayscale8)
                                         : bitmap->Image;
    const int mode = DisplayMode.load();
    if (mode & DISPLAYMODE_FIXEDPALETTE) {
        // A palette display shows only SharedPalette's colours: scale first,
        // then dither, so that smoothing does not mix new colours back in.
        const QRect part = PaintedPart(painter, destination, clip);
        if (!part.isEmpty()) {
            QImage scaled = ScaledPart(image, destination, part);
            if (effect == EFFECT_DIM) QPainter(&scaled).fillRect(scaled.rect(), QColor(0, 0, 0, 128));
            if (effect == EFFECT_LIGHTEN) QPainter(&scaled).fillRect(scaled.rect(), QColor(255, 255, 255, 96));
            painter.drawImage(part.topLeft(),
                              ilib::DitherToFixedPalette(scaled, (mode & DISPLAYMODE_ORDEREDDITHER) != 0));
        }
        painter.restore();
        return SUCCESS;
    }
    painter.drawImage(destination, image);
    if (effect == EFFECT_DIM) painter.fillRect(destination, QColor(0, 0, 0, 128));
    if (effect == EFFECT_LIGHTEN) painter.fillRect(destination, QColor(255, 255, 255, 96));
    painter.restore();
    return SUCCESS;
}

}  // namespace

// ---- internal helpers shared by the facade's files ---------------------------
namespace ilib {

bool TMemorySource::ReadAt(qint64 offset, void* to, qint64 length) const {
    if (offset < 0 || length < 0 || offset > FSize || length > FSize - offset) return false;
    if (length > 0) std::memcpy(to, FData + offset, size_t(length));
    return true;
}

TFileSource::~TFileSource() {
    if (FFd >= 0) ::close(FFd);
}

int TFileSource::Open(const QString& fileName) {
    if (fileName.isEmpty()) return ERROR_FILENOTFOUND;
    const QByteArray path = QFile::encodeName(fileName);
    FFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILENOTFOUND : ERROR_FILE_OPEN;
    struct stat st;
    if (::fstat(FFd, &st) != 0) return ERROR_FILE_READ;
    if (!S_ISREG(st.st_mode)) return ERROR_FILE_OPEN;
    FSize = st.st_size;
    FModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return SUCCESS;
}

bool TFileSource::ReadAt(qint64 offset, void* to, qint64 length) const {
    if (FFd < 0 || offset < 0 || length < 0 || offset > FSize || length > FSize - offset) return false;
    auto* out = static_cast<char*>(to);
    while (length > 0) {
        const ssize_t n = ::pread(FFd, out, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += n;
        length -= n;
    }
    return true;
}

int ReadWholeFile(const QString& fileName, QByteArray& data) {
    TFileSource file;
    const int opened = file.Open(fileName);
    if (opened != SUCCESS) return opened;
    if (file.Size() > MaxFileBytes) return ERROR_IMAGE_TOO_LARGE;
    data = QByteArray(qsizetype(file.Size()), Qt::Uninitialized);
    if (data.size() != file.Size()) return ERROR_NO_MEMORY;
    // One sequential read of the whole file; the size was taken from fstat.
    char* out = data.data();
    qint64 left = file.Size();
    while (left > 0) {
        const ssize_t n = ::read(file.Descriptor(), out, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ERROR_FILE_READ;
        if (n == 0) break;  // shrank while reading
        out += n;
        left -= n;
    }
    if (left > 0) data.truncate(data.size() - qsizetype(left));
    return SUCCESS;
}

int ReportStatus(int percent) {
    STATUSCALLBACK callback;
    void* userData;
    {
        std::lock_guard lock(StatusMutex);
        callback = StatusCallback;
        userData = StatusUserData;
    }
    return callback ? callback(percent, userData) : SUCCESS;
}

bool HasStatusCallback() {
    std::lock_guard lock(StatusMutex);
    return StatusCallback != nullptr;
}

int DeliverRows(BITMAPHANDLE& bitmap, FILEINFO* info, FILEREADCALLBACK callback, void* userData) {
    const int height = bitmap.Height();
    const qsizetype stride = bitmap.Image.bytesPerLine();
    uint8_t* bits = bitmap.Image.bits();
    for (int first = 0; first < height; first += RowBatch) {
        const int lines = std::min(RowBatch, height - first);
        const int result = callback(info, &bitmap, bits + qsizetype(first) * stride, first, lines, userData);
        if (result != SUCCESS) return result;
    }
    return SUCCESS;
}

void ClearLoadWarning() { LoadWarnings.clear(); }

void AddLoadWarning(const QString& text) {
    if (!text.isEmpty() && !LoadWarnings.contains(text)) LoadWarnings.append(text);
}

void SetCompression(FILEINFO& info, const char* text) {
    std::memset(info.Compression, 0, sizeof info.Compression);
    std::strncpy(info.Compression, text, sizeof info.Compression - 1);
}

}  // namespace ilib

// ---- error texts -------------------------------------------------------------
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

// ---- handle lifetime -----------------------------------------------------------
int L_InitBitmap(pBITMAPHANDLE bitmap, int width, int height, int bitsPerPixel) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    *bitmap = BITMAPHANDLE();
    if (width > 0 && height > 0 && bitsPerPixel > 0)
        return L_AllocateBitmap(bitmap, width, height, bitsPerPixel);
    bitmap->BitsPerPixel = std::max(bitsPerPixel, 0);
    return SUCCESS;
}

int L_AllocateBitmap(pBITMAPHANDLE bitmap, int width, int height, int bitsPerPixel) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    if (width > MaxPictureSide || height > MaxPictureSide || qint64(width) * height > MaxPicturePixels)
        return ERROR_IMAGE_TOO_LARGE;
    const QImage::Format format = ilib::FormatForBits(bitsPerPixel);
    if (format == QImage::Format_Invalid) return ERROR_BITPERPIXEL;
    QImage image(width, height, format);
    if (image.isNull()) return ERROR_NO_MEMORY;
    if (format == QImage::Format_Mono) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    } else if (format == QImage::Format_Indexed8) {
        QList<QRgb> table;
        const int colours = bitsPerPixel == 4 ? 16 : 256;
        for (int i = 0; i < colours; ++i) {
            const int v = i * 255 / (colours - 1);
            table.append(qRgb(v, v, v));
        }
        image.setColorTable(table);
    }
    image.fill(0);
    *bitmap = BITMAPHANDLE();
    bitmap->Image = std::move(image);
    bitmap->BitsPerPixel = bitsPerPixel;
    bitmap->SourceWidth = width;
    bitmap->SourceHeight = height;
    return SUCCESS;
}

int L_FreeBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    *bitmap = BITMAPHANDLE();
    return SUCCESS;
}

// ---- loading -------------------------------------------------------------------
int L_LoadBitmap(const QString& fileName, pBITMAPHANDLE bitmap, int bitsPerPixel, int) {
    return LoadFromFileName(fileName, bitmap, bitsPerPixel, nullptr, nullptr);
}

int L_LoadFile(const QString& fileName, pBITMAPHANDLE bitmap, int bitsPerPixel, int, int,
               FILEREADCALLBACK callback, void* userData) {
    return LoadFromFileName(fileName, bitmap, bitsPerPixel, callback, userData);
}

int L_LoadBitmapMemory(const uint8_t* buffer, qint64 length, pBITMAPHANDLE bitmap, int bitsPerPixel,
                       int order) {
    return L_LoadMemory(buffer, length, bitmap, bitsPerPixel, order, LOADFILE_ALLOCATE, nullptr, nullptr);
}

int L_LoadMemory(const uint8_t* buffer, qint64 length, pBITMAPHANDLE bitmap, int bitsPerPixel, int,
                 int, FILEREADCALLBACK callback, void* userData) {
    ilib::ClearLoadWarning();
    if (!bitmap || (!buffer && length > 0) || length < 0) return ERROR_INV_PARAMETER;
    L_FreeBitmap(bitmap);
    const int result = LoadFromData(buffer, length, *bitmap, bitsPerPixel, callback, userData);
    if (result != SUCCESS) L_FreeBitmap(bitmap);
    return result;
}

QString L_LoadWarning() { return LoadWarnings.join(QStringLiteral("; ")); }

int L_SetLoadCentreSquare(bool centreSquare) {
    LoadCentreSquare = centreSquare;
    return SUCCESS;
}

bool L_GetLoadCentreSquare() { return LoadCentreSquare; }

QRect CentreCutOf(QSize pixels, QSize source, QSize* sourceCut) {
    const qint64 w = pixels.width(), h = pixels.height();
    const qint64 sw = source.width(), sh = source.height();
    // Trust the source size only when it is a plain enlargement of the pixels
    // (a rotated or otherwise changed picture may not have kept it in step).
    const bool scaled = sw > 0 && sh > 0 && (sw > w || sh > h) && sw >= w && sh >= h &&
                        std::llabs(sw * h - sh * w) <= sw + sh;
    if (!scaled) {
        const QRect crop = CenterCropRect(pixels);
        if (sourceCut) *sourceCut = crop.size();
        return crop;
    }
    const QRect square = CenterCropRect(QSize(int(sw), int(sh)));
    const auto map = [](qint64 a, qint64 b, qint64 c) { return int((2 * a * b + c) / (2 * c)); };
    const int left = map(square.left(), w, sw);
    const int top = map(square.top(), h, sh);
    const int right = std::clamp(map(qint64(square.right()) + 1, w, sw), left + 1, int(w));
    const int bottom = std::clamp(map(qint64(square.bottom()) + 1, h, sh), top + 1, int(h));
    if (sourceCut) *sourceCut = square.size();
    return QRect(left, top, right - left, bottom - top);
}

QRect CenterCropRect(QSize size) {
    const int w = size.width(), h = size.height();
    if (h >= w) {
        const int top = (h - w) / 2;
        return QRect(QPoint(0, top), QPoint(w - 1, h - top - 1));
    }
    const int left = (w - h) / 2;
    return QRect(QPoint(left, 0), QPoint(w - left - 1, h - 1));
}

static int InfoFromSource(const ilib::TByteSource& source, pFILEINFO info) {
    const int format = ilib::IdentifyFormat(source);
    if (format == 0) return ERROR_FILE_FORMAT;
    FILEINFO result;
    const int found = IsJpegCode(format) ? ilib::JpegInfo(source, result)
                                          : ilib::HeaderInfo(source, format, result);
    if (found != SUCCESS) return found;
    result.SizeDisk = int(std::min<qint64>(source.Size(), INT32_MAX));
    *info = result;
    return SUCCESS;
}

int L_FileInfo(const QString& fileName, pFILEINFO info, int) {
    if (!info) return ERROR_INV_PARAMETER;
    ilib::TFileSource source;
    const int opened = source.Open(fileName);
    if (opened != SUCCESS) return opened;
    return InfoFromSource(source, info);
}

int L_FileInfoMemory(const uint8_t* buffer, pFILEINFO info, qint64 length, int) {
    if (!info || (!buffer && length > 0) || length < 0) return ERROR_INV_PARAMETER;
    ilib::TMemorySource source(buffer, length);
    return InfoFromSource(source, info);
}

int L_ReadFileComment(const QString& fileName, int index, char* buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0 || index < 0 || index >= ilib::CommentSlots)
        return ERROR_INV_PARAMETER;
    buffer[0] = 0;
    QList<QByteArray> texts;
    const int result = CommentsOf(fileName, texts);
    if (result != SUCCESS) return result;
    const QByteArray& text = texts.value(index);
    const int length = int(std::min<qsizetype>(text.size(), bufferSize - 1));
    std::memcpy(buffer, text.constData(), size_t(length));
    buffer[length] = 0;
    return length;
}

static void DecodeComments(const QList<QByteArray>& raw, QStringList& texts) {
    for (int i = 0; i < ilib::CommentSlots; ++i) {
        const QByteArray& text = raw.value(i);
        const QString decoded = QString::fromUtf8(text);
        // Older cameras write Latin-1; take it as such when it is not UTF-8.
        texts.append(decoded.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(text) : decoded);
    }
}

int L_ReadMemoryComments(const uint8_t* buffer, qint64 length, QStringList& texts) {
    texts.clear();
    if ((!buffer && length > 0) || length < 0) return ERROR_INV_PARAMETER;
    ilib::TMemorySource source(buffer, length);
    const int format = ilib::IdentifyFormat(source);
    if (format == 0) return ERROR_FILE_FORMAT;
    QList<QByteArray> raw;
    const int result = ilib::ReadComments(source, format, raw);
    if (result != SUCCESS) return result;
    DecodeComments(raw, texts);
    return SUCCESS;
}

int L_ReadFileComments(const QString& fileName, QStringList& texts) {
    texts.clear();
    QList<QByteArray> raw;
    const int result = CommentsOf(fileName, raw);
    if (result != SUCCESS) return result;
    DecodeComments(raw, texts);
    return SUCCESS;
}

int L_EnumDimensions(const QString& fileName, QSize* sizes, int& count) {
    (void)sizes;
    count = 0;
    ilib::TFileSource source;
    const int opened = source.Open(fileName);
    if (opened != SUCCESS) return opened;
    const int format = ilib::IdentifyFormat(source);
    if (format == 0) return ERROR_FILE_FORMAT;
    return format == FILE_FPX || format == FILE_PCD ? ERROR_FORMAT_NOT_DECODABLE
                                                     : ERROR_FEATURE_NOT_SUPPORTED;
}

int L_SetDimension(int format, int width, int height) {
    if (width < 0 || height < 0) return ERROR_INV_PARAMETER;
    std::lock_guard lock(DimensionMutex);
    DimensionFormat = format;
    DimensionWidth = width;
    DimensionHeight = height;
    return SUCCESS;
}

int L_GetDimension(int& format, int& width, int& height) {
    std::lock_guard lock(DimensionMutex);
    format = DimensionFormat;
    width = DimensionWidth;
    height = DimensionHeight;
    return SUCCESS;
}

int L_SetPCDResolution(int resolution) {
    if (resolution < 0 || resolution > 5) return ERROR_INV_PARAMETER;
    PCDResolution.store(resolution);
    return SUCCESS;
}

int L_GetPCDResolution() { return PCDResolution.load(); }

int L_SetLoadScale(int minShortSide) {
    LoadScale = std::max(minShortSide, 0);
    return SUCCESS;
}

int L_GetLoadScale() { return LoadScale; }

// ---- saving --------------------------------------------------------------------
int QualityFactorToJpegQuality(int qualityFactor) {
    if (qualityFactor == 0) return 85;
    // Piecewise linear through the library's landmarks: 20 high, 100 medium, 200 low.
    struct TPoint {
        int Factor, Quality;
    };
    constexpr TPoint Points[] = {{2, 98}, {20, 90}, {100, 60}, {200, 25}, {255, 5}};
    const int f = std::clamp(qualityFactor, 2, 255);
    for (size_t i = 1; i < sizeof Points / sizeof Points[0]; ++i) {
        const TPoint a = Points[i - 1], b = Points[i];
        if (f <= b.Factor)
            return a.Quality + ((f - a.Factor) * (b.Quality - a.Quality) - (b.Factor - a.Factor) / 2) /
                                   (b.Factor - a.Factor);
    }
    return 5;
}

int L_SaveBitmapMemory(QByteArray& out, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
                       int qualityFactor) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    QByteArray encoded;
    const int result = EncodeToMemory(encoded, *bitmap, format, bitsPerPixel, qualityFactor, nullptr, nullptr);
    if (result == SUCCESS) out = std::move(encoded);
    return result;
}

int L_SaveJpegMemory(QByteArray& out, pBITMAPHANDLE bitmap, int quality, bool subsample) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (quality < 1 || quality > 100) return ERROR_QFACTOR;
    QByteArray encoded;
    TArraySink sink(encoded);
    ilib::TJpegSave save;
    save.Quality = quality;
    save.Subsample = subsample;
    save.Grey = IsGreyPicture(*bitmap);
    const int result = ilib::JpegEncode(*bitmap, sink, save);
    if (result == SUCCESS) out = std::move(encoded);
    return result;
}

int L_SaveFile(const QString& fileName, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
               int qualityFactor, int, FILESAVECALLBACK callback, void* userData) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (fileName.isEmpty()) return ERROR_INV_FILENAME;
    // Encoded completely before the file is touched: a stop or an encoding
    // error leaves whatever was at FileName alone.
    QByteArray encoded;
    const int result = EncodeToMemory(encoded, *bitmap, format, bitsPerPixel, qualityFactor, callback, userData);
    if (result != SUCCESS) return result;
    return WriteFileBytes(fileName, encoded);
}

int L_SaveBitmap(const QString& fileName, pBITMAPHANDLE bitmap, int format, int bitsPerPixel,
                 int qualityFactor) {
    return L_SaveFile(fileName, bitmap, format, bitsPerPixel, qualityFactor, 0, nullptr, nullptr);
}

// ---- row access ------------------------------------------------------------------
int L_AccessBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    ++bitmap->Accessed;
    return SUCCESS;
}

int L_ReleaseBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (bitmap->Accessed <= 0) return ERROR_INV_PARAMETER;
    --bitmap->Accessed;
    return SUCCESS;
}

// Bytes may span several rows of the bitmap's layout, starting at Row.
int L_PutBitmapRow(pBITMAPHANDLE bitmap, const uint8_t* buffer, int row, qint64 bytes) {
    if (!bitmap || !buffer || bytes < 0) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const qint64 stride = bitmap->Image.bytesPerLine();
    if (row < 0 || row >= bitmap->Height() || bytes > (bitmap->Height() - row) * stride)
        return ERROR_INV_RANGE;
    const uint8_t* current = bitmap->Image.constBits() + row * stride;
    if (current == buffer || bytes == 0) return SUCCESS;  // the decoder filled the rows in place
    std::memmove(bitmap->Image.bits() + row * stride, buffer, size_t(bytes));
    return SUCCESS;
}

int L_GetBitmapRow(const BITMAPHANDLE* bitmap, uint8_t* buffer, int row, qint64 bytes) {
    if (!bitmap || !buffer || bytes < 0) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const qint64 stride = bitmap->Image.bytesPerLine();
    if (row < 0 || row >= bitmap->Height() || bytes > (bitmap->Height() - row) * stride)
        return ERROR_INV_RANGE;
    const uint8_t* from = bitmap->Image.constBits() + row * stride;
    if (from != buffer) std::memmove(buffer, from, size_t(bytes));
    return SUCCESS;
}

// ---- painting and printing ----------------------------------------------------------
int L_GetDisplayMode() { return DisplayMode.load(); }

int L_SetDisplayMode(int mask, int value) {
    int old = DisplayMode.load();
    while (!DisplayMode.compare_exchange_weak(old, (old & ~mask) | (value & mask))) {
    }
    return old;
}

int L_PaintDC(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination, const QRect& clip) {
    return PaintImage(painter, bitmap, destination, clip, EFFECT_NONE);
}

int L_PaintDCEffect(QPainter& painter, const BITMAPHANDLE* bitmap, const QRect& destination,
                    const QRect& clip, int effect) {
    return PaintImage(painter, bitmap, destination, clip, effect);
}

int L_PrintBitmapExt(QPainter& printerPainter, const BITMAPHANDLE* bitmap, int x, int y, int width,
                     int height, int) {
    if (!bitmap || !bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    if (!printerPainter.isActive()) return ERROR_PRINTER;
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    printerPainter.save();
    printerPainter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRect destination(x, y, width, height);
    if (DisplayMode.load() & DISPLAYMODE_PRINTDITHER) {
        // A black-and-white printer gets the dithered picture at its own
        // resolution instead of thresholding every grey to black or white.
        const QImage scaled = ScaledPart(bitmap->Image, destination, destination);
        if (scaled.isNull()) {
            printerPainter.restore();
            return ERROR_NO_MEMORY;
        }
        printerPainter.drawImage(destination.topLeft(),
                                 scaled.convertToFormat(QImage::Format_Mono, Qt::DiffuseDither | Qt::MonoOnly));
    } else {
        printerPainter.drawImage(destination, bitmap->Image);
    }
    printerPainter.restore();
    return SUCCESS;
}

QList<QRgb> L_CreatePaintPalette(QPainter&, const BITMAPHANDLE* bitmap) {
    if (!bitmap || !bitmap->IsAllocated()) return {};
    if (bitmap->BitsPerPixel <= 8 && !bitmap->Image.colorTable().isEmpty()) return bitmap->Image.colorTable();
    if (bitmap->BitsPerPixel <= 8 && bitmap->Image.format() == QImage::Format_Grayscale8) {
        QList<QRgb> greys;
        for (int v = 0; v < 256; ++v) greys.append(qRgb(v, v, v));
        return greys;
    }
    if (DisplayMode.load() & DISPLAYMODE_FIXEDPALETTE) return ilib::FixedPalette();
    return {};
}

const QList<QRgb>& L_SharedPalette() { return ilib::FixedPalette(); }

QImage L_ToQImage(const BITMAPHANDLE* bitmap) { return bitmap ? bitmap->Image : QImage(); }

// ---- status -----------------------------------------------------------------------------
int L_SetStatusCallBack(STATUSCALLBACK callback, void* userData) {
    std::lock_guard lock(StatusMutex);
    StatusCallback = callback;
    StatusUserData = userData;
    return SUCCESS;
}
