// Formats other than JPEG go through Qt's image I/O (with the image-formats
// plugins for TIFF and TGA). The size is checked before anything is decoded.
#include "imaging/ilibint.h"
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cstring>
#include <mutex>

namespace ilib {
namespace {

const char* ReaderName(int format) {
    switch (format) {
    case FILE_BMP:
    case FILE_OS2:
    case FILE_OS2_2:
    case FILE_BMP_RLE:
        return "bmp";
    case FILE_PNG:
        return "png";
    case FILE_GIF:
        return "gif";
    case FILE_TIF:
    case FILE_TIFLZW:
        return "tiff";
    case FILE_TGA:
        return "tga";
    default:
        return nullptr;
    }
}

bool CanWrite(const char* name) {
    static std::once_flag once;
    static QList<QByteArray> formats;
    std::call_once(once, [] { formats = QImageWriter::supportedImageFormats(); });
    return formats.contains(QByteArray(name));
}

// One read of the file by Qt into a picture whose every byte was Fill
// before; Qt reads into a picture of the size and format it needs when it
// is handed one. Whole is false when the reader stopped at damaged data.
struct TRead {
    QImage Image;
    bool Whole = false;
    bool IntoCanvas = false;  // Qt wrote into the picture prepared for it
    QImageReader::ImageReaderError Error = QImageReader::UnknownError;
};

TRead ReadWithFill(const QByteArray& bytes, const char* name, QSize size, QImage::Format format, uchar fill) {
    TRead read;
    QByteArray shared = bytes;
    QBuffer buffer(&shared);
    if (!buffer.open(QIODevice::ReadOnly)) return read;
    QImageReader reader(&buffer, name);
    reader.setDecideFormatFromContent(false);
    const uchar* canvas = nullptr;
    if (size.isValid() && format != QImage::Format_Invalid) {
        read.Image = QImage(size, format);
        if (!read.Image.isNull()) {
            std::memset(read.Image.bits(), fill, size_t(read.Image.sizeInBytes()));
            canvas = read.Image.constBits();
        }
    }
    read.Whole = reader.read(&read.Image);
    read.Error = reader.error();
    read.IntoCanvas = canvas && read.Image.constBits() == canvas;
    return read;
}

bool SamePixel(const QImage& a, const QImage& b, int x, int y, int bytes) {
    if (bytes == 0) return a.pixelIndex(x, y) == b.pixelIndex(x, y);  // fewer than 8 bits a pixel
    return std::memcmp(a.constScanLine(y) + qsizetype(x) * bytes, b.constScanLine(y) + qsizetype(x) * bytes,
                       size_t(bytes)) == 0;
}

// A picture Qt read only in part holds, where nothing was read, what its
// memory held before: pixels of an earlier photo. Read twice, into memory
// of all zero bits and of all one bits, a pixel the file gave is the same
// both times and any other differs; those are painted MissingPixelColour.
// False when Qt did not read into the memory prepared for it, so the two
// reads cannot tell the pixels apart.
bool FillMissingPixels(const QByteArray& bytes, const char* name, const TRead& zeros, QImage& image) {
    const TRead ones = ReadWithFill(bytes, name, zeros.Image.size(), zeros.Image.format(), 0xFF);
    if (!zeros.IntoCanvas || !ones.IntoCanvas || ones.Image.size() != zeros.Image.size() ||
        ones.Image.format() != zeros.Image.format())
        return false;
    const int depth = zeros.Image.depth();
    const int bytesPerPixel = depth >= 8 ? depth / 8 : 0;
    QImage out = zeros.Image.convertToFormat(zeros.Image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                           : QImage::Format_RGB32);
    if (out.isNull()) return false;
    bool anyGiven = false;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (SamePixel(zeros.Image, ones.Image, x, y, bytesPerPixel))
                anyGiven = true;
            else
                row[x] = MissingPixelColour;
        }
    }
    if (!anyGiven) return false;
    image = std::move(out);
    return true;
}

}  // namespace

int QtDecode(const uint8_t* data, qint64 size, int format, QImage& image, bool& partial) {
    const char* name = ReaderName(format);
    if (!name) return ERROR_FORMAT_NOT_DECODABLE;
    if (size <= 0) return ERROR_FILE_FORMAT;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QSize claimed;
    QImage::Format heldFormat = QImage::Format_Invalid;
    {
        QByteArray shared = bytes;
        QBuffer buffer(&shared);
        if (!buffer.open(QIODevice::ReadOnly)) return ERROR_FILE_READ;
        QImageReader reader(&buffer, name);
        reader.setDecideFormatFromContent(false);
        if (!reader.canRead()) return ERROR_CORRUPT_FILE;
        claimed = reader.size();
        heldFormat = reader.imageFormat();
    }
    if (claimed.isValid()) {
        // Qt refuses pictures above its own allocation limit (in MB of 32-bit pixels).
        const qint64 qtLimit = qint64(QImageReader::allocationLimit()) * 1024 * 1024 / 4;
        const qint64 pixels = qint64(claimed.width()) * claimed.height();
        if (claimed.width() > MaxPictureSide || claimed.height() > MaxPictureSide ||
            pixels > MaxPicturePixels || (qtLimit > 0 && pixels > qtLimit))
            return ERROR_IMAGE_TOO_LARGE;
    }
    TRead read = ReadWithFill(bytes, name, claimed, heldFormat, 0x00);
    // A PNG cut short ends with an error and the rows it got; a BMP cut
    // short ends without one (the identifier saw that its data is short).
    partial = !read.Image.isNull() && (partial || (!read.Whole && read.Error == QImageReader::InvalidDataError));
    if (partial) {
        if (!FillMissingPixels(bytes, name, read, image)) return ERROR_CORRUPT_FILE;
        AddLoadWarning(QString::fromLatin1(PartialPictureWarning));
        return SUCCESS;
    }
    if (!read.Whole || read.Image.isNull()) {
        image = QImage();
        switch (read.Error) {
        case QImageReader::DeviceError:
            return ERROR_FILE_READ;
        case QImageReader::UnsupportedFormatError:
            return ERROR_FORMAT_NOT_DECODABLE;
        default:
            return ERROR_CORRUPT_FILE;
        }
    }
    image = std::move(read.Image);
    return SUCCESS;
}

const char* QtWriterName(int format) {
    const char* name = nullptr;
    switch (format) {
    case FILE_BMP:
        name = "bmp";
        break;
    case FILE_PNG:
        name = "png";
        break;
    case FILE_TIF:
    case FILE_TIFLZW:
        name = "tiff";
        break;
    case FILE_TGA:
        name = "tga";
        break;
    default:
        return nullptr;
    }
    return CanWrite(name) ? name : nullptr;
}

int QtEncode(const QImage& image, int format, TByteSink& sink) {
    const char* name = QtWriterName(format);
    if (!name) return ERROR_FEATURE_NOT_SUPPORTED;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return ERROR_NO_MEMORY;
    QImageWriter writer(&buffer, name);
    if (format == FILE_TIFLZW) writer.setCompression(1);  // LZW in Qt's TIFF writer
    if (!writer.write(image)) {
        return writer.error() == QImageWriter::UnsupportedFormatError ? ERROR_FEATURE_NOT_SUPPORTED
                                                                       : ERROR_FILE_WRITE;
    }
    buffer.close();
    return sink.Write(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()))
               ? SUCCESS
               : ERROR_FILE_WRITE;
}

}  // namespace ilib
