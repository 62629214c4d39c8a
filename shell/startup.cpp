#include "shell/startup.h"
#include "platform/paths.h"
#include "shell/inifile.h"
#include "shell/settings.h"
#include "shell/tracelog.h"

TAppState& AppState() {
    static TAppState state;
    return state;
}

void ResetAppState() { AppState() = TAppState(); }

void ParseCommandLine(const QStringList& args, TAppState& state) {
    for (const QString& arg : args) {
        const QStringList fields = arg.split(u':');
        const QString& keyPart = fields.first();
        if (keyPart.isEmpty()) continue;
        switch (keyPart.front().toUpper().unicode()) {
        case u'I':
            state.InstanceMode = true;
            break;
        case u'R':
            state.RollArgument = fields.size() > 1 ? fields[1] : QString();
            break;
        default:
            break;
        }
    }
}

QString ParentFolder(const QString& p) {
    const qsizetype last = p.lastIndexOf(u'/');
    // lastIndexOf with a negative start searches from the end, so guard it.
    if (last <= 0) return {};
    const qsizetype before = p.lastIndexOf(u'/', last - 1);
    if (before < 0) return {};
    return p.left(before + 1);
}

void InitSettingsModule(const QStringList& args, const QString& appDirOverride) {
    TraceScope trace("InitSettingsModule");
    TAppState& state = AppState();
    state.AppDir = appDirOverride.isEmpty() ? Platform::ExecutableFolder()
                                            : Platform::WithTrailingSlash(appDirOverride);
    // A settings object made for an earlier AppDir would read the wrong file.
    ResetSettingsFile();
    ParseCommandLine(args, state);
    state.SSInterval = SettingsFile().ReadInteger(ConfigKeys::Section, ConfigKeys::SSInterval,
                                                  state.SSInterval);
    const QString language = qEnvironmentVariable("LUMORA_LANGUAGE").trimmed().toUpper();
    state.LanguageCode = language.isEmpty() ? QStringLiteral("EN") : language;
}

TPictureFolder ResolvePictureFolder(TAppState& state) {
    TraceScope trace("ResolvePictureFolder");
    const TIniFile settings(state.AppDir + "Lumora.ini");
    using namespace ConfigKeys;
    state.InstalledCopy = settings.ReadBool(Section, Installed, false);
    state.SlideshowCollage = settings.ReadBool(Section, SlideshowCollage, state.SlideshowCollage);

    state.FotavoLayout = settings.ReadBool(Section, Fotavo, false);
    if (!state.FotavoLayout && !state.RollArgument.isEmpty()) state.FotavoLayout = true;
    state.PictureDirectory = settings.ReadString(Section, PictureDirectory, QStringLiteral("Pictures"));
    if (!state.FotavoLayout) return TPictureFolder::OwnFolder;

    QString base = ParentFolder(state.AppDir);
    if (state.InstalledCopy) {
        state.PictureDir = base + "Rolls";
    } else {
        base = ParentFolder(base);
        state.PictureDir = base + state.PictureDirectory;
    }
    if (base.isEmpty()) {
        // No folder above the program folder: nothing there can hold rolls.
        state.PictureDir.clear();
        state.FotavoLayout = false;
        return TPictureFolder::NotFound;
    }
    if (Platform::DirectoryExists(state.PictureDir)) {
        state.PictureDir = Platform::WithTrailingSlash(state.PictureDir);
        return TPictureFolder::Found;
    }
    state.PictureDir = base + "Rolls/";
    state.InstallButtonHidden = true;
    if (Platform::DirectoryExists(state.PictureDir)) return TPictureFolder::Found;
    state.FotavoLayout = false;
    return TPictureFolder::NotFound;
}

QString ResolveDiscAppName(TAppState& state) {
    if (!state.InstanceMode) return QString();
    const TIniFile viewerIni(ParentFolder(state.AppDir) + QStringLiteral("Fotavo/Fotavo.ini"));
    QString name = viewerIni.ReadString(state.LanguageCode, QStringLiteral("AppName"), QString());
    if (name.isEmpty())
        name = viewerIni.ReadString(QStringLiteral("EN"), QStringLiteral("AppName"), QStringLiteral("Fotavo"));
    // An [EN] AppName that is present but empty still leaves the user a name.
    if (name.isEmpty()) name = QStringLiteral("Fotavo");
    state.DiscAppName = name;
    return name;
}
