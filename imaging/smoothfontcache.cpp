#include "imaging/smoothfontcache.h"

#include "platform/paths.h"
#include "platform/safefolder.h"
#include "shell/tracelog.h"

#include <QCoreApplication>
#include <QSet>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Characters outside the disk format are kept per set up to this many; the
// table starts over when a caption brings more.
constexpr size_t MaxExtraGlyphs = 512;

constexpr quint32 UnderlinedFlag = 0x80000000u;

quint64 NextSetSerial() {
    static quint64 serial = 0;
    return ++serial;
}

// A cache folder is used only when it is a folder itself, not a link to one:
// a disc, a stick or a shared copy could otherwise send our writes and our
// trimming into any folder of the user's.
Platform::TSafeFolder OpenCacheFolder(const QString& path, bool create = false) {
    if (path.isEmpty()) return {};
    return Platform::TSafeFolder::Open(path, create, 0755);
}

// The stem of a set's files as the cache names them: a 32-bit number in
// signed decimal, nothing else (so "007", "+5" and "12a" are not ours).
bool IsCacheStem(const QString& stem) {
    bool ok = false;
    const qint32 value = stem.toInt(&ok, 10);
    return ok && QString::number(value) == stem;
}

} // namespace

// ---- TSmoothCharacterSet -------------------------------------------------------

TSmoothCharacterSet::TSmoothCharacterSet(const TSmoothFontRecord& font, const TFont3DValues& style)
    : FSerial(NextSetSerial()), FFont(font), FKey(TSmoothStyleKey::From(style)) {
    // Only the values that shape the glyphs are the set's; the key's rounded
    // values are what a set read back from disk has too.
    FKey.ApplyTo(FStyle);
    FStyle.Overlap = 0;
}

const TSmoothGlyph& TSmoothCharacterSet::Glyph(char32_t ch, bool underlined) {
    if (!underlined && ch < char32_t(GlyphCodeCount)) {
        Fill(ch);
        return FGlyphs[ch];
    }
    const quint32 key = quint32(ch) | (underlined ? UnderlinedFlag : 0);
    auto it = FExtra.find(key);
    if (it != FExtra.end()) return it->second;
    int overlap = 0;
    TSmoothGlyph glyph = RenderSmoothGlyph(FFont, FStyle, ch, underlined, overlap);
    FStyle.Overlap = overlap;
    FBytes += glyph.Bytes();
    return FExtra.emplace(key, std::move(glyph)).first->second;
}

bool TSmoothCharacterSet::Fill(char32_t ch) {
    if (ch >= char32_t(GlyphCodeCount)) {
        if (FExtra.count(quint32(ch))) return false;
        Glyph(ch);
        return true;
    }
    TSmoothGlyph& g = FGlyphs[ch];
    if (g.Rendered()) return false;
    int overlap = 0;
    g = RenderSmoothGlyph(FFont, FStyle, ch, false, overlap);
    FStyle.Overlap = overlap;
    FCellHeight = g.Height;
    FBytes += g.Bytes();
    return true;
}

int TSmoothCharacterSet::CellHeight() {
    if (FCellHeight >= 0) return FCellHeight;
    for (const TSmoothGlyph& g : FGlyphs) {
        if (g.Rendered()) return FCellHeight = g.Height;
    }
    const TGlyphCell cell = LineCellFor(FFont, FStyle);
    FStyle.Overlap = cell.Overlap;
    return FCellHeight = cell.Height;
}

void TSmoothCharacterSet::ForgetExtrasWhenFull() {
    if (FExtra.size() < MaxExtraGlyphs) return;
    for (const auto& [key, g] : FExtra) FBytes -= g.Bytes();
    FExtra.clear();
}

TSmoothCacheRecord TSmoothCharacterSet::ToRecord() const {
    TSmoothCacheRecord r;
    r.Font = FFont;
    r.Style = FKey;
    r.Overlap = FStyle.Overlap;
    r.Glyphs = FGlyphs;
    return r;
}

void TSmoothCharacterSet::TakeRecord(TSmoothCacheRecord&& record) {
    FFont = record.Font;
    FKey = record.Style;
    FKey.ApplyTo(FStyle);
    FStyle.Overlap = record.Overlap;
    FGlyphs = std::move(record.Glyphs);
    FCellHeight = -1;
    FBytes = 0;
    for (const TSmoothGlyph& g : FGlyphs) FBytes += g.Bytes();
    for (const auto& [key, g] : FExtra) FBytes += g.Bytes();
}

// ---- TSmoothFontCache ---------------------------------------------------------------

TSmoothFontCache::TSmoothFontCache() = default;
TSmoothFontCache::~TSmoothFontCache() = default;

TSmoothCharacterSet* TSmoothFontCache::Find(const TSmoothFontRecord& font, const TSmoothStyleKey& key) const {
    // No two slots hold the same set, so the one found last is the first
    // match whenever it matches again.
    if (FLastFound >= 0 && FSlots[size_t(FLastFound)] && FSlots[size_t(FLastFound)]->Matches(font, key))
        return FSlots[size_t(FLastFound)].get();
    for (size_t i = 0; i < FSlots.size(); ++i) {
        if (FSlots[i] && FSlots[i]->Matches(font, key)) {
            FLastFound = int(i);
            return FSlots[i].get();
        }
    }
    return nullptr;
}

TSmoothCharacterSet* TSmoothFontCache::Slot(int number) const {
    if (number < 1 || number > SlotCount) return nullptr;
    return FSlots[size_t(number - 1)].get();
}

qint64 TSmoothFontCache::MemoryInUse() const {
    qint64 total = 0;
    for (const auto& slot : FSlots) {
        if (slot) total += slot->MemoryBytes();
    }
    return total;
}

TSmoothCharacterSet& TSmoothFontCache::SetFor(const TSmoothFontRecord& font, const TFont3DValues& style) {
    const TSmoothStyleKey key = TSmoothStyleKey::From(style);
    if (TSmoothCharacterSet* found = Find(font, key)) return *found;
    TraceScope trace("TSmoothFontCache.SetFor");
    FUsed = true;
    const int number = FreeSlotFor();
    auto set = std::make_unique<TSmoothCharacterSet>(font, style);
    if (UseDiskCache) ReadSetFromDisk(*set);
    FSlots[size_t(number - 1)] = std::move(set);
    return *FSlots[size_t(number - 1)];
}

// Walks the used slots from 1; past the last slot, or when the memory bound
// is exceeded at the slot after the last evicted one, a slot is evicted and
// taken.
int TSmoothFontCache::FreeSlotFor() {
    const qint64 inUse = MemoryInUse();
    int number = 1;
    while (FSlots[size_t(number - 1)]) {
        ++number;
        if (number > SlotCount) return Evict();
        if ((FLastEvicted == 0 || number == FLastEvicted + 1) && inUse > MemoryCacheSizeMax) return Evict();
    }
    return number;
}

int TSmoothFontCache::Evict() {
    int number = FLastEvicted;
    for (int tries = 0; tries < SlotCount; ++tries) {
        number = number >= SlotCount ? 1 : number + 1;
        if (FSlots[size_t(number - 1)]) break;
    }
    FLastEvicted = number;
    auto& slot = FSlots[size_t(number - 1)];
    if (slot && UseDiskCache) {
        const QString folder = WriteSetToDisk(*slot);
        if (!folder.isEmpty()) TrimDiskCache(folder);
    }
    if (slot) ForgetComposed(slot->Serial());
    slot.reset();
    return number;
}

QString TSmoothFontCache::PrimaryFolder() const { return Platform::WithTrailingSlash(DiskCacheDirectory); }

QString TSmoothFontCache::FallbackFolder() {
    return Platform::CacheFolder(false) + FallbackFolderName + "/";
}

bool TSmoothFontCache::ReadSetFromDisk(TSmoothCharacterSet& set) const {
    const QString stem = set.FileStem();
    for (const QString& path : {PrimaryFolder(), FallbackFolder()}) {
        const Platform::TSafeFolder folder = OpenCacheFolder(path);
        if (!folder.IsOpen()) continue;
        QByteArray header, data;
        TSmoothCacheRecord record;
        // Every read is bounded by what the header allows; anything short,
        // long or inconsistent sends us to the next folder, then to rendering.
        if (!folder.ReadFile(stem + ".Hdr", header, HeaderRecordSize) || !DecodeCacheHeader(header, record))
            continue;
        // Another set under the same number (a hash collision or a stray
        // file) must not stand in for this one.
        if (!(record.Font == set.Font() && record.Style == set.Key())) continue;
        if (!folder.ReadFile(stem + ".Dat", data, ExpectedCacheDataSize(record)) || !DecodeCacheData(data, record))
            continue;
        set.TakeRecord(std::move(record));
        return true;
    }
    return false;
}

QString TSmoothFontCache::WriteSetToDisk(const TSmoothCharacterSet& set) {
    TraceScope trace("TSmoothFontCache.WriteSetToDisk");
    const QString stem = set.FileStem();
    const TSmoothCacheRecord record = set.ToRecord();
    const QByteArray header = EncodeCacheHeader(record);
    const QByteArray data = EncodeCacheData(record);
    enum class TTry { Written, Failed, Refused };
    auto tryFolder = [&](const QString& path) {
        const Platform::TSafeFolder folder = OpenCacheFolder(path, true);
        if (!folder.IsOpen()) return TTry::Failed;
        const Platform::TSafeFolder::TEntry headerEntry = folder.Stat(stem + ".Hdr");
        const Platform::TSafeFolder::TEntry dataEntry = folder.Stat(stem + ".Dat");
        using TKind = Platform::TSafeFolder::TKind;
        // A prepared cache (read-only) is used as it is.
        if (headerEntry.Kind == TKind::File && headerEntry.ReadOnly) return TTry::Refused;
        // Names taken by anything but our files (a link, a folder) are left
        // alone, and so is the folder: half a set would be no use.
        for (const auto& entry : {headerEntry, dataEntry})
            if (entry.Kind != TKind::Missing && entry.Kind != TKind::File) return TTry::Failed;
        // The pixels first: a header never announces data that is not there.
        if (!folder.WriteFileAtomically(stem + ".Dat", data)) return TTry::Failed;
        if (!folder.WriteFileAtomically(stem + ".Hdr", header)) return TTry::Failed;
        return TTry::Written;
    };
    const QString primary = PrimaryFolder();
    switch (tryFolder(primary)) {
    case TTry::Written: return primary;
    case TTry::Refused: return {};
    case TTry::Failed: break;
    }
    // The program folder on a disc cannot be written: the per-user cache.
    Platform::CacheFolder(true);
    const QString fallback = FallbackFolder();
    if (fallback != primary && tryFolder(fallback) == TTry::Written) return fallback;
    TraceLog::InfoMsg("No disk cache folder can be written; glyphs stay in memory");
    return {};
}

void TSmoothFontCache::WriteMemoryCacheToDiskCache() {
    for (const auto& slot : FSlots) {
        if (!slot) break;
        WriteSetToDisk(*slot);
    }
}

void TSmoothFontCache::TrimDiskCache(const QString& path) {
    const Platform::TSafeFolder folder = OpenCacheFolder(path);
    if (folder.IsOpen()) TrimDiskCache(folder);
}

void TSmoothFontCache::TrimDiskCache(const Platform::TSafeFolder& folder) {
    using TEntry = Platform::TSafeFolder::TEntry;
    using TKind = Platform::TSafeFolder::TKind;
    // Only whole sets are ours to count and delete: a ".Dat" and a ".Hdr"
    // under the same number, both regular files. Anything else in the folder
    // (the user's files, links, folders, half sets) is never touched.
    QSet<QString> headers;
    std::vector<TEntry> sets;   // the ".Dat" of each set, its Name the stem
    const std::vector<TEntry> entries = folder.List();
    for (const TEntry& e : entries) {
        if (e.Kind == TKind::File && e.Name.endsWith(QLatin1String(".Hdr")) && IsCacheStem(e.Name.chopped(4)))
            headers.insert(e.Name.chopped(4));
    }
    for (const TEntry& e : entries) {
        if (e.Kind != TKind::File || !e.Name.endsWith(QLatin1String(".Dat"))) continue;
        const QString stem = e.Name.chopped(4);
        if (!IsCacheStem(stem) || !headers.contains(stem)) continue;
        TEntry set = e;
        set.Name = stem;
        sets.push_back(std::move(set));
    }
    // "The first listed" on a tie: in name order, whatever the folder's own order.
    std::sort(sets.begin(), sets.end(), [](const TEntry& a, const TEntry& b) { return a.Name < b.Name; });
    qint64 total = 0;
    for (const TEntry& set : sets) total += set.Size + HeaderRecordSize;
    while (total > DiskCacheSizeMax && !sets.empty()) {
        auto oldest = sets.begin();
        for (auto it = sets.begin(); it != sets.end(); ++it) {
            if (it->ModifiedNs < oldest->ModifiedNs) oldest = it;
        }
        folder.RemoveFile(oldest->Name + ".Hdr");
        folder.RemoveFile(oldest->Name + ".Dat");
        // A set that could not be deleted is left out of the count, so that
        // one stuck file neither loops nor costs the others their place.
        total -= oldest->Size + HeaderRecordSize;
        sets.erase(oldest);
    }
}

void TSmoothFontCache::TrimDiskCaches() {
    const QString primary = PrimaryFolder(), fallback = FallbackFolder();
    const Platform::TSafeFolder first = OpenCacheFolder(primary);
    if (first.CanWrite()) TrimDiskCache(first);
    if (fallback == primary) return;
    const Platform::TSafeFolder second = OpenCacheFolder(fallback);
    if (second.CanWrite()) TrimDiskCache(second);
}

// ---- text ------------------------------------------------------------------------------

int TSmoothFontCache::TextWidth(const TSmoothFontRecord& font, const TFont3DValues& style, const QString& text) {
    TSmoothCharacterSet& set = SetFor(font, style);
    const QList<uint> codes = text.toUcs4();
    qint64 width = 0;
    for (uint code : codes) width += set.Glyph(char32_t(code)).Width + style.CharacterMargin;
    if (codes.size() > 1) width += qint64(codes.size() - 1) * set.Overlap();
    return int(std::clamp<qint64>(width, 0, std::numeric_limits<int>::max()));
}

int TSmoothFontCache::TextHeight(const TSmoothFontRecord& font, const TFont3DValues& style) {
    return SetFor(font, style).CellHeight();
}

QByteArray TSmoothFontCache::ComposedKey(const TSmoothCharacterSet& set, const TFont3DValues& style,
                                         const QString& text, int acceleratorIndex) {
    // Everything the composition reads besides the set's glyphs.
    QByteArray key;
    key.reserve(96 + text.size() * 2);
    auto add = [&key](const auto& value) { key.append(reinterpret_cast<const char*>(&value), sizeof(value)); };
    add(set.Serial());
    add(acceleratorIndex);
    add(style.FrontColor.rgba());
    add(style.BorderColor.rgba());
    add(style.BorderEffectColor);
    add(style.BorderHeight);
    add(style.CharacterMargin);
    add(style.ShadowColor);
    add(int(style.ShadowStyle));
    add(style.GradientActive);
    if (style.GradientActive) {
        add(int(style.GradientKind));
        add(style.GradientBeginColor.rgba());
        add(style.GradientEndColor.rgba());
    }
    add(style.Bitmap.isNull() ? qint64(0) : style.Bitmap.cacheKey());
    key.append(reinterpret_cast<const char*>(text.constData()), text.size() * qsizetype(sizeof(QChar)));
    return key;
}

bool TSmoothFontCache::KeepComposed(const QByteArray& key, TComposed& entry) {
    const qint64 bytes = entry.Image.sizeInBytes();
    if (bytes > ComposedCacheSizeMax / 4) return false;   // a huge caption is composed each time
    while (FComposedBytes + bytes > ComposedCacheSizeMax && !FComposed.isEmpty()) {
        auto oldest = FComposed.begin();
        for (auto it = FComposed.begin(); it != FComposed.end(); ++it) {
            if (it->LastUse < oldest->LastUse) oldest = it;
        }
        FComposedBytes -= oldest->Image.sizeInBytes();
        FComposed.erase(oldest);
    }
    FComposedBytes += bytes;
    FComposed.insert(key, std::move(entry));
    return true;
}

void TSmoothFontCache::ForgetComposed(quint64 set) {
    for (auto it = FComposed.begin(); it != FComposed.end();) {
        if (it->Set == set) {
            FComposedBytes -= it->Image.sizeInBytes();
            it = FComposed.erase(it);
        } else {
            ++it;
        }
    }
}

int TSmoothFontCache::DrawString(QPainter& painter, QPoint at, const TSmoothFontRecord& font,
                                 const TFont3DValues& style, const QString& text, int acceleratorIndex,
                                 qreal ratio) {
    if (ratio > 1.0) {
        // The same caption from the set of the screen's ratio, each glyph
        // where the 1x set puts it (its hinted widths differ a little from
        // the sharp set's halves), so a caption is as wide as it measures.
        TSmoothCharacterSet& one = SetFor(font, style);
        const int overlap = one.Overlap();
        if (text.isEmpty()) return overlap;
        std::vector<int> positions;
        const QList<uint> codes = text.toUcs4();
        positions.reserve(size_t(codes.size()));
        const int step = overlap + style.CharacterMargin;
        qint64 x = 0;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            positions.push_back(int(std::lround(double(x) * ratio)));
            x += one.Glyph(char32_t(codes[i]), i == acceleratorIndex).Width + step;
        }
        const TSmoothFontRecord sharpFont = FontRecordAtRatio(font, ratio);
        const TFont3DValues sharpStyle = StyleAtRatio(style, ratio);
        if (TComposed* sharp = Composed(sharpFont, sharpStyle, text, acceleratorIndex, &positions)) {
            // Kept marked with its ratio: the set is that ratio's alone.
            sharp->Image.setDevicePixelRatio(ratio);
            painter.drawImage(QPointF(at) + QPointF(sharp->Left / ratio, 0), sharp->Image);
        }
        return overlap;
    }
    if (const TComposed* composed = Composed(font, style, text, acceleratorIndex))
        painter.drawImage(at + QPoint(composed->Left, 0), composed->Image);
    return SetFor(font, style).Overlap();
}

TSmoothFontCache::TComposed* TSmoothFontCache::Composed(const TSmoothFontRecord& font,
                                                        const TFont3DValues& style, const QString& text,
                                                        int acceleratorIndex, const std::vector<int>* positions) {
    TSmoothCharacterSet& set = SetFor(font, style);
    if (text.isEmpty()) return nullptr;
    QByteArray key;
    if (KeepComposedCaptions) {
        key = ComposedKey(set, style, text, acceleratorIndex);
        if (positions)
            key.append(reinterpret_cast<const char*>(positions->data()), qsizetype(positions->size() * sizeof(int)));
    }
    auto found = KeepComposedCaptions ? FComposed.find(key) : FComposed.end();
    if (found != FComposed.end()) {
        found->LastUse = ++FUseClock;
        return &*found;
    }

    set.ForgetExtrasWhenFull();
    const QList<uint> codes = text.toUcs4();
    if (positions && qsizetype(positions->size()) != codes.size()) return nullptr;
    FPlaced.clear();
    FPlaced.reserve(size_t(codes.size()));
    // Glyphs first, so that the overlap is known before the layout.
    for (qsizetype i = 0; i < codes.size(); ++i)
        FPlaced.push_back({&set.Glyph(char32_t(codes[i]), i == acceleratorIndex), 0});

    const int step = set.Overlap() + style.CharacterMargin;
    qint64 x = 0, left = 0, right = 0;
    int height = 0;
    for (size_t i = 0; i < FPlaced.size(); ++i) {
        TPlacedGlyph& placed = FPlaced[i];
        if (positions) x = (*positions)[i];
        left = std::min(left, x);
        right = std::max(right, x + placed.Glyph->Width);
        height = std::max(height, placed.Glyph->Height);
        placed.X = int(x);
        x += placed.Glyph->Width + step;
    }
    // Nothing wider than a canvas could show is composed.
    const qint64 width = right - left;
    if (width <= 0 || width > 32767 || height <= 0) return nullptr;
    for (TPlacedGlyph& placed : FPlaced) placed.X -= int(left);

    const QImage& image = FComposer.Compose(FPlaced, int(width), height, style);
    TComposed entry;
    entry.Image = image.copy(0, 0, int(width), height);
    entry.Left = int(left);
    entry.LastUse = ++FUseClock;
    entry.Set = set.Serial();
    if (KeepComposedCaptions && KeepComposed(key, entry)) return &FComposed[key];
    FUncached = std::move(entry);
    return &FUncached;
}

// ---- the process-wide cache ----------------------------------------------------------

namespace {

std::unique_ptr<TSmoothFontCache>& CacheHolder() {
    static std::unique_ptr<TSmoothFontCache> holder;
    return holder;
}

} // namespace

TSmoothFontCache& SmoothFontCache() {
    // The cache has no lock: painting is the main thread's.
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    auto& holder = CacheHolder();
    if (!holder) holder = std::make_unique<TSmoothFontCache>();
    return *holder;
}

void ResetSmoothFontCache() { CacheHolder().reset(); }
