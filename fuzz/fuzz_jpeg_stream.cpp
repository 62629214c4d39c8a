// Picture data loaded from a stream, and the program's APP6 marker fields.
#include "imaging/loading.h"
#include <QBuffer>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    ImageInfo info;
    ReadProgramMarker(bytes, info);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    for (bool preferSmall : {false, true}) {
        TSmallLoadScope target({16, (size & 1) != 0});
        buffer.seek(0);
        TBitmapHandlePtr handle = LoadPictureStream(buffer, 0, preferSmall, error, info);
        if (handle && handle->Width() * qint64(handle->Height()) > MaxPicturePixels) __builtin_trap();
        if (!handle && error.isEmpty()) __builtin_trap();  // only a stop may leave no text
    }
    return 0;
}
