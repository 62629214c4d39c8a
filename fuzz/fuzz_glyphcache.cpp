// The 3D glyph disk cache as it comes from a disc or the user's cache folder.
// Input: a 16-bit little-endian header length, the ".Hdr" bytes, then the
// ".Dat" bytes. Both decoders run on the bytes; a header they accept is then
// also put on disk under its set's name and read through the cache itself.
#include "imaging/smoothcachefile.h"
#include "imaging/smoothfontcache.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

namespace {

QTemporaryDir* Folder() {
    static std::unique_ptr<QTemporaryDir> folder = std::make_unique<QTemporaryDir>();
    return folder.get();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

} // namespace

// Fallback reads and writes stay in the run's own folder.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Folder()->isValid()) qputenv("XDG_CACHE_HOME", QFile::encodeName(Folder()->filePath("xdg")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t headerSize = std::min(size - 2, size_t(data[0] | (data[1] << 8)));
    const QByteArray header(reinterpret_cast<const char*>(data + 2), qsizetype(headerSize));
    const QByteArray pixels(reinterpret_cast<const char*>(data + 2 + headerSize), qsizetype(size - 2 - headerSize));

    TSmoothCacheRecord record;
    if (!DecodeCacheHeader(header, record)) return 0;
    if (ExpectedCacheDataSize(record) > MaxSetDataBytes) __builtin_trap();
    // What was accepted writes back to a header that reads the same.
    TSmoothCacheRecord again;
    if (!DecodeCacheHeader(EncodeCacheHeader(record), again) || !(again.Font == record.Font) ||
        !(again.Style == record.Style) || again.Overlap != record.Overlap)
        __builtin_trap();
    const bool dataOk = DecodeCacheData(pixels, record);
    for (const TSmoothGlyph& g : record.Glyphs) {
        if (dataOk && g.Rendered() && qint64(g.Pixels.size()) != g.Bytes()) __builtin_trap();
        if (!dataOk && !g.Pixels.empty()) __builtin_trap();
    }

    // The same bytes through the cache's own reader, from files.
    QTemporaryDir* folder = Folder();
    if (!folder->isValid()) return 0;
    const QString stem = CacheFileStem(record.Font, record.Style);
    Write(folder->filePath(stem + ".Hdr"), header);
    Write(folder->filePath(stem + ".Dat"), pixels);
    ResetSmoothFontCache();
    TSmoothFontCache& cache = SmoothFontCache();
    cache.UseDiskCache = true;
    cache.DiskCacheDirectory = folder->path();
    TFont3DValues style;
    record.Style.ApplyTo(style);
    TSmoothCharacterSet& set = cache.SetFor(record.Font, style);
    for (int c = 0; c < GlyphCodeCount; ++c) {
        const TSmoothGlyph& g = set.CachedGlyph(c);
        if (g.Rendered() != (dataOk && record.Glyphs[size_t(c)].Rendered())) __builtin_trap();
        if (g.Rendered() && g.Pixels != record.Glyphs[size_t(c)].Pixels) __builtin_trap();
    }
    ResetSmoothFontCache();
    QFile::remove(folder->filePath(stem + ".Hdr"));
    QFile::remove(folder->filePath(stem + ".Dat"));
    return 0;
}
