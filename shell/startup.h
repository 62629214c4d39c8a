#pragma once
#include <QString>
#include <QStringList>

// Application-wide start-up state, set once while the program starts and read
// everywhere. Tests reset it with ResetAppState().
struct TAppState {
    QString AppDir;                  // program folder, trailing "/"
    bool InstanceMode = false;       // option "I"
    QString RollArgument;            // option "R"
    int SSInterval = 1;              // [Config] SSInterval
    bool InstalledCopy = false;      // [Config] Installed
    bool SlideshowCollage = true;    // [Config] SlideshowCollage
    bool FotavoLayout = false;       // [Config] Fotavo, forced on by RollArgument
    QString PictureDirectory = "Pictures";
    QString PictureDir;              // folder whose sub-folders are the rolls, trailing "/"
    QString LanguageCode = "EN";     // LUMORA_LANGUAGE, else "EN"
    QString DiscAppName;             // InstanceMode only
    bool InstallButtonHidden = false;  // set when the "Rolls" fallback was taken
};

TAppState& AppState();
void ResetAppState();

// Arguments (without the program name: pass arguments().mid(1)) are cut at
// every ":"; only the first character of the key part counts: "I"/"i" sets
// InstanceMode, "R"/"r" sets RollArgument to the second field (last wins).
void ParseCommandLine(const QStringList& args, TAppState& state);

// The folder above P's last folder, with trailing "/"; empty when P has fewer
// than two "/". ParentFolder("/a/b/c/") == "/a/b/".
QString ParentFolder(const QString& p);

// Settings module start: AppDir from the executable (or AppDirOverride when
// not empty), the command line (arguments without the program name),
// SSInterval, LanguageCode. SettingsFile() is reopened for the new AppDir.
void InitSettingsModule(const QStringList& args, const QString& appDirOverride = QString());

enum class TPictureFolder {
    OwnFolder,   // plain layout: the program folder is the only roll
    Found,       // PictureDir is set
    NotFound     // neither the picture folder nor "Rolls": TStr::NoImagesTerminating, terminate
};

// The name of the disc's own viewer, for the return button when the program
// was started by it: [LanguageCode] AppName of "Fotavo/Fotavo.ini" in the
// folder above the program, else [EN] AppName, else "Fotavo". Sets
// DiscAppName in instance mode only and returns it (empty otherwise).
QString ResolveDiscAppName(TAppState& state);

// Reads [Config] Installed, SlideshowCollage, Fotavo and PictureDirectory and
// resolves PictureDir; on NotFound FotavoLayout is cleared. A program folder
// with no folder above it to search finds nothing: NotFound.
TPictureFolder ResolvePictureFolder(TAppState& state);
