#pragma once
// The skin-resource library: group files holding pictures addressed by a
// four-character type ("JPEG" a still, "AJPG" a strip of frames) and a
// four-character name ("0031"). The container format is described in
// FORMAT.md. The five library calls keep the names, arguments and results the
// program expects; TXResFile is the reader behind them and serves on its own
// wherever a second file is read without disturbing the library's current one.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace XRes {

constexpr int Version = 1;
constexpr int HeaderSize = 16;
constexpr int EntrySize = 24;
constexpr int MaxEntries = 4096;
constexpr int MaxFrames = 1024;
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

struct TEntry {
    QByteArray Type;     // four characters of A-Z, 0-9, "_"
    QByteArray Name;     // the same
    quint32 Frames = 1;  // 1 for a still
    quint32 Offset = 0;  // from the start of the file
    quint32 Size = 0;
    quint32 Crc = 0;     // CRC-32 of the data
};

// A type or name as the container stores it: upper case, exactly four of
// A-Z, 0-9, "_". Empty when Text can't be one (so a lookup finds nothing).
QByteArray NormalKey(const QByteArray& text);

// A picture resource may have a twin drawn at twice its size, for screens of
// a device pixel ratio above 1 (see FORMAT.md): same name, type "JP2X" for
// a still ("JPEG"), "AJ2X" for a strip ("AJPG"). Empty for any other type.
QByteArray SharpType(const QByteArray& type);
// The type a twin's type doubles ("JP2X" -> "JPEG", "AJ2X" -> "AJPG");
// empty for any other type.
QByteArray BaseTypeOf(const QByteArray& sharpType);

// A whole container held in memory. Every check (sizes, index checksum, each
// resource's checksum) is made when it is opened, so a damaged or truncated
// file is refused as a whole and reads never look past its end.
class TXResFile {
public:
    // False with Error set when the file is missing, unreadable, larger than
    // MaxFileSize or not a well-formed container; the object is then closed.
    bool Open(const QString& path, QString* error = nullptr);
    bool Parse(const QByteArray& data, QString* error = nullptr);
    void Close();
    bool IsOpen() const { return FOpen; }
    const QList<TEntry>& Entries() const { return FEntries; }
    // Type and name compare without regard to case; null when absent.
    const TEntry* Find(const QByteArray& type, const QByteArray& name) const;
    // The resource's bytes (shared with the file's buffer); empty when absent.
    QByteArray Data(const TEntry& entry) const;

private:
    QByteArray FData;
    QList<TEntry> FEntries;
    bool FOpen = false;
};

struct TResource {
    QByteArray Type;
    QByteArray Name;
    int Frames = 1;
    QByteArray Data;
};

// Builds a container. Empty with Error set when a type or name is not four
// of A-Z, 0-9, "_" (lower case is taken as upper), a pair occurs twice, a
// frame count lies outside 1..MaxFrames, or the result would exceed MaxFileSize.
QByteArray Build(const QList<TResource>& resources, QString* error = nullptr);

} // namespace XRes

// ---- the library calls ------------------------------------------------------
// Results: OpenXResFile gives XRES_OK when the file was opened (it becomes the
// current file; an earlier one is closed), else XRES_NO_FILE or XRES_DAMAGED
// and no file is current. The reads give XRES_OK when found, with Data a copy
// of the complete picture file that FreeXResourceMemory releases; XRES_NOT_FOUND
// when there is no such resource or no current file; XRES_BAD_ARGUMENT for
// null pointers. The calls may come from any thread.
constexpr int XRES_OK = 1;
constexpr int XRES_NOT_FOUND = 0;
constexpr int XRES_NO_FILE = -1;
constexpr int XRES_DAMAGED = -2;
constexpr int XRES_BAD_ARGUMENT = -3;

int OpenXResFile(const char* path);
void CloseXRes();
int GetXResource(const char* type, const char* name, void** data, int* size);
int GetAnimatedXResource(const char* type, const char* name, void** data, int* size, int* frames);
void FreeXResourceMemory(void* data);
