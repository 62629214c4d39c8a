#pragma once
// Skin resources and branding. Toolbar buttons, headers, logos, the splash
// and some dialog backgrounds come from skin files beside the program, one per
// resource group and language: AppDir + group + "." + extension, falling back
// to the ".EN" file. Pictures are read through the skin-resource library
// (suite/xres); only one skin file is open at a time, and it stays open until
// another group is asked for or CloseSkin. All calls belong to the main thread.
#include <QImage>
#include <QString>
#include <optional>

inline const char* const XLumResGroup = "XLumRes";  // the program's own toolbar skin
inline const char* const CustomGroup = "Custom";    // pictures a disc may replace

// The language module's extension: LUMORA_LANGUAGE (upper case) when it is a
// plain code of letters, digits, "_" or "-", else empty.
QString LanguageExtension();
// The file a group is read from: AppDir + group + "." + LanguageExtension()
// when that exists, else AppDir + group + ".EN" when that exists, else empty.
QString SkinFileName(const QString& group);

// A skin picture with its twin of twice the size (see suite/xres/FORMAT.md).
struct TSkinPicture {
    QImage Image;   // the picture as the resource table sizes it; null when missing
    QImage Sharp;   // twice Image's size; null when the skin has no usable twin
    int Frames = 0; // frames of a strip; 1 for a still, 0 when missing
};
// A still with its twin. Raises as GetSkinImage. The twin is read only
// when SkinTwinsWanted(): on screens of ratio 1 nothing more is decoded.
TSkinPicture GetSkinPicture(const QString& group, const QString& name);
// A strip with its twin, which must hold the same number of frames.
TSkinPicture GetAnimatedSkinPicture(const QString& group, const QString& name);
// True when a screen of a device pixel ratio above 1 is attached (or a test
// said so with SetSkinTwinsWanted; std::nullopt asks the screens again).
bool SkinTwinsWanted();
void SetSkinTwinsWanted(std::optional<bool> wanted);

// A still ("JPEG") of Group; null when the group's file holds no such
// picture or it does not decode. Raises EError "Can't find file "<group>""
// when the group has no file at all.
QImage GetSkinImage(const QString& group, const QString& name);
// A strip of frames side by side ("AJPG"); Frames receives the frame count
// (0 when there is no picture).
QImage GetAnimatedSkinImage(const QString& group, const QString& name, int& frames);
// Forgets the current group and closes its file.
void CloseSkin();

// The skin file in use: its name and whether it opened (a damaged file does
// not; its pictures are then missing).
struct TXResourceFile {
    QString FileName;
    bool IsOpen = false;
};
TXResourceFile CurrentSkinFile();
QString CurrentSkinGroup();
// Skin files opened in this process so far (tests watch it).
int SkinFileOpenCount();

// The two logos a disc may replace with plain picture files named in
// [Branding] of the customization file.
struct TBranding {
    QString LogoFile;   // the brand logo's file; empty when none was found
    QImage Logo;        // null when none (the built-in logo stays)
    int LogoCells = 1;  // frames side by side in Logo ([Branding] LogoCells)
    QString ExtraFile;  // the extra logo's file
    QImage Extra;
};
// [Branding] Logo, a plain file name beside the program (a path is refused
// with a trace warning, see FileBesideProgram), else AppDir + "Logo.bmp" when
// it exists; the same for ExtraLogo with "Extra.bmp". Stores the names for
// LogoFile() and ExtraFile().
TBranding LoadBranding();
// The names LoadBranding found, application-wide (the install copies them).
QString LogoFile();
QString ExtraFile();
