// Frame keys and the roll sort over file names from a disc: one name per line.
#include "collection/roll.h"
#include <QByteArray>
#include <QList>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    QList<QByteArray> names = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\n');
    TRoll roll(false, "/fuzz/", "/fuzz/");
    for (const QByteArray& raw : names) {
        QString name = QString::fromUtf8(raw).remove('/');
        if (name.isEmpty()) continue;
        QString key = FrameNumberKey(name);
        (void)FrameNumberOf(key);
        roll.AddFile(name);
    }
    roll.SetSorted(true);
    if (roll.Count() > names.size()) __builtin_trap();
    // The order must be a total one: sorting again changes nothing.
    QStringList first = roll.FileList();
    return first.size() == roll.Count() ? 0 : (__builtin_trap(), 0);
}
