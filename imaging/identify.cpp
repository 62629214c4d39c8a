// Identification by signature, header facts of the formats we do not hand to
// libjpeg, and the comment texts of JPEG (EXIF, COM) and TIFF files. Every read
// is bounded and checked; IFDs and segments are walked in loops, never by
// recursion.
#include "imaging/ilibint.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace ilib {
namespace {

constexpr qint64 HeadBytes = 4096;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]); }

struct THead {
    uint8_t Bytes[HeadBytes] = {};
    qint64 Length = 0;
    bool Starts(const char* text, qint64 at = 0) const {
        const qint64 n = qint64(std::strlen(text));
        return at + n <= Length && std::memcmp(Bytes + at, text, size_t(n)) == 0;
    }
};

bool ReadHead(const TByteSource& source, THead& head) {
    head.Length = std::min(source.Size(), HeadBytes);
    return head.Length > 0 && source.ReadAt(0, head.Bytes, head.Length);
}

bool IsBmpHeaderSize(uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

bool LooksLikePcx(const THead& h) {
    if (h.Length < 128 || h.Bytes[0] != 0x0A) return false;
    const uint8_t version = h.Bytes[1], encoding = h.Bytes[2], bits = h.Bytes[3], planes = h.Bytes[65];
    if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5) return false;
    if (encoding > 1 || (bits != 1 && bits != 2 && bits != 4 && bits != 8)) return false;
    if (planes < 1 || planes > 4) return false;
    return Le16(h.Bytes + 8) >= Le16(h.Bytes + 4) && Le16(h.Bytes + 10) >= Le16(h.Bytes + 6);
}

// TGA has no magic at the start: a version 2 file ends in a footer, older
// ones are accepted only when every header field is plausible.
bool LooksLikeTga(const TByteSource& source, const THead& h) {
    const qint64 size = source.Size();
    if (size >= 44) {
        uint8_t footer[18];
        if (source.ReadAt(size - 18, footer, 18) && std::memcmp(footer, "TRUEVISION-XFILE.\0", 18) == 0)
            return true;
    }
    if (h.Length < 18) return false;
    const uint8_t* b = h.Bytes;
    const int idLength = b[0], mapType = b[1], type = b[2];
    const int mapLength = Le16(b + 5), mapDepth = b[7];
    const int width = Le16(b + 12), height = Le16(b + 14), depth = b[16], descriptor = b[17];
    if (mapType > 1 || width == 0 || height == 0 || (descriptor & 0xC0) != 0) return false;
    const bool mapped = type == 1 || type == 9, truecolour = type == 2 || type == 10,
               grey = type == 3 || type == 11;
    if (!mapped && !truecolour && !grey) return false;
    if (mapped && (mapType != 1 || (depth != 8 && depth != 16))) return false;
    if (truecolour && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
    if (grey && depth != 8 && depth != 16) return false;
    qint64 mapBytes = 0;
    if (mapType == 1) {
        if (mapLength == 0 || (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32))
            return false;
        mapBytes = qint64(mapLength) * ((mapDepth + 7) / 8);
    } else if (mapLength != 0) {
        return false;
    }
    qint64 least = 18 + idLength + mapBytes;
    least += type < 9 ? qint64(width) * height * ((depth + 7) / 8) : 1;
    return size >= least;
}

// ---- TIFF structure, shared by TIFF files and EXIF segments ----
struct TTiffEntry {
    uint16_t Tag, Type;
    uint32_t Count;
    uint8_t Value[4];
};

class TTiffReader {
public:
    TTiffReader(const TByteSource& source, qint64 base, qint64 limit) : FSource(source), FBase(base), FLimit(limit) {}

    bool Start(uint32_t& firstIfd) {
        uint8_t h[8];
        if (!Read(0, h, 8)) return false;
        if (h[0] == 'I' && h[1] == 'I') FLittle = true;
        else if (h[0] == 'M' && h[1] == 'M') FLittle = false;
        else return false;
        if (U16(h + 2) != 42) return false;
        firstIfd = U32(h + 4);
        return true;
    }

    // Reads the entries of the IFD at Offset (relative to the TIFF header).
    bool ReadIfd(uint32_t offset, QList<TTiffEntry>& entries) {
        entries.clear();
        uint8_t countBytes[2];
        if (offset < 8 || !Read(offset, countBytes, 2)) return false;
        const int count = U16(countBytes);
        if (count == 0 || count > 1000) return false;
        QByteArray raw(count * 12, Qt::Uninitialized);
        if (!Read(qint64(offset) + 2, raw.data(), raw.size())) return false;
        for (int i = 0; i < count; ++i) {
            const auto* e = reinterpret_cast<const uint8_t*>(raw.constData()) + i * 12;
            TTiffEntry entry;
            entry.Tag = U16(e);
            entry.Type = U16(e + 2);
            entry.Count = U32(e + 4);
            std::memcpy(entry.Value, e + 8, 4);
            entries.append(entry);
        }
        return true;
    }

    // An ASCII value up to its first zero byte, trailing blanks removed.
    QByteArray Text(const TTiffEntry& e) {
        if (e.Type != 2 && e.Type != 1 && e.Type != 7) return {};
        const qint64 length = std::min<qint64>(e.Count, 65535);
        QByteArray text;
        if (length <= 4) {
            text = QByteArray(reinterpret_cast<const char*>(e.Value), qsizetype(length));
        } else {
            text = QByteArray(qsizetype(length), Qt::Uninitialized);
            if (!Read(U32(e.Value), text.data(), length)) return {};
        }
        const qsizetype zero = text.indexOf('\0');
        if (zero >= 0) text.truncate(zero);
        while (!text.isEmpty() && (text.endsWith(' ') || text.endsWith('\n') || text.endsWith('\r')))
            text.chop(1);
        return text;
    }

    // The first value of a SHORT or LONG entry.
    bool Number(const TTiffEntry& e, uint32_t& value) {
        if (e.Count == 0) return false;
        if (e.Type == 3) {
            if (e.Count <= 2) {
                value = U16(e.Value);
                return true;
            }
            uint8_t b[2];
            if (!Read(U32(e.Value), b, 2)) return false;
            value = U16(b);
            return true;
        }
        if (e.Type == 4) {
            if (e.Count == 1) {
                value = U32(e.Value);
                return true;
            }
            uint8_t b[4];
            if (!Read(U32(e.Value), b, 4)) return false;
            value = U32(b);
            return true;
        }
        return false;
    }

    bool Rational(const TTiffEntry& e, double& value) {
        if (e.Type != 5 || e.Count == 0) return false;
        uint8_t b[8];
        if (!Read(U32(e.Value), b, 8)) return false;
        const uint32_t den = U32(b + 4);
        if (den == 0) return false;
        value = double(U32(b)) / den;
        return true;
    }

private:
    bool Read(qint64 offset, void* to, qint64 length) {
        if (offset < 0 || length < 0 || offset + length > FLimit) return false;
        return FSource.ReadAt(FBase + offset, to, length);
    }
    uint16_t U16(const uint8_t* p) const { return FLittle ? Le16(p) : Be16(p); }
    uint32_t U32(const uint8_t* p) const { return FLittle ? Le32(p) : Be32(p); }

    const TByteSource& FSource;
    qint64 FBase, FLimit;
    bool FLittle = true;
};

int SlotOfTag(uint16_t tag) {
    switch (tag) {
    case 0x13B: return 0;   // Artist
    case 0x8298: return 1;  // Copyright
    case 0x132: return 2;   // DateTime
    case 0x10E: return 3;   // ImageDescription
    case 0x13C: return 4;   // HostComputer
    case 0x10F: return 5;   // Make
    case 0x110: return 6;   // Model
    case 0x10D: return 7;   // DocumentName
    case 0x11D: return 8;   // PageName
    case 0x131: return 9;   // Software
    default: return -1;
    }
}

// IFD0 of a TIFF structure into the texts, plus DateTimeOriginal of the EXIF
// sub-IFD when IFD0 has no date (one level, no recursion).
void TiffComments(const TByteSource& source, qint64 base, qint64 limit, QList<QByteArray>& texts) {
    TTiffReader reader(source, base, limit);
    uint32_t first = 0;
    QList<TTiffEntry> entries;
    if (!reader.Start(first) || !reader.ReadIfd(first, entries)) return;
    uint32_t exifIfd = 0;
    for (const TTiffEntry& e : entries) {
        const int slot = SlotOfTag(e.Tag);
        if (slot >= 0 && texts[slot].isEmpty()) texts[slot] = reader.Text(e);
        if (e.Tag == 0x8769) reader.Number(e, exifIfd);
    }
    if (texts[2].isEmpty() && exifIfd != 0 && reader.ReadIfd(exifIfd, entries)) {
        for (const TTiffEntry& e : entries)
            if (e.Tag == 0x9003) texts[2] = reader.Text(e);
    }
}

// The Orientation entry (0x0112) of IFD0; 1 when it is missing or holds
// anything but one of the eight values the tag defines.
int TiffOrientation(const TByteSource& source, qint64 base, qint64 limit) {
    TTiffReader reader(source, base, limit);
    uint32_t first = 0;
    QList<TTiffEntry> entries;
    if (!reader.Start(first) || !reader.ReadIfd(first, entries)) return 1;
    for (const TTiffEntry& e : entries) {
        uint32_t value = 0;
        if (e.Tag == 0x0112 && e.Type == 3 && reader.Number(e, value)) return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

void JpegComments(const TByteSource& source, QList<QByteArray>& texts) {
    const qint64 size = source.Size();
    qint64 position = 2;
    bool sawExif = false;
    QByteArray firstComment;
    for (int segments = 0; segments < 4096 && position + 4 <= size; ++segments) {
        uint8_t marker[4];
        if (!source.ReadAt(position, marker, 2)) break;
        if (marker[0] != 0xFF) break;
        if (marker[1] == 0xFF) {  // fill byte
            ++position;
            continue;
        }
        const uint8_t code = marker[1];
        if (code == 0xDA || code == 0xD9) break;  // pixel data or end: no more headers
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            position += 2;
            continue;
        }
        if (!source.ReadAt(position + 2, marker + 2, 2)) break;
        const qint64 length = Be16(marker + 2);
        if (length < 2 || position + 2 + length > size) break;
        const qint64 data = position + 4, dataLength = length - 2;
        if (code == 0xE1 && !sawExif && dataLength > 14) {
            uint8_t id[6];
            if (source.ReadAt(data, id, 6) && std::memcmp(id, "Exif\0\0", 6) == 0) {
                sawExif = true;
                TiffComments(source, data + 6, dataLength - 6, texts);
            }
        } else if (code == 0xFE && firstComment.isEmpty() && dataLength > 0) {
            firstComment = QByteArray(qsizetype(dataLength), Qt::Uninitialized);
            if (!source.ReadAt(data, firstComment.data(), dataLength)) firstComment.clear();
            const qsizetype zero = firstComment.indexOf('\0');
            if (zero >= 0) firstComment.truncate(zero);
        }
        position += 2 + length;
    }
    if (texts[3].isEmpty()) texts[3] = firstComment;
}

int Dpi(double perUnit, int unit) {
    if (perUnit <= 0) return 0;
    return int(std::lround(unit == 3 ? perUnit * 2.54 : perUnit));
}

int TiffInfo(const TByteSource& source, FILEINFO& info) {
    TTiffReader reader(source, 0, source.Size());
    uint32_t first = 0;
    QList<TTiffEntry> entries;
    if (!reader.Start(first) || !reader.ReadIfd(first, entries)) return ERROR_CORRUPT_FILE;
    uint32_t width = 0, height = 0, bitsPerSample = 1, samples = 1, compression = 1, unit = 2;
    double xRes = 0, yRes = 0;
    for (const TTiffEntry& e : entries) {
        switch (e.Tag) {
        case 256: reader.Number(e, width); break;
        case 257: reader.Number(e, height); break;
        case 258: reader.Number(e, bitsPerSample); break;
        case 259: reader.Number(e, compression); break;
        case 277: reader.Number(e, samples); break;
        case 282: reader.Rational(e, xRes); break;
        case 283: reader.Rational(e, yRes); break;
        case 296: reader.Number(e, unit); break;
        default: break;
        }
    }
    info.Format = FILE_TIF;
    info.Width = int(std::min<uint32_t>(width, INT32_MAX));
    info.Height = int(std::min<uint32_t>(height, INT32_MAX));
    info.BitsPerPixel = int(std::min<uint32_t>(bitsPerSample * std::min<uint32_t>(samples, 4), 64));
    if (samples == 1 && bitsPerSample == 16) info.BitsPerPixel = 8;  // grey, held as 8-bit grey
    info.XResolution = Dpi(xRes, int(unit));
    info.YResolution = Dpi(yRes, int(unit));
    const char* name = "NONE";
    switch (compression) {
    case 1: name = "NONE"; break;
    case 2: name = "CCITT RLE"; break;
    case 3: name = "CCITT G3"; break;
    case 4: name = "CCITT G4"; break;
    case 5: name = "LZW"; break;
    case 6:
    case 7: name = "JPEG"; break;
    case 8:
    case 32946: name = "ZIP"; break;
    case 32773: name = "PACKBITS"; break;
    default: name = "UNKNOWN"; break;
    }
    SetCompression(info, name);
    return SUCCESS;
}

// Walks the PNG chunks before the pixel data for pHYs; bounded by a count.
void PngResolution(const TByteSource& source, FILEINFO& info) {
    qint64 position = 8;
    for (int chunks = 0; chunks < 256; ++chunks) {
        uint8_t head[8];
        if (!source.ReadAt(position, head, 8)) return;
        const qint64 length = Be32(head);
        if (std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0) return;
        if (std::memcmp(head + 4, "pHYs", 4) == 0 && length == 9) {
            uint8_t p[9];
            if (source.ReadAt(position + 8, p, 9) && p[8] == 1) {
                info.XResolution = int(std::lround(Be32(p) * 0.0254));
                info.YResolution = int(std::lround(Be32(p + 4) * 0.0254));
            }
            return;
        }
        position += 12 + length;
    }
}

}  // namespace

int IdentifyFormat(const TByteSource& source) {
    THead h;
    if (!ReadHead(source, h) || h.Length < 2) return 0;
    const uint8_t* b = h.Bytes;
    if (h.Length >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return FILE_JFIF;
    if (h.Starts("BM") && h.Length >= 18) {
        const uint32_t headerSize = Le32(b + 14);
        if (IsBmpHeaderSize(headerSize)) {
            if (headerSize == 12) return FILE_OS2;
            if (headerSize == 64) return FILE_OS2_2;
            if (h.Length >= 34) {
                const uint32_t compression = Le32(b + 30);
                if (compression == 1 || compression == 2) return FILE_BMP_RLE;
            }
            return FILE_BMP;
        }
    }
    if (h.Starts("\x89PNG\r\n\x1a\n")) return FILE_PNG;
    if (h.Starts("GIF87a") || h.Starts("GIF89a")) return FILE_GIF;
    if (h.Length >= 8 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                          (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42)))
        return FILE_TIF;
    if (h.Starts("8BPS")) return FILE_PSD;
    if (h.Length >= 4 && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A) return FILE_WMF;
    if (h.Starts("%!PS-Adobe") || (h.Length >= 4 && b[0] == 0xC5 && b[1] == 0xD0 && b[2] == 0xD3 && b[3] == 0xC6))
        return FILE_EPS;
    if (h.Length >= 32 && Be32(b) == 0x59A66A95u) return FILE_RAS;
    if (h.Starts("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return FILE_FPX;
    if (h.Starts("PCD_IPI", 0x800)) return FILE_PCD;
    if (LooksLikePcx(h)) return FILE_PCX;
    if (LooksLikeTga(source, h)) return FILE_TGA;
    return 0;
}

int HeaderInfo(const TByteSource& source, int format, FILEINFO& info) {
    THead h;
    if (!ReadHead(source, h)) return ERROR_FILE_READ;
    const uint8_t* b = h.Bytes;
    info = FILEINFO();
    info.Format = format;
    info.SizeDisk = int(std::min<qint64>(source.Size(), INT32_MAX));
    switch (format) {
    case FILE_BMP:
    case FILE_BMP_RLE:
    case FILE_OS2_2:
        if (h.Length < 54) return ERROR_CORRUPT_FILE;
        info.Width = int(Le32(b + 18));
        // A negative height means top-down rows; -2^31 has no positive twin.
        if (int32_t(Le32(b + 22)) == INT32_MIN) return ERROR_CORRUPT_FILE;
        info.Height = std::abs(int32_t(Le32(b + 22)));
        info.BitsPerPixel = Le16(b + 28);
        info.XResolution = int(std::lround(int(Le32(b + 38)) * 0.0254));
        info.YResolution = int(std::lround(int(Le32(b + 42)) * 0.0254));
        SetCompression(info, format == FILE_BMP_RLE ? "RLE" : (Le32(b + 30) == 3 ? "BITFIELDS" : "NONE"));
        break;
    case FILE_OS2:
        if (h.Length < 26) return ERROR_CORRUPT_FILE;
        info.Width = Le16(b + 18);
        info.Height = Le16(b + 20);
        info.BitsPerPixel = Le16(b + 24);
        SetCompression(info, "NONE");
        break;
    case FILE_PNG: {
        if (h.Length < 29 || std::memcmp(b + 12, "IHDR", 4) != 0) return ERROR_CORRUPT_FILE;
        info.Width = int(std::min<uint32_t>(Be32(b + 16), INT32_MAX));
        info.Height = int(std::min<uint32_t>(Be32(b + 20), INT32_MAX));
        const int depth = b[24], colourType = b[25];
        const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        info.BitsPerPixel = depth * channels;
        if (colourType == 0 && depth == 16) info.BitsPerPixel = 8;  // held as 8-bit grey
        if (colourType == 4) info.BitsPerPixel = 32;  // grey with alpha is shown as colour
        SetCompression(info, "DEFLATE");
        PngResolution(source, info);
        break;
    }
    case FILE_GIF:
        if (h.Length < 13) return ERROR_CORRUPT_FILE;
        info.Width = Le16(b + 6);
        info.Height = Le16(b + 8);
        info.BitsPerPixel = (b[10] & 0x80) ? (b[10] & 7) + 1 : 8;
        SetCompression(info, "LZW");
        break;
    case FILE_TIF: {
        const int result = TiffInfo(source, info);
        if (result != SUCCESS) return result;
        info.SizeDisk = int(std::min<qint64>(source.Size(), INT32_MAX));
        break;
    }
    case FILE_TGA:
        if (h.Length < 18 || !TgaDepthsDefined(b)) return ERROR_CORRUPT_FILE;
        info.Width = Le16(b + 12);
        info.Height = Le16(b + 14);
        info.BitsPerPixel = b[16] == 15 ? 16 : b[16];
        if ((b[2] == 3 || b[2] == 11) && b[16] == 16) info.BitsPerPixel = 8;  // grey and alpha: grey
        SetCompression(info, b[2] >= 9 ? "RLE" : "NONE");
        break;
    case FILE_PCX:
        info.Width = Le16(b + 8) - Le16(b + 4) + 1;
        info.Height = Le16(b + 10) - Le16(b + 6) + 1;
        info.BitsPerPixel = b[3] * b[65];
        info.XResolution = Le16(b + 12);
        info.YResolution = Le16(b + 14);
        SetCompression(info, b[2] ? "RLE" : "NONE");
        break;
    case FILE_PSD:
        if (h.Length < 26) return ERROR_CORRUPT_FILE;
        info.Height = int(std::min<uint32_t>(Be32(b + 14), INT32_MAX));
        info.Width = int(std::min<uint32_t>(Be32(b + 18), INT32_MAX));
        info.BitsPerPixel = Be16(b + 22) * std::min<int>(Be16(b + 12), 3);
        break;
    case FILE_RAS:
        info.Width = int(std::min<uint32_t>(Be32(b + 4), INT32_MAX));
        info.Height = int(std::min<uint32_t>(Be32(b + 8), INT32_MAX));
        info.BitsPerPixel = int(std::min<uint32_t>(Be32(b + 12), 32));
        SetCompression(info, Be32(b + 20) == 2 ? "RLE" : "NONE");
        break;
    case FILE_PCD:
        // The base image of a Photo CD pack; the larger ones need its decoder.
        info.Width = 768;
        info.Height = 512;
        info.BitsPerPixel = 24;
        break;
    case FILE_WMF:
        if (h.Length >= 22) {
            const int inch = Le16(b + 14);
            const int w = std::abs(int16_t(Le16(b + 10)) - int16_t(Le16(b + 6)));
            const int ht = std::abs(int16_t(Le16(b + 12)) - int16_t(Le16(b + 8)));
            if (inch > 0) {
                info.Width = w * 96 / inch;
                info.Height = ht * 96 / inch;
            }
        }
        info.BitsPerPixel = 24;
        break;
    default:
        info.BitsPerPixel = 24;
        break;
    }
    if (info.Width < 0 || info.Height < 0) return ERROR_CORRUPT_FILE;
    const int held = info.BitsPerPixel <= 1 ? 1 : info.BitsPerPixel <= 8 ? 8 : info.BitsPerPixel <= 16 ? 16
                   : info.BitsPerPixel == 32 ? 32 : 24;
    const qint64 line = (qint64(info.Width) * held + 31) / 32 * 4;
    // Both sides can be near 2^31 in a hostile header: saturate, don't overflow.
    info.SizeMem = info.Height > 0 && line > INT32_MAX / info.Height ? INT32_MAX
                                                                      : int(line * info.Height);
    return SUCCESS;
}

int CheckComplete(const TByteSource& source, int format, bool& partial) {
    partial = false;
    if (format != FILE_BMP && format != FILE_OS2 && format != FILE_OS2_2) return SUCCESS;
    // Qt's BMP reader shows a cut file as a picture with a blank end without a
    // word; an uncompressed BMP's size is known from its header, so say so.
    THead h;
    if (!ReadHead(source, h) || h.Length < 26) return ERROR_CORRUPT_FILE;
    const uint8_t* b = h.Bytes;
    const qint64 offset = Le32(b + 10);
    qint64 width, height;
    int bits;
    uint32_t compression = 0;
    if (format == FILE_OS2) {
        width = Le16(b + 18);
        height = Le16(b + 20);
        bits = Le16(b + 24);
    } else {
        if (h.Length < 34) return ERROR_CORRUPT_FILE;
        width = int32_t(Le32(b + 18));
        height = std::abs(qint64(int32_t(Le32(b + 22))));
        bits = Le16(b + 28);
        compression = Le32(b + 30);
    }
    if (compression != 0 && compression != 3) return SUCCESS;  // packed data has no fixed size
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 64) return ERROR_CORRUPT_FILE;
    if (width > MaxPictureSide || height > MaxPictureSide) return ERROR_IMAGE_TOO_LARGE;
    const qint64 stride = (width * bits + 31) / 32 * 4;
    if (source.Size() >= offset + stride * height) return SUCCESS;
    // Qt reads what is there and leaves the other rows as they were, without a word.
    if (source.Size() < offset + stride) return ERROR_CORRUPT_FILE;
    partial = true;
    return SUCCESS;
}

int ExifOrientation(const uint8_t* segment, qint64 length) {
    if (!segment || length < 14 || std::memcmp(segment, "Exif\0\0", 6) != 0) return 1;
    const TMemorySource source(segment, length);
    return TiffOrientation(source, 6, length - 6);
}

int ReadComments(const TByteSource& source, int format, QList<QByteArray>& texts) {
    texts = QList<QByteArray>(CommentSlots);
    if (format == FILE_JFIF || format == FILE_EXIF_JPEG) JpegComments(source, texts);
    else if (format == FILE_TIF) TiffComments(source, 0, source.Size(), texts);
    return SUCCESS;
}

}  // namespace ilib
