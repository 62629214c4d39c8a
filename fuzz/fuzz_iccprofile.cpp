// An ICC profile as a photo carries it (the bytes of its APP2 segments put
// together): whether it is taken as a colour space other than sRGB, and the
// conversion of a small picture by it. An unreadable profile leaves the
// picture exactly as it was.
#include "imaging/ilibint.h"
#include <QByteArray>
#include <QImage>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray profile(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool foreign = ilib::IsForeignProfile(profile);
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Indexed8}) {
        QImage image(5, 3, format);
        if (format == QImage::Format_Indexed8) image.setColorTable({qRgb(10, 200, 30), qRgb(250, 250, 250)});
        image.fill(format == QImage::Format_Indexed8 ? 0u : qRgb(200, 120, 40));
        const QImage before = image;
        if (!ilib::ConvertProfileToSrgb(image, profile)) continue;  // out of memory
        if (image.size() != before.size() || image.format() != before.format()) __builtin_trap();
        if (!foreign && image != before) __builtin_trap();
    }
    return 0;
}
