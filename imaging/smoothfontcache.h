#pragma once
// The process-wide 3D glyph cache: up to 1000 character sets (one per font
// and 3D style) in numbered slots, evicted round-robin, bounded by the bytes
// of their glyph images, and mirrored to a disk cache folder so that later
// runs start without rendering. Main thread only; it has no lock.
//
// Disk folders: sets are read from DiskCacheDirectory first (a cache prepared
// on the disc), then from the per-user fallback $XDG_CACHE_HOME/lumora/
// FontCache3D/. They are written to DiskCacheDirectory when it can be written
// and to the fallback otherwise; when neither can, nothing is written and
// nothing fails. A read-only ".Hdr" is used but never rewritten. A cache
// folder that is a symbolic link is not used at all, and links inside one
// are never read, written or deleted (see platform/safefolder.h).
#include "imaging/font3d.h"
#include "imaging/smoothcachefile.h"
#include "imaging/smoothrender.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QString>
#include <array>
#include <memory>
#include <unordered_map>

class QPainter;
namespace Platform {
class TSafeFolder;
}

// One font in one 3D style: its 256 cached glyphs (codes 0..255) and, kept
// in memory only, any other characters drawn with it.
class TSmoothCharacterSet {
public:
    TSmoothCharacterSet(const TSmoothFontRecord& font, const TFont3DValues& style);

    // Unique in the process, never reused (composed captions refer to it).
    quint64 Serial() const { return FSerial; }
    const TSmoothFontRecord& Font() const { return FFont; }
    const TSmoothStyleKey& Key() const { return FKey; }
    const TFont3DValues& Style() const { return FStyle; }
    int Overlap() const { return FStyle.Overlap; }
    QString FileStem() const { return CacheFileStem(FFont, FKey); }

    bool Matches(const TSmoothFontRecord& font, const TSmoothStyleKey& key) const {
        return FFont == font && FKey == key;
    }

    // The glyph of Ch, rendered first when missing. Codes above 255 (and the
    // underlined accelerator character) are not part of the disk format and
    // live in the set's memory-only table.
    const TSmoothGlyph& Glyph(char32_t ch, bool underlined = false);
    // Glyph of code 0..255 as cached; no rendering.
    const TSmoothGlyph& CachedGlyph(int code) const { return FGlyphs[size_t(code)]; }
    // Renders the glyph of Ch when it is not cached yet; true when it rendered.
    bool Fill(char32_t ch);
    // Bytes of all glyph images held (counted against MemoryCacheSizeMax).
    qint64 MemoryBytes() const { return FBytes; }
    int ExtraGlyphCount() const { return int(FExtra.size()); }
    // Height of every cell of the set.
    int CellHeight();
    // Starts the memory-only table over once it is full; called before a
    // string collects its glyphs, never while their addresses are held.
    void ForgetExtrasWhenFull();

    // Disk image of the set.
    TSmoothCacheRecord ToRecord() const;
    // Takes glyphs and overlap from a record read from disk.
    void TakeRecord(TSmoothCacheRecord&& record);

private:
    quint64 FSerial;
    TSmoothFontRecord FFont;
    TSmoothStyleKey FKey;
    TFont3DValues FStyle;   // the 3D values that shape the glyphs, and Overlap
    std::array<TSmoothGlyph, GlyphCodeCount> FGlyphs;
    std::unordered_map<quint32, TSmoothGlyph> FExtra;
    qint64 FBytes = 0;
    int FCellHeight = -1;
};

class TSmoothFontCache {
public:
    static constexpr int SlotCount = 1000;
    static constexpr const char* FallbackFolderName = "FontCache3D";

    qint64 MemoryCacheSizeMax = 1000000;
    qint64 DiskCacheSizeMax = 5000000;
    QString DiskCacheDirectory = "FontCache3D";
    bool UseDiskCache = false;

    TSmoothFontCache();
    ~TSmoothFontCache();
    TSmoothFontCache(const TSmoothFontCache&) = delete;
    TSmoothFontCache& operator=(const TSmoothFontCache&) = delete;

    // The set for Font and Style: the first used slot that matches, else a
    // new one (evicting when the slots or the memory bound require it), read
    // from the disk cache when it is there. Style's Overlap is not looked at.
    TSmoothCharacterSet& SetFor(const TSmoothFontRecord& font, const TFont3DValues& style);
    TSmoothCharacterSet* Find(const TSmoothFontRecord& font, const TSmoothStyleKey& key) const;

    // Set in slot Number (1..1000), null when unused.
    TSmoothCharacterSet* Slot(int number) const;
    int LastEvicted() const { return FLastEvicted; }
    // True once any set was made.
    bool WasUsed() const { return FUsed; }
    qint64 MemoryInUse() const;

    // Writes sets from slot 1 upward until the first unused slot.
    void WriteMemoryCacheToDiskCache();
    // Writes Set's two files; returns the folder written to (with "/"), empty
    // when nothing was written (read-only header, no writable folder).
    QString WriteSetToDisk(const TSmoothCharacterSet& set);
    // Deletes the oldest sets of Folder until the ".Dat" files, each counted
    // with 2188 bytes for its header, total at most DiskCacheSizeMax. A set
    // is a "<N>.Dat" and a "<N>.Hdr", N a signed decimal number, both
    // regular files; nothing else in the folder is counted or deleted.
    void TrimDiskCache(const QString& folder);
    void TrimDiskCache(const Platform::TSafeFolder& folder);
    // Trims each of the two folders that exists and can be written.
    void TrimDiskCaches();

    // Primary folder (DiskCacheDirectory with "/") and the per-user fallback.
    QString PrimaryFolder() const;
    static QString FallbackFolder();

    // Text measuring: the sum of Width + CharacterMargin over the characters
    // plus Overlap between neighbours. Renders what is missing.
    int TextWidth(const TSmoothFontRecord& font, const TFont3DValues& style, const QString& text);
    // Height of one line (the cell height).
    int TextHeight(const TSmoothFontRecord& font, const TFont3DValues& style);

    // Draws Text with its left top at At. Colours, margins, gradient and
    // texture come from Style. AcceleratorIndex (-1: none) names the
    // character (by code point position in Text) to underline. Returns the
    // set's overlap. A caption composed once is kept, ready to draw, in a
    // small cache of its own (ComposedCacheSizeMax bytes), since labels
    // repaint the same texts again and again.
    // On a screen of device pixel ratio Ratio above 1 the caption is drawn
    // with the set for that ratio (FontRecordAtRatio) into the same logical
    // place, so it is as sharp as the screen; layout and measuring stay with
    // the 1x set.
    static constexpr qint64 ComposedCacheSizeMax = qint64(4) << 20;
    // Off: every caption is composed from the glyphs each time (benchmarks).
    bool KeepComposedCaptions = true;
    int DrawString(QPainter& painter, QPoint at, const TSmoothFontRecord& font, const TFont3DValues& style,
                   const QString& text, int acceleratorIndex = -1, qreal ratio = 1.0);

private:
    int FreeSlotFor();
    int Evict();
    bool ReadSetFromDisk(TSmoothCharacterSet& set) const;

    struct TComposed {
        QImage Image;      // premultiplied, exactly the caption's size (in the set's pixels)
        int Left = 0;      // x of the image relative to the caption's origin, in the set's pixels
        quint64 LastUse = 0;
        quint64 Set = 0;
    };
    static QByteArray ComposedKey(const TSmoothCharacterSet& set, const TFont3DValues& style, const QString& text,
                                  int acceleratorIndex);
    // The caption composed (or found composed); null when there is nothing
    // to draw. Valid until the next call. Positions, when given, hold each
    // character's x in the set's pixels (the 1x layout scaled to the set).
    TComposed* Composed(const TSmoothFontRecord& font, const TFont3DValues& style, const QString& text,
                        int acceleratorIndex, const std::vector<int>* positions = nullptr);
    // False (Entry left as it was) when the caption is too large to keep.
    bool KeepComposed(const QByteArray& key, TComposed& entry);
    void ForgetComposed(quint64 set);

    std::array<std::unique_ptr<TSmoothCharacterSet>, SlotCount> FSlots;
    int FLastEvicted = 0;
    bool FUsed = false;
    mutable int FLastFound = -1;   // slot index of the last set found
    TSmoothComposer FComposer;
    std::vector<TPlacedGlyph> FPlaced;
    QHash<QByteArray, TComposed> FComposed;
    TComposed FUncached;   // the last caption composed but not kept
    qint64 FComposedBytes = 0;
    quint64 FUseClock = 0;
};

// The one cache of the process.
TSmoothFontCache& SmoothFontCache();
// For tests: drops every set without writing and restores the defaults.
void ResetSmoothFontCache();
