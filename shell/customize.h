#pragma once
// Customization: a disc re-brands and re-words the program through the file
// "custom.ini" beside it, without a rebuild. [Substitutions] replaces words in
// every window text and string-table message, [Application] "__Caption" gives
// the title, a section per window holds script lines that change texts and
// pictures of named components, and [<window>.Hidden] lists components to hide.
//
// Components are found by objectName and changed through Qt's meta-object
// system: a text through the writable "text" (or "Caption", "title")
// property, a picture through the property the script names (QImage or
// QPixmap typed). Script errors never stop the program; they are trace
// warnings. Everything here runs on the main thread except Substitute,
// ExpandResString and FormatText, which any thread may call.
#include "shell/inifile.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

class QWidget;

namespace Lumora {
Q_NAMESPACE
// How a component sits in its parent. A component that carries an "Align"
// property with alBottom keeps its bottom edge when a script resizes it, one
// with alRight its right edge.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
Q_ENUM_NS(TAlign)
} // namespace Lumora

// Opens the customization file once: AppDir + "custom.ini" is copied into a
// private temporary folder (mode 0700, removed by ShutdownCustomization and at
// exit) and only the copy is read; [Substitutions] is read into the
// substitution list. True when a working copy is in use. Without the file,
// CustomIni() reads the absent name and every read gives its default. When
// the private folder can't be made (or the copy fails) the program runs
// without customization, with a trace warning.
bool LoadCustomFile();
// Null until LoadCustomFile has run.
const TIniFile* CustomIni();
// Where the working copy lives; empty when there is none.
QString CustomWorkingCopy();

// Module initialisation's step: LoadCustomFile, then [Application] run against
// the application object (so "ChangeText" there sets the title).
void CustomizeApplication();

// Text with every substitution applied, in list order, then "%AppName%" by
// GetAppTitle, or by ApplicationTitle when the disc gives no title. Whole-word rule per key: when the first
// occurrence (any case) touches a letter or digit the text stays as it is;
// otherwise the key as written, in upper case, in lower case (value in lower
// case), with capital initials (value likewise), and in any case are replaced.
QString Substitute(const QString& text);
// A substitution that would make a text longer than this is left out (a
// value holding other keys could otherwise grow a text without bound).
constexpr qsizetype MaxSubstitutedLength = 16384;
// Sets or replaces Key's value (ignored before LoadCustomFile made the list).
void SetSubstitution(const QString& key, const QString& value);
// [Application] "__Caption" less a leading "ChangeText ", read once; empty
// (and not remembered) before LoadCustomFile.
QString GetAppTitle();
// The title windows and message boxes show: what "ChangeText" on the
// application object set, else the program file's name without extension.
QString ApplicationTitle();

// Runs script lines ("target=Command argument") against Component.
void CustomizeComponent(QObject* component, const QStringList& lines);
// Applies the window's script section, substitutes the texts and hints of the
// window and everything it holds, and hides the components of its ".Hidden" section.
void FixupForm(QWidget* form);
// A component the ".Hidden" section named. It stays hidden: windows show
// and hide their components through a call that asks this first.
bool HiddenByCustomization(const QObject* component);

// Substitute, then each two-character "\n" becomes a line break.
QString ExpandResString(const QString& text);
// Fills positional placeholders: "%1" (the argument as text), "%1!d!" (a
// printf-like format between the "!": flags -0+ and blank, width, precision,
// conversion d i u x X s c), "%%" for a percent sign; any other "%" stays as
// written. Returns Template unchanged when a placeholder names a missing
// argument, its format is malformed or the argument does not fit it.
QString FormatText(const QString& templ, const QVariantList& args);

// A resource named "library,name" (type FILE) or "library,type,name", text
// after the first blank ignored, from a resource library (an xres container)
// AppDir + library. Nothing when any part is missing, the library is no plain
// file name (see FileBesideProgram) or it is damaged.
std::optional<QByteArray> LoadResourceSpec(const QString& resource);

// AppDir + Name for a file the customization file names: such files live
// beside the program, so Name must be a plain file name (not empty, no "/"
// or "\", not "." or ".."). Anything else, which could reach any file the
// user can read, is refused with a trace warning naming What: empty result.
QString FileBesideProgram(const QString& name, const QString& what);

// Frees the substitutions and deletes the working copy; the next
// LoadCustomFile starts afresh (tests use this too).
void ShutdownCustomization();
