#pragma once
#include <QtGlobal>
#include <cstdint>

namespace Platform {

// CRC-32 as in zlib and PNG (reflected polynomial 0xEDB88320); Crc chains calls.
uint32_t Crc32(const uint8_t* data, qint64 length, uint32_t crc = 0);

} // namespace Platform
