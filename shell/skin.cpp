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
#include <QGuiApplication>
#include <QScreen>
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

// One resource of the current file, decoded; Frames receives its frame
// count (0 when there is none). Caller holds SkinLock.
QImage ReadOne(const QByteArray& type, const QByteArray& key, int& frames) {
    void* data = nullptr;
    int size = 0;
    frames = 0;
    const bool animated = type.startsWith('A');
    const int result = animated ? GetAnimatedXResource(type.constData(), key.constData(), &data, &size, &frames)
                                : GetXResource(type.constData(), key.constData(), &data, &size);
    if (result < 1) {
        frames = 0;
        return {};
    }
    if (!animated) frames = 1;
    const QByteArray bytes(static_cast<const char*>(data), size);
    FreeXResourceMemory(data);
    QImage image = DecodePicture(bytes);
    if (image.isNull()) frames = 0;
    return image;
}

std::optional<bool> TwinsWanted;

TSkinPicture Read(const QString& group, const char* type, const QString& name, bool withTwin) {
    std::lock_guard<std::mutex> lock(SkinLock);
    OpenGroup(group);
    const QByteArray key = name.toLatin1();
    TSkinPicture picture;
    picture.Image = ReadOne(type, key, picture.Frames);
    if (!withTwin || picture.Image.isNull()) return picture;
    int frames = 0;
    const QImage sharp = ReadOne(XRes::SharpType(type), key, frames);
    if (sharp.isNull()) return picture;
    picture.Sharp = frames == picture.Frames ? TwinOf(picture.Image, sharp) : QImage();
    if (picture.Sharp.isNull())
        TraceLog::WarningMsg(QStringLiteral("Skin picture %1/%2: its twin is not twice its size; the picture is scaled")
                                 .arg(QLatin1String(type), name));
    return picture;
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

QImage GetSkinImage(const QString& group, const QString& name) { return Read(group, "JPEG", name, false).Image; }

QImage GetAnimatedSkinImage(const QString& group, const QString& name, int& frames) {
    TSkinPicture picture = Read(group, "AJPG", name, false);
    frames = picture.Frames;
    return picture.Image;
}

TSkinPicture GetSkinPicture(const QString& group, const QString& name) {
    return Read(group, "JPEG", name, SkinTwinsWanted());
}

TSkinPicture GetAnimatedSkinPicture(const QString& group, const QString& name) {
    return Read(group, "AJPG", name, SkinTwinsWanted());
}

bool SkinTwinsWanted() {
    if (TwinsWanted) return *TwinsWanted;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [](const QScreen* s) { return s->devicePixelRatio() > 1.0; });
}

void SetSkinTwinsWanted(std::optional<bool> wanted) { TwinsWanted = wanted; }

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
