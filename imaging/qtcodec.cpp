// Formats other than JPEG go through Qt's image I/O (with the image-formats
// plugins for TIFF and TGA). The size is checked before anything is decoded.
#include "imaging/ilibint.h"
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
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

}  // namespace

int QtDecode(const uint8_t* data, qint64 size, int format, QImage& image) {
    const char* name = ReaderName(format);
    if (!name) return ERROR_FORMAT_NOT_DECODABLE;
    if (size <= 0) return ERROR_FILE_FORMAT;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return ERROR_FILE_READ;
    QImageReader reader(&buffer, name);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead()) return ERROR_CORRUPT_FILE;
    const QSize claimed = reader.size();
    if (claimed.isValid()) {
        // Qt refuses pictures above its own allocation limit (in MB of 32-bit pixels).
        const qint64 qtLimit = qint64(QImageReader::allocationLimit()) * 1024 * 1024 / 4;
        const qint64 pixels = qint64(claimed.width()) * claimed.height();
        if (claimed.width() > MaxPictureSide || claimed.height() > MaxPictureSide ||
            pixels > MaxPicturePixels || (qtLimit > 0 && pixels > qtLimit))
            return ERROR_IMAGE_TOO_LARGE;
    }
    const bool complete = reader.read(&image);
    if (!complete && !image.isNull() && reader.error() == QImageReader::InvalidDataError) {
        // A PNG cut short: the reader keeps the rows it got.
        AddLoadWarning(QString::fromLatin1(PartialPictureWarning));
        return SUCCESS;
    }
    if (!complete || image.isNull()) {
        image = QImage();
        switch (reader.error()) {
        case QImageReader::DeviceError:
            return ERROR_FILE_READ;
        case QImageReader::UnsupportedFormatError:
            return ERROR_FORMAT_NOT_DECODABLE;
        default:
            return ERROR_CORRUPT_FILE;
        }
    }
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
