// Loading through the facade: the dispatch to the decoders, identification
// and comments (with the comment cache), the per-thread load settings (DCT
// scale, centre cut, warnings) and the process-wide size choices of the
// multi-resolution formats.
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <list>
#include <mutex>

using ilib::IsJpegCode;
using ilib::ValidLoadBits;

namespace {

std::atomic<int> PCDResolution{3};
std::mutex DimensionMutex;
int DimensionFormat = 0, DimensionWidth = 0, DimensionHeight = 0;
thread_local int LoadScale = 0;
thread_local bool LoadCentreSquare = false;
thread_local QStringList LoadWarnings;

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
    bool partial = false;
    const int complete = ilib::CheckComplete(source, format, partial);
    if (complete != SUCCESS) return complete;
    QImage image;
    const int decoded = format == FILE_TGA ? ilib::TgaDecode(data, size, image)
                                           : ilib::QtDecode(data, size, format, image, partial);
    if (decoded != SUCCESS) return decoded;
    if (!ilib::ConvertSpaceToSrgb(image)) return ERROR_NO_MEMORY;
    BITMAPHANDLE result;
    const int ownBits = partial ? 24 : info.BitsPerPixel;
    const int adopted = ilib::AdoptImage(result, std::move(image), bitsPerPixel, ownBits);
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


}  // namespace

namespace ilib {

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


}  // namespace ilib

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
