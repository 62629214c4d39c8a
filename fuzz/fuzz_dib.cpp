// Packed DIBs handed in from outside (clipboard, resources).
#include "imaging/iebitmap.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qint64 bitsSize = 0, headerSize = 0;
    const uint8_t* bits = nullptr;
    const uint8_t* header = nullptr;
    if (!TIEBitmap::ParseDIB(data, qint64(size), bitsSize, headerSize, bits, header)) return 0;
    if (headerSize < 0 || bitsSize < 0 || headerSize + bitsSize > qint64(size)) __builtin_trap();
    BITMAPHANDLE handle;
    L_InitBitmap(&handle);
    if (L_ConvertFromDIB(&handle, header, bits, bitsSize) == SUCCESS) {
        QByteArray back;
        (void)L_ConvertToDIB(&handle, back);
    }
    L_FreeBitmap(&handle);
    return 0;
}
