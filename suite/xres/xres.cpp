#include "suite/xres/xres.h"
#include "platform/crc32.h"
#include "platform/paths.h"
#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace XRes {
namespace {

constexpr char Magic[4] = {'X', 'R', 'E', 'S'};

uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void PutLE16(QByteArray& out, uint16_t v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}
void PutLE32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}
void SetLE32(QByteArray& out, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = char((v >> (8 * i)) & 0xFF);
}

bool KeyChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

bool ValidStoredKey(const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (!KeyChar(p[i])) return false;
    return true;
}

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

} // namespace

QByteArray NormalKey(const QByteArray& text) {
    if (text.size() != 4) return {};
    QByteArray key = text.toUpper();
    for (char c : key)
        if (!KeyChar(uint8_t(c))) return {};
    return key;
}

QByteArray SharpType(const QByteArray& type) {
    const QByteArray key = NormalKey(type);
    if (key == "JPEG") return "JP2X";
    if (key == "AJPG") return "AJ2X";
    return {};
}

QByteArray BaseTypeOf(const QByteArray& sharpType) {
    const QByteArray key = NormalKey(sharpType);
    if (key == "JP2X") return "JPEG";
    if (key == "AJ2X") return "AJPG";
    return {};
}

bool TXResFile::Open(const QString& path, QString* error) {
    Close();
    QByteArray data;
    if (!Platform::ReadWholeFile(path, data, MaxFileSize)) {
        const int code = errno;
        SetError(error, code == EFBIG ? QStringLiteral("%1 is larger than a skin file can be").arg(path)
                                      : QStringLiteral("cannot read %1: %2")
                                            .arg(path, QString::fromLocal8Bit(std::strerror(code))));
        return false;
    }
    QString reason;
    if (!Parse(data, &reason)) {
        SetError(error, QStringLiteral("%1 is no intact skin file: %2").arg(path, reason));
        return false;
    }
    return true;
}

bool TXResFile::Parse(const QByteArray& data, QString* error) {
    Close();
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    const qint64 size = data.size();
    if (size < HeaderSize) return SetError(error, QStringLiteral("shorter than the header")), false;
    if (std::memcmp(p, Magic, 4) != 0) return SetError(error, QStringLiteral("no skin file signature")), false;
    if (GetLE16(p + 4) != Version)
        return SetError(error, QStringLiteral("version %1 is not known").arg(GetLE16(p + 4))), false;
    const int count = GetLE16(p + 6);
    const qint64 declared = GetLE32(p + 8);
    if (declared != size)
        return SetError(error, declared > size ? QStringLiteral("truncated: %1 of %2 bytes").arg(size).arg(declared)
                                               : QStringLiteral("%1 bytes follow the end").arg(size - declared)),
               false;
    if (count > MaxEntries) return SetError(error, QStringLiteral("too many resources (%1)").arg(count)), false;
    const qint64 indexEnd = HeaderSize + qint64(count) * EntrySize;
    if (indexEnd > size) return SetError(error, QStringLiteral("the index runs past the end")), false;
    if (Platform::Crc32(p + HeaderSize, indexEnd - HeaderSize) != GetLE32(p + 12))
        return SetError(error, QStringLiteral("the index is damaged")), false;

    QList<TEntry> entries;
    entries.reserve(count);
    QSet<QByteArray> seen;
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = p + HeaderSize + qint64(i) * EntrySize;
        if (!ValidStoredKey(e) || !ValidStoredKey(e + 4))
            return SetError(error, QStringLiteral("resource %1 has a malformed type or name").arg(i)), false;
        TEntry entry;
        entry.Type = QByteArray(reinterpret_cast<const char*>(e), 4);
        entry.Name = QByteArray(reinterpret_cast<const char*>(e + 4), 4);
        entry.Frames = GetLE32(e + 8);
        entry.Offset = GetLE32(e + 12);
        entry.Size = GetLE32(e + 16);
        entry.Crc = GetLE32(e + 20);
        const QString label = QString::fromLatin1(entry.Type + '/' + entry.Name);
        if (entry.Frames < 1 || entry.Frames > quint32(MaxFrames))
            return SetError(error, QStringLiteral("%1 claims %2 frames").arg(label).arg(entry.Frames)), false;
        // 64-bit sums: Offset + Size can't wrap around.
        if (qint64(entry.Offset) < indexEnd || qint64(entry.Offset) + qint64(entry.Size) > size)
            return SetError(error, QStringLiteral("%1 lies outside the data area").arg(label)), false;
        if (Platform::Crc32(p + entry.Offset, entry.Size) != entry.Crc)
            return SetError(error, QStringLiteral("%1 is damaged").arg(label)), false;
        if (seen.contains(entry.Type + entry.Name))
            return SetError(error, QStringLiteral("%1 occurs twice").arg(label)), false;
        seen.insert(entry.Type + entry.Name);
        entries.append(entry);
    }
    FData = data;
    FEntries = std::move(entries);
    FOpen = true;
    return true;
}

void TXResFile::Close() {
    FData.clear();
    FEntries.clear();
    FOpen = false;
}

const TEntry* TXResFile::Find(const QByteArray& type, const QByteArray& name) const {
    const QByteArray t = NormalKey(type), n = NormalKey(name);
    if (t.isEmpty() || n.isEmpty()) return nullptr;
    for (const TEntry& e : FEntries)
        if (e.Type == t && e.Name == n) return &e;
    return nullptr;
}

QByteArray TXResFile::Data(const TEntry& entry) const {
    if (!FOpen || qint64(entry.Offset) + qint64(entry.Size) > FData.size()) return {};
    return FData.mid(entry.Offset, entry.Size);
}

QByteArray Build(const QList<TResource>& resources, QString* error) {
    if (resources.size() > MaxEntries)
        return SetError(error, QStringLiteral("more than %1 resources").arg(MaxEntries)), QByteArray();
    qint64 total = HeaderSize + qint64(resources.size()) * EntrySize;
    QSet<QByteArray> seen;
    for (const TResource& r : resources) {
        const QByteArray t = NormalKey(r.Type), n = NormalKey(r.Name);
        const QString label = QString::fromUtf8(r.Type + '/' + r.Name);
        if (t.isEmpty() || n.isEmpty())
            return SetError(error, QStringLiteral("%1: type and name must be four of A-Z, 0-9 and _").arg(label)),
                   QByteArray();
        if (r.Frames < 1 || r.Frames > MaxFrames)
            return SetError(error, QStringLiteral("%1: %2 frames (1 to %3 allowed)").arg(label).arg(r.Frames).arg(MaxFrames)),
                   QByteArray();
        if (seen.contains(t + n)) return SetError(error, QStringLiteral("%1 is given twice").arg(label)), QByteArray();
        seen.insert(t + n);
        total += r.Data.size();
        if (total > MaxFileSize || total > qint64(UINT32_MAX))
            return SetError(error, QStringLiteral("the resources exceed the largest skin file")), QByteArray();
    }
    QByteArray index;
    quint32 offset = quint32(HeaderSize + resources.size() * EntrySize);
    for (const TResource& r : resources) {
        index.append(NormalKey(r.Type));
        index.append(NormalKey(r.Name));
        PutLE32(index, quint32(r.Frames));
        PutLE32(index, offset);
        PutLE32(index, quint32(r.Data.size()));
        PutLE32(index, Platform::Crc32(reinterpret_cast<const uint8_t*>(r.Data.constData()), r.Data.size()));
        offset += quint32(r.Data.size());
    }
    QByteArray out;
    out.reserve(total);
    out.append(Magic, 4);
    PutLE16(out, Version);
    PutLE16(out, uint16_t(resources.size()));
    PutLE32(out, 0);  // file size, set below
    PutLE32(out, Platform::Crc32(reinterpret_cast<const uint8_t*>(index.constData()), index.size()));
    out.append(index);
    for (const TResource& r : resources) out.append(r.Data);
    SetLE32(out, 8, quint32(out.size()));
    return out;
}

} // namespace XRes

// ---- the library calls --------------------------------------------------------

namespace {

std::mutex CurrentLock;
XRes::TXResFile& Current() {
    static XRes::TXResFile file;
    return file;
}

int Read(const char* type, const char* name, void** data, int* size, int* frames) {
    if (!type || !name || !data || !size) return XRES_BAD_ARGUMENT;
    *data = nullptr;
    *size = 0;
    if (frames) *frames = 0;
    std::lock_guard<std::mutex> lock(CurrentLock);
    const XRes::TXResFile& file = Current();
    if (!file.IsOpen()) return XRES_NOT_FOUND;
    const XRes::TEntry* entry = file.Find(QByteArray(type), QByteArray(name));
    if (!entry) return XRES_NOT_FOUND;
    const QByteArray bytes = file.Data(*entry);
    // One byte more than needed, so an empty resource still gets a pointer.
    void* copy = std::malloc(size_t(bytes.size()) + 1);
    if (!copy) return XRES_NOT_FOUND;
    std::memcpy(copy, bytes.constData(), size_t(bytes.size()));
    *data = copy;
    *size = int(bytes.size());
    if (frames) *frames = int(entry->Frames);
    return XRES_OK;
}

} // namespace

int OpenXResFile(const char* path) {
    if (!path) return XRES_BAD_ARGUMENT;
    XRes::TXResFile file;
    QByteArray bytes;
    int result = XRES_OK;
    if (!Platform::ReadWholeFile(QFile::decodeName(path), bytes, XRes::MaxFileSize))
        result = errno == EFBIG ? XRES_DAMAGED : XRES_NO_FILE;
    else if (!file.Parse(bytes))
        result = XRES_DAMAGED;
    std::lock_guard<std::mutex> lock(CurrentLock);
    Current() = std::move(file);
    return result;
}

void CloseXRes() {
    std::lock_guard<std::mutex> lock(CurrentLock);
    Current().Close();
}

int GetXResource(const char* type, const char* name, void** data, int* size) {
    return Read(type, name, data, size, nullptr);
}

int GetAnimatedXResource(const char* type, const char* name, void** data, int* size, int* frames) {
    if (!frames) return XRES_BAD_ARGUMENT;
    return Read(type, name, data, size, frames);
}

void FreeXResourceMemory(void* data) { std::free(data); }
