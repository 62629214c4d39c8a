#pragma once
#include <QByteArray>
#include <QString>

// File-system services the program needs, in one place so that a Windows back
// end could replace them. Folders handed out always end in "/".
namespace Platform {

// Folder of the running executable (from /proc/self/exe), with a trailing "/".
QString ExecutableFolder();

// Per-user writable folder: $XDG_CONFIG_HOME/lumora/ (default ~/.config/lumora/).
// Created (mode 0700) when it does not exist yet.
QString ConfigFolder();

// Per-user cache folder: $XDG_CACHE_HOME/lumora/ (default ~/.cache/lumora/).
// With Create, made (mode 0700) when missing; returned even when it could not
// be made, so callers find out when they try to write there.
QString CacheFolder(bool create = true);

// "/" appended when the text does not end in one already (empty stays empty).
QString WithTrailingSlash(const QString& folder);

bool FileExists(const QString& path);       // a regular file (symlinks followed)
bool DirectoryExists(const QString& path);  // a directory (symlinks followed)
bool IsReadOnlyFile(const QString& path);   // no write permission for us
bool SetReadOnly(const QString& path, bool readOnly);

// Writes Data to Path through a temporary file in the same folder and a
// rename, so that readers see either the old or the new content, never a
// half-written file. Mode is applied to the new file (and kept on rename);
// an existing file keeps no more permission than it had, a read-only one is
// not replaced (EACCES), and a symlink is followed to the file it names.
// Returns false (errno set) when anything fails; the old file is then untouched.
bool WriteFileAtomically(const QString& path, const QByteArray& data, int mode = 0644);

// Reads a whole regular file; false when it cannot be read or is larger than
// MaxBytes (EFBIG). A FIFO or device is refused, never waited on.
bool ReadWholeFile(const QString& path, QByteArray& data, qint64 maxBytes = qint64(1) << 31);
// The same for a file already open for reading; the descriptor stays open.
bool ReadWholeOpenFile(int fd, QByteArray& data, qint64 maxBytes = qint64(1) << 31);

// Entries of Folder whose names end in Suffix (ignoring ASCII case) but whose
// bytes are not valid in the file-name encoding, so that no QString path can
// name them and QDir leaves them out of its listings. 0 when Folder can't be read.
int CountUnnamableEntries(const QString& folder, const QByteArray& suffix);

} // namespace Platform
