#pragma once
// The install's rules apart from its window: which roll names and folders
// it accepts, where the destination really is, and the desktop entry it
// leaves for the installed roll.
#include <QString>
#include <QStringList>

// Whether Name can name the roll folder and its desktop entry: not empty,
// no "/", "\" or ":" (a ":" would cut the "R:" argument), no "..", no
// leading ".", no control characters, at most 255 bytes.
bool IsUsableRollName(const QString& name);

// The destination folder for what the user typed, with a trailing "/":
// "~/" and "~" mean the home folder; the default "c:\My Photos\" (and any
// other path of that form) is the pictures folder + "My Photos/"; "\" is
// read as "/". Empty when the text is no full path.
QString ResolveDestination(const QString& typed, const QString& home, const QString& pictures);

// The folder the desktop entries go to: Applications (with "/") + Base,
// its "\" read as "/". A Base with an unusable component (see
// IsUsableRollName) gives Fallback's folder instead.
QString ShortcutFolder(const QString& applications, const QString& base, const QString& fallback);

// One argument of a desktop entry's Exec line, quoted when it needs to be
// and escaped by the Desktop Entry rules ("\"", "`", "$", "\\" escaped
// inside quotes; "%" doubled).
QString DesktopExecArgument(const QString& argument);

struct TDesktopEntry {
    QString Name;
    QString WorkingFolder;   // Path=
    QStringList Command;     // program and its arguments
};
// The text of the entry (Type=Application, Categories=Graphics;Photography;).
QByteArray DesktopEntryText(const TDesktopEntry& entry);
