// Photo-service variant files and JPEG marker walking.
#include "suite/iprot/iprot.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qint64 n = qint64(size);
    (void)IProt::IsKnownJpegImage(data, int(size < 64 ? size : 64));
    (void)IProt::IsVariantAImage(data, n);
    (void)IProt::IsVariantBImage(data, n);
    QByteArray out;
    unsigned flags = 0;
    if (IProt::ConvertKnownJpegImage(data, n, out, flags)) {
        uint32_t value = 0;
        uint16_t length = 0;
        (void)IProt::FindMarkerPosition(reinterpret_cast<const uint8_t*>(out.constData()),
                                        out.size(), 0xE6FF, value, length);
    }
    for (unsigned marker : {0xE6FFu, 0xFEFFu, 0xE1FFu}) {
        uint32_t value = 0;
        uint16_t length = 0;
        qint64 pos = IProt::FindMarkerPosition(data, n, marker, value, length);
        if (pos >= 0) {
            uint8_t buffer[65536];
            uint16_t got = length;
            if (IProt::GetMarker(data, n, pos, buffer, got) && got > length) __builtin_trap();
        }
    }
    return 0;
}
