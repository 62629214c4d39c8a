#include "shell/skin.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "shell/customize.h"
#include "shell/pictures.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "suite/xres/xres.h"
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <mutex>

namespace {

struct TSkinState {
    QString Group;  // the current group; empty when none
    TXResourceFile File;
    int OpenCount = 0;
    QString LogoFile;
    QString ExtraFile;
};

std::mutex SkinLock;

TSkinState& Skin() {
    static TSkinState state;
    return state;
}

// Makes Group's file the library's current one (caller holds SkinLock).
void OpenGroup(const QString& group) {
    TSkinState& s = Skin();
    if (group == s.Group) return;
    const QString file = SkinFileName(group);
    if (file.isEmpty()) {
        // Forget the group, or a second call would read the previous group's
        // file, which would still be open.
        CloseXRes();
        s.Group.clear();
        s.File = {};
        throw EError(ResText(TStr::CantFindFile, {group}));
    }
    s.Group = group;
    CloseXRes();
    s.File = {};
    ++s.OpenCount;
    const int result = OpenXResFile(QFile::encodeName(file).constData());
    if (result > 0) {
        s.File.FileName = file;
        s.File.IsOpen = true;
    } else {
        TraceLog::SevereMsg(QStringLiteral("Skin file %1 is damaged or unreadable (%2)").arg(file).arg(result));
    }
}

QImage Read(const QString& group, const char* type, const QString& name, int* frames) {
    std::lock_guard<std::mutex> lock(SkinLock);
    OpenGroup(group);
    void* data = nullptr;
    int size = 0;
    const QByteArray key = name.toLatin1();
    const int result = frames ? GetAnimatedXResource(type, key.constData(), &data, &size, frames)
                              : GetXResource(type, key.constData(), &data, &size);
    if (result < 1) {
        if (frames) *frames = 0;
        return {};
    }
    const QByteArray bytes(static_cast<const char*>(data), size);
    FreeXResourceMemory(data);
    QImage image = DecodePicture(bytes);
    if (image.isNull() && frames) *frames = 0;
    return image;
}

// A branding file the customization file names, beside the program; else,
// also when the name is refused, the default file when it exists.
QString ResolveBrandingFile(const QString& value, const char* key, const QString& fallbackName) {
    const QString name = value.trimmed();
    if (!name.isEmpty()) {
        const QString path = FileBesideProgram(name, QStringLiteral("[Branding] ") + QLatin1String(key));
        if (Platform::FileExists(path)) return path;
    }
    const QString fallback = AppState().AppDir + fallbackName;
    return Platform::FileExists(fallback) ? fallback : QString();
}

} // namespace

QString LanguageExtension() {
    static const QRegularExpression plain(QStringLiteral("^[A-Z0-9_-]{1,16}$"));
    const QString language = qEnvironmentVariable("LUMORA_LANGUAGE").trimmed().toUpper();
    return plain.match(language).hasMatch() ? language : QString();
}

QString SkinFileName(const QString& group) {
    const QString base = AppState().AppDir + group + '.';
    const QString extension = LanguageExtension();
    if (!extension.isEmpty() && Platform::FileExists(base + extension)) return base + extension;
    if (Platform::FileExists(base + QStringLiteral("EN"))) return base + QStringLiteral("EN");
    return {};
}

QImage GetSkinImage(const QString& group, const QString& name) { return Read(group, "JPEG", name, nullptr); }

QImage GetAnimatedSkinImage(const QString& group, const QString& name, int& frames) {
    return Read(group, "AJPG", name, &frames);
}

void CloseSkin() {
    std::lock_guard<std::mutex> lock(SkinLock);
    Skin().Group.clear();
    Skin().File = {};
    CloseXRes();
}

TXResourceFile CurrentSkinFile() {
    std::lock_guard<std::mutex> lock(SkinLock);
    return Skin().File;
}

QString CurrentSkinGroup() {
    std::lock_guard<std::mutex> lock(SkinLock);
    return Skin().Group;
}

int SkinFileOpenCount() {
    std::lock_guard<std::mutex> lock(SkinLock);
    return Skin().OpenCount;
}

TBranding LoadBranding() {
    TraceScope trace("LoadBranding");
    const TIniFile* ini = CustomIni();
    const QString section = QStringLiteral("Branding");
    const auto read = [&](const char* key) {
        return ini ? ini->ReadString(section, QLatin1String(key), QString()) : QString();
    };
    TBranding b;
    b.LogoFile = ResolveBrandingFile(read("Logo"), "Logo", QStringLiteral("Logo.bmp"));
    if (!b.LogoFile.isEmpty()) {
        b.Logo = LoadPictureFile(b.LogoFile);
        const int cells = ini ? ini->ReadInteger(section, QStringLiteral("LogoCells"), 1) : 1;
        b.LogoCells = std::clamp(cells, 1, std::max(1, b.Logo.width()));
    }
    b.ExtraFile = ResolveBrandingFile(read("ExtraLogo"), "ExtraLogo", QStringLiteral("Extra.bmp"));
    if (!b.ExtraFile.isEmpty()) b.Extra = LoadPictureFile(b.ExtraFile);
    std::lock_guard<std::mutex> lock(SkinLock);
    Skin().LogoFile = b.LogoFile;
    Skin().ExtraFile = b.ExtraFile;
    return b;
}

QString LogoFile() {
    std::lock_guard<std::mutex> lock(SkinLock);
    return Skin().LogoFile;
}

QString ExtraFile() {
    std::lock_guard<std::mutex> lock(SkinLock);
    return Skin().ExtraFile;
}
