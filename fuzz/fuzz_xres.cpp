// A skin resource file from a disc: the container reader, a rebuilt
// container that must read back the same resources, and the skin's reading
// of every picture with its twin of twice the size.
#include "imaging/shellpictures.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "suite/xres/xres.h"
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

// Every picture of the file read as the program reads a skin: a twin is
// kept only when it is exactly twice its picture, with as many frames.
void ReadAsSkin(const QByteArray& bytes, const XRes::TXResFile& file) {
    // A folder of this run's own (mode 0700, a new name): nothing can be
    // planted in it for the write below to follow.
    static QTemporaryDir temporary;
    static const QString folder = [] {
        UseImagingForShellPictures();
        SetSkinTwinsWanted(true);
        return temporary.path() + QLatin1Char('/');
    }();
    if (!temporary.isValid()) return;
    {
        QFile f(folder + QStringLiteral("XLumRes.EN"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        f.write(bytes);
    }
    CloseSkin();
    AppState().AppDir = folder;
    for (const XRes::TEntry& e : file.Entries()) {
        if (e.Type != "JPEG" && e.Type != "AJPG") continue;
        const QString name = QString::fromLatin1(e.Name);
        const TSkinPicture picture = e.Type == "JPEG" ? GetSkinPicture(XLumResGroup, name)
                                                      : GetAnimatedSkinPicture(XLumResGroup, name);
        if (picture.Image.isNull() != (picture.Frames == 0)) __builtin_trap();
        if (!picture.Sharp.isNull() && picture.Sharp.size() != picture.Image.size() * 2) __builtin_trap();
    }
    CloseSkin();
}

} // namespace

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
    ReadAsSkin(bytes, file);
    return 0;
}
