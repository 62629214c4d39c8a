#pragma once
// Photo-service JPEG variants: recognition, conversion back to a plain JPEG,
// and access to JPEG marker segments. The formats are described in FORMAT.md.
// All calls take the whole file content in memory.
#include "platform/crc32.h"
#include <QByteArray>
#include <cstdint>

namespace IProt {

// Orientation flags returned by ConvertKnownJpegImage:
//   bits 0..3 (F and 15): quarter turns clockwise to apply;
//   bit 16: flip top to bottom; bit 32: reverse left to right.
constexpr unsigned OrientationTurnMask = 15;
constexpr unsigned OrientationFlip = 16;
constexpr unsigned OrientationReverse = 32;

// Non-zero when the first Length (at most 64) bytes start a variant file:
// 1 for variant A, 2 for variant B. Only the magic and version are looked at;
// ConvertKnownJpegImage checks the rest.
int IsKnownJpegImage(const uint8_t* data, int length);
int IsVariantAImage(const uint8_t* data, qint64 length);
int IsVariantBImage(const uint8_t* data, qint64 length);

// Converts a variant file into a plain JPEG file. Returns false (and leaves
// Out empty, the flags 0) when Data is not a well-formed variant file, its
// checksums do not match, or Reserved is not 0.
bool ConvertKnownJpegImage(const uint8_t* data, qint64 length, QByteArray& out,
                           unsigned& orientationFlags, int reserved = 0);

// Position (offset of the 0xFF byte) of the first marker segment Marker
// (0xE6FF is APP6: the two bytes FF E6 read as a little-endian word) before
// the start of scan; negative when absent or the data is not a JPEG. Value
// receives the segment's first four data bytes (0 when shorter), DataLength
// the length of its data (the segment length minus the two length bytes).
// After fill bytes (FF FF ...) the position is that of the last FF. Negative
// results: -1 no such segment before the scan or end of image, -2 not a JPEG
// or a segment runs past the data, -3 Marker is not an FFxx segment word.
qint64 FindMarkerPosition(const uint8_t* data, qint64 length, unsigned marker, uint32_t& value,
                          uint16_t& dataLength);
// Copies the data of the segment at Position into Buffer, at most Length
// bytes; Length receives the count copied. Returns false when Position does
// not hold a segment inside Data.
bool GetMarker(const uint8_t* data, qint64 totalLength, qint64 position, uint8_t* buffer,
               uint16_t& length);

// Writers used by the authoring tools: a plain JPEG into variant A or B with
// the given orientation flags. Empty when Jpeg does not start with FF D8, is
// longer than 2^32 - 1 bytes, or the flags hold bits other than 0..3, 16, 32.
QByteArray MakeVariantA(const QByteArray& jpeg, unsigned orientationFlags);
QByteArray MakeVariantB(const QByteArray& jpeg, unsigned orientationFlags);

// CRC-32 as in zlib and PNG (reflected polynomial 0xEDB88320); Crc chains calls.
inline uint32_t Crc32(const uint8_t* data, qint64 length, uint32_t crc = 0) {
    return Platform::Crc32(data, length, crc);
}

} // namespace IProt
