// A skin resource file from a disc: the container reader, and a rebuilt
// container that must read back the same resources.
#include "suite/xres/xres.h"
#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    XRes::TXResFile file;
    QString error;
    if (!file.Parse(bytes, &error)) {
        if (error.isEmpty() || file.IsOpen() || !file.Entries().isEmpty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    QList<XRes::TResource> resources;
    for (const XRes::TEntry& e : file.Entries()) {
        const QByteArray d = file.Data(e);
        if (d.size() != qint64(e.Size) || qint64(e.Offset) + e.Size > bytes.size()) __builtin_trap();
        if (file.Find(e.Type.toLower(), e.Name) != &e) __builtin_trap();
        resources.append({e.Type, e.Name, int(e.Frames), d});
    }
    XRes::TXResFile again;
    if (!again.Parse(XRes::Build(resources, &error))) __builtin_trap();
    if (again.Entries().size() != file.Entries().size()) __builtin_trap();
    for (const XRes::TEntry& e : again.Entries()) {
        const XRes::TEntry* original = file.Find(e.Type, e.Name);
        if (!original || original->Frames != e.Frames || file.Data(*original) != again.Data(e)) __builtin_trap();
    }
    return 0;
}
