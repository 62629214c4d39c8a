// Identification of a picture file, with comments and the program's marker.
#include "imaging/loading.h"
#include <QDir>
#include <QFile>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QDir::tempPath() + QString("/lumora-fuzz-identify-%1.img").arg(getpid());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ImageInfo info;
    QString error;
    if (GetImageTypeInfoEx(path, info, true, error)) {
        if (info.FormatIndex >= ImageTypeCount) __builtin_trap();
    } else if (error.isEmpty()) {
        __builtin_trap();  // a refusal always says why
    }
    return 0;
}
