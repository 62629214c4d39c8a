#include "suite/iprot/iprot.h"

#include <algorithm>
#include <array>
#include <cstring>

// Layouts are documented byte by byte in FORMAT.md; keep the two in step.
namespace IProt {

namespace {

constexpr unsigned KnownOrientationBits = OrientationTurnMask | OrientationFlip | OrientationReverse;

// Variant A: little-endian fields, XOR keystream.
constexpr int AHeaderSize = 32;
constexpr uint8_t AMagic[4] = {0x50, 0x56, 0x41, 0x1A}; // "PVA" + Ctrl-Z
constexpr uint8_t AVersion = 1;
constexpr int AOffVersion = 4;
constexpr int AOffHeaderSize = 5;
constexpr int AOffFlags = 6;
constexpr int AOffLength = 8;
constexpr int AOffCrc = 12;
constexpr int AOffSeed = 16;
constexpr int AOffReserved = 20;
constexpr int AOffHeaderCrc = 28;
// xorshift32 never leaves the zero state, so a zero seed runs from this one.
constexpr uint32_t AZeroSeedState = 0x6D2B79F5u;
constexpr uint32_t AWriterSeedSalt = 0x5A3C96E1u;

// Variant B: big-endian fields, reversed blocks, rotated and keyed bytes.
constexpr int BHeaderSize = 24;
constexpr uint8_t BMagic[6] = {0xB5, 0x50, 0x56, 0x42, 0x0D, 0x0A}; // "\xB5PVB\r\n"
constexpr uint8_t BVersion = 1;
constexpr int BOffVersion = 6;
constexpr int BOffFlags = 7;
constexpr int BOffLength = 8;
constexpr int BOffCrc = 12;
constexpr int BOffBlockSize = 16;
constexpr int BOffRotate = 18;
constexpr int BOffKey = 19;
constexpr int BOffHeaderCrc = 20;
constexpr uint16_t BWriterBlockSize = 4096;

// Payload lengths are stored in 32 bits.
constexpr qint64 MaxPayload = 0xFFFFFFFFll;

uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t GetBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
void PutBE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

uint8_t RotateLeft(uint8_t b, unsigned r) { return uint8_t((b << r) | (b >> (8 - r))); }
uint8_t RotateRight(uint8_t b, unsigned r) { return uint8_t((b >> r) | (b << (8 - r))); }

uint32_t XorShift(uint32_t x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

// XOR with the keystream is its own inverse, so one routine both scrambles and restores.
void ApplyKeystream(uint8_t* p, qint64 n, uint32_t seed) {
    uint32_t state = seed ? seed : AZeroSeedState;
    for (qint64 i = 0; i < n; ++i) {
        state = XorShift(state);
        p[i] ^= uint8_t(state >> 24);
    }
}

bool HasMagic(const uint8_t* data, qint64 length, const uint8_t* magic, int magicSize,
              int versionOffset, uint8_t version, int headerSize) {
    if (!data || length < headerSize) return false;
    return std::memcmp(data, magic, size_t(magicSize)) == 0 && data[versionOffset] == version;
}

bool LooksLikeA(const uint8_t* data, qint64 length) {
    return HasMagic(data, length, AMagic, sizeof AMagic, AOffVersion, AVersion, AHeaderSize);
}
bool LooksLikeB(const uint8_t* data, qint64 length) {
    return HasMagic(data, length, BMagic, sizeof BMagic, BOffVersion, BVersion, BHeaderSize);
}

bool ValidFlags(unsigned flags) { return (flags & ~KnownOrientationBits) == 0; }

bool IsJpegStart(const uint8_t* p, qint64 n) { return n >= 2 && p[0] == 0xFF && p[1] == 0xD8; }

bool ConvertA(const uint8_t* data, qint64 length, QByteArray& out, unsigned& flags) {
    if (data[AOffHeaderSize] != AHeaderSize) return false;
    if (Crc32(data, AOffHeaderCrc) != GetLE32(data + AOffHeaderCrc)) return false;
    for (int i = AOffReserved; i < AOffHeaderCrc; ++i)
        if (data[i] != 0) return false;
    const unsigned f = GetLE16(data + AOffFlags);
    if (!ValidFlags(f)) return false;
    const qint64 payload = GetLE32(data + AOffLength);
    // Both sides stay far below qint64 limits: payload is at most 2^32 - 1.
    if (payload < 2 || AHeaderSize + payload != length) return false;

    QByteArray plain(reinterpret_cast<const char*>(data + AHeaderSize), qsizetype(payload));
    uint8_t* p = reinterpret_cast<uint8_t*>(plain.data());
    ApplyKeystream(p, payload, GetLE32(data + AOffSeed));
    if (!IsJpegStart(p, payload)) return false;
    if (Crc32(p, payload) != GetLE32(data + AOffCrc)) return false;
    out = std::move(plain);
    flags = f;
    return true;
}

bool ConvertB(const uint8_t* data, qint64 length, QByteArray& out, unsigned& flags) {
    if (Crc32(data, BOffHeaderCrc) != GetBE32(data + BOffHeaderCrc)) return false;
    const unsigned f = data[BOffFlags];
    if (!ValidFlags(f)) return false;
    const qint64 payload = GetBE32(data + BOffLength);
    if (payload < 2 || BHeaderSize + payload != length) return false;
    const qint64 blockSize = GetBE16(data + BOffBlockSize);
    const unsigned rotate = data[BOffRotate];
    if (blockSize == 0 || rotate < 1 || rotate > 7) return false;
    const uint8_t key = data[BOffKey];

    // The body holds the blocks last to first; the last block may be short.
    const uint8_t* body = data + BHeaderSize;
    QByteArray plain(qsizetype(payload), Qt::Uninitialized);
    uint8_t* p = reinterpret_cast<uint8_t*>(plain.data());
    const qint64 blocks = (payload + blockSize - 1) / blockSize;
    qint64 i = 0;
    for (qint64 j = blocks - 1; j >= 0; --j) {
        const qint64 start = j * blockSize;
        const qint64 end = std::min(start + blockSize, payload);
        for (qint64 k = start; k < end; ++k, ++i)
            p[k] = RotateRight(uint8_t(body[i] ^ uint8_t(key + uint8_t(i))), rotate);
    }
    // The writer blanks the start-of-image marker so the body never reads as a JPEG.
    if (p[0] != 0 || p[1] != 0) return false;
    p[0] = 0xFF;
    p[1] = 0xD8;
    if (Crc32(p, payload) != GetBE32(data + BOffCrc)) return false;
    out = std::move(plain);
    flags = f;
    return true;
}

// Marker codes that carry a two-byte length after them.
bool IsSegmentCode(uint8_t code) {
    if (code == 0x00 || code == 0x01 || code == 0xFF) return false;
    if (code >= 0xD0 && code <= 0xD9) return false; // RSTn, SOI, EOI
    return code >= 0xC0;
}

constexpr qint64 MarkerAbsent = -1;
constexpr qint64 MarkerMalformed = -2;
constexpr qint64 MarkerBadArgument = -3;

} // namespace

int IsKnownJpegImage(const uint8_t* data, int length) {
    if (LooksLikeA(data, length)) return 1;
    if (LooksLikeB(data, length)) return 2;
    return 0;
}

int IsVariantAImage(const uint8_t* data, qint64 length) { return LooksLikeA(data, length) ? 1 : 0; }

int IsVariantBImage(const uint8_t* data, qint64 length) { return LooksLikeB(data, length) ? 1 : 0; }

bool ConvertKnownJpegImage(const uint8_t* data, qint64 length, QByteArray& out,
                           unsigned& orientationFlags, int reserved) {
    out.clear();
    orientationFlags = 0;
    if (reserved != 0) return false;
    if (LooksLikeA(data, length)) return ConvertA(data, length, out, orientationFlags);
    if (LooksLikeB(data, length)) return ConvertB(data, length, out, orientationFlags);
    return false;
}

qint64 FindMarkerPosition(const uint8_t* data, qint64 length, unsigned marker, uint32_t& value,
                          uint16_t& dataLength) {
    value = 0;
    dataLength = 0;
    if ((marker & 0xFF) != 0xFF || marker > 0xFFFF || !IsSegmentCode(uint8_t(marker >> 8)))
        return MarkerBadArgument;
    const uint8_t wanted = uint8_t(marker >> 8);
    if (!data || !IsJpegStart(data, length)) return MarkerMalformed;

    qint64 pos = 2;
    while (pos < length) {
        if (data[pos] != 0xFF) return MarkerMalformed;
        // Any number of fill bytes may precede a marker code.
        while (pos + 1 < length && data[pos + 1] == 0xFF) ++pos;
        if (pos + 1 >= length) return MarkerMalformed;
        const uint8_t code = data[pos + 1];
        if (code == 0xD9) return MarkerAbsent; // end of image before any scan
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) { // stand-alone markers
            pos += 2;
            continue;
        }
        if (!IsSegmentCode(code)) return MarkerMalformed;
        if (pos + 4 > length) return MarkerMalformed;
        const qint64 segment = GetBE16(data + pos + 2);
        if (segment < 2 || pos + 2 + segment > length) return MarkerMalformed;
        if (code == wanted) {
            dataLength = uint16_t(segment - 2);
            if (dataLength >= 4) value = GetLE32(data + pos + 4);
            return pos;
        }
        // Entropy-coded data follows the scan header: the header part of the file ends here.
        if (code == 0xDA) return MarkerAbsent;
        pos += 2 + segment;
    }
    return MarkerMalformed;
}

bool GetMarker(const uint8_t* data, qint64 totalLength, qint64 position, uint8_t* buffer,
               uint16_t& length) {
    const uint16_t room = length;
    length = 0;
    if (!data || position < 0 || totalLength < 4 || position > totalLength - 4) return false;
    if (data[position] != 0xFF || !IsSegmentCode(data[position + 1])) return false;
    const qint64 segment = GetBE16(data + position + 2);
    if (segment < 2 || segment > totalLength - position - 2) return false;
    const uint16_t n = uint16_t(std::min<qint64>(room, segment - 2));
    if (n > 0 && !buffer) return false;
    if (n > 0) std::memcpy(buffer, data + position + 4, n);
    length = n;
    return true;
}

QByteArray MakeVariantA(const QByteArray& jpeg, unsigned orientationFlags) {
    const auto* src = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const qint64 n = jpeg.size();
    if (!ValidFlags(orientationFlags) || !IsJpegStart(src, n) || n > MaxPayload) return {};
    const uint32_t crc = Crc32(src, n);

    QByteArray file(qsizetype(AHeaderSize + n), '\0');
    auto* h = reinterpret_cast<uint8_t*>(file.data());
    std::memcpy(h, AMagic, sizeof AMagic);
    h[AOffVersion] = AVersion;
    h[AOffHeaderSize] = AHeaderSize;
    PutLE16(h + AOffFlags, uint16_t(orientationFlags));
    PutLE32(h + AOffLength, uint32_t(n));
    PutLE32(h + AOffCrc, crc);
    const uint32_t seed = crc ^ AWriterSeedSalt;
    PutLE32(h + AOffSeed, seed);
    PutLE32(h + AOffHeaderCrc, Crc32(h, AOffHeaderCrc));
    std::memcpy(h + AHeaderSize, src, size_t(n));
    ApplyKeystream(h + AHeaderSize, n, seed);
    return file;
}

QByteArray MakeVariantB(const QByteArray& jpeg, unsigned orientationFlags) {
    const auto* src = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const qint64 n = jpeg.size();
    if (!ValidFlags(orientationFlags) || !IsJpegStart(src, n) || n > MaxPayload) return {};
    const uint32_t crc = Crc32(src, n);
    const unsigned rotate = 1 + crc % 7;
    const uint8_t key = uint8_t(crc >> 8);
    const qint64 blockSize = BWriterBlockSize;

    QByteArray file(qsizetype(BHeaderSize + n), '\0');
    auto* h = reinterpret_cast<uint8_t*>(file.data());
    std::memcpy(h, BMagic, sizeof BMagic);
    h[BOffVersion] = BVersion;
    h[BOffFlags] = uint8_t(orientationFlags);
    PutBE32(h + BOffLength, uint32_t(n));
    PutBE32(h + BOffCrc, crc);
    PutBE16(h + BOffBlockSize, uint16_t(blockSize));
    h[BOffRotate] = uint8_t(rotate);
    h[BOffKey] = key;
    PutBE32(h + BOffHeaderCrc, Crc32(h, BOffHeaderCrc));

    uint8_t* body = h + BHeaderSize;
    const qint64 blocks = (n + blockSize - 1) / blockSize;
    qint64 i = 0;
    for (qint64 j = blocks - 1; j >= 0; --j) {
        const qint64 start = j * blockSize;
        const qint64 end = std::min(start + blockSize, n);
        for (qint64 k = start; k < end; ++k, ++i) {
            const uint8_t b = k < 2 ? 0 : src[k];
            body[i] = uint8_t(RotateLeft(b, rotate) ^ uint8_t(key + uint8_t(i)));
        }
    }
    return file;
}

} // namespace IProt
