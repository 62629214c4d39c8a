// Saving through the facade: the encoders behind one entry, and files
// written whole through a temporary file and a rename.
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include "platform/paths.h"
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>

using ilib::IsJpegCode;
using ilib::ValidLoadBits;

namespace {

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

}  // namespace

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
