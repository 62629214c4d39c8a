#include "imaging/smoothfontcache.h"
#include "imaging/smoothfontmanager.h"
#include "platform/paths.h"
#include "shell/env_guard.h"
#include "support/fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TSmoothFontRecord Arial(int pixels) {
    QFont f("Arial");
    f.setPixelSize(pixels);
    f.setBold(true);
    return TSmoothFontRecord::FromFont(f, 96);
}

// Every test starts and ends with an empty cache of default settings, and
// with its own per-user cache folder.
class SmoothFontCacheTest : public ::testing::Test {
protected:
    SmoothFontCacheTest() : FXdg("XDG_CACHE_HOME", QFile::encodeName(FTemp.Path() + "xdg")) {
        ResetSmoothFontCache();
    }
    ~SmoothFontCacheTest() override { ResetSmoothFontCache(); }

    // The cache with the disk cache in Folder (below the test's folder).
    TSmoothFontCache& DiskCache(const QString& folder = "FontCache3D") {
        TSmoothFontCache& cache = SmoothFontCache();
        cache.UseDiskCache = true;
        cache.DiskCacheDirectory = FTemp.Path() + folder;
        return cache;
    }

    QString Primary() const { return FTemp.Path() + "FontCache3D/"; }
    QString Fallback() const { return FTemp.Path() + "xdg/lumora/FontCache3D/"; }

    TTempFolder FTemp;
    TEnvGuard FXdg;
};

const QDateTime Now = QDateTime::currentDateTime();

// A cache file of Bytes bytes, modified Age seconds before Now.
void WriteAged(const QString& path, qint64 bytes, int age) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(bytes, 'x'));
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(Now.addSecs(-age), QFileDevice::FileModificationTime));
}

} // namespace

TEST_F(SmoothFontCacheTest, SetsAreSharedByFontAndShapeNotByColour) {
    TSmoothFontCache& cache = SmoothFontCache();
    TFont3DValues style;
    TSmoothCharacterSet& a = cache.SetFor(Arial(16), style);
    EXPECT_EQ(cache.Slot(1), &a);
    style.FrontColor = Qt::red;
    style.BorderColor = Qt::green;
    style.CharacterMargin = 3;
    EXPECT_EQ(&cache.SetFor(Arial(16), style), &a);
    style.Altitude = 2;
    EXPECT_NE(&cache.SetFor(Arial(16), style), &a);
    EXPECT_NE(&cache.SetFor(Arial(17), TFont3DValues()), &a);
    EXPECT_EQ(cache.Slot(3)->Font().Height, -17);
    EXPECT_EQ(cache.Slot(4), nullptr);
}

TEST_F(SmoothFontCacheTest, AThousandAndFirstSetEvictsSlot1ThenSlot2) {
    TSmoothFontCache& cache = SmoothFontCache();
    TFont3DValues style;
    for (int i = 0; i < 1000; ++i) {
        style.ViewDirection = quint16(i);
        cache.SetFor(Arial(16), style);
    }
    EXPECT_EQ(cache.LastEvicted(), 0);
    EXPECT_EQ(cache.Slot(1000)->Key().ViewDirection, 999);

    style.ViewDirection = 1000;
    cache.SetFor(Arial(16), style);
    EXPECT_EQ(cache.LastEvicted(), 1);
    EXPECT_EQ(cache.Slot(1)->Key().ViewDirection, 1000);
    style.ViewDirection = 1001;
    cache.SetFor(Arial(16), style);
    EXPECT_EQ(cache.LastEvicted(), 2);
    EXPECT_EQ(cache.Slot(2)->Key().ViewDirection, 1001);
    EXPECT_EQ(cache.Slot(3)->Key().ViewDirection, 2);
    // The evicted set is made afresh when it is asked for again.
    style.ViewDirection = 0;
    cache.SetFor(Arial(16), style);
    EXPECT_EQ(cache.LastEvicted(), 3);
}

TEST_F(SmoothFontCacheTest, MemoryBoundEvictsRoundRobin) {
    TSmoothFontCache& cache = SmoothFontCache();
    cache.MemoryCacheSizeMax = 1;
    TFont3DValues style;
    cache.SetFor(Arial(16), style).Fill(U'A');
    EXPECT_GT(cache.MemoryInUse(), 1);
    // Slot 1 is taken and memory is over the bound: slot 1 goes.
    style.Altitude = 1;
    cache.SetFor(Arial(16), style).Fill(U'B');
    EXPECT_EQ(cache.LastEvicted(), 1);
    EXPECT_EQ(cache.Slot(1)->Key().Altitude100, 100);
    EXPECT_EQ(cache.Slot(2), nullptr);
    // Under the bound the walk continues to the first free slot.
    cache.MemoryCacheSizeMax = 1000000;
    style.Altitude = 2;
    cache.SetFor(Arial(16), style);
    EXPECT_EQ(cache.Slot(2)->Key().Altitude100, 200);
    EXPECT_EQ(cache.LastEvicted(), 1);
}

TEST_F(SmoothFontCacheTest, TextWidthAddsOverlapBetweenNeighboursOnly) {
    TSmoothFontCache& cache = SmoothFontCache();
    TFont3DValues style;
    style.CharacterMargin = 2;
    const TSmoothFontRecord font = Arial(16);
    TSmoothCharacterSet& set = cache.SetFor(font, style);
    const int w = set.Glyph(U'W').Width, i = set.Glyph(U'i').Width;
    EXPECT_EQ(set.Overlap(), -4);
    EXPECT_EQ(cache.TextWidth(font, style, "W"), w + 2);
    EXPECT_EQ(cache.TextWidth(font, style, "WiW"), 2 * (w + 2) + i + 2 - 2 * 4);
    EXPECT_EQ(cache.TextWidth(font, style, ""), 0);
    EXPECT_EQ(cache.TextHeight(font, style), set.Glyph(U'W').Height);
}

TEST_F(SmoothFontCacheTest, CharactersAbove255AreDrawnButNotCached) {
    TSmoothFontCache& cache = DiskCache();
    TFont3DValues style;
    const TSmoothFontRecord font = Arial(20);
    QImage canvas(200, 40, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    cache.DrawString(p, QPoint(0, 0), font, style, QString::fromUtf8("\u03A9\u20AC"));   // Omega, euro
    p.end();
    int white = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) white += canvas.pixelColor(x, y) == QColor(Qt::white);
    EXPECT_GT(white, 20);
    TSmoothCharacterSet& set = cache.SetFor(font, style);
    EXPECT_EQ(set.ExtraGlyphCount(), 2);
    for (int c = 0; c < 256; ++c) ASSERT_FALSE(set.CachedGlyph(c).Rendered()) << c;
    EXPECT_EQ(set.MemoryBytes(), set.Glyph(U'\u03A9').Bytes() + set.Glyph(U'\u20AC').Bytes());
    // The disk format holds codes 0..255 only.
    ASSERT_FALSE(cache.WriteSetToDisk(set).isEmpty());
    EXPECT_EQ(QFileInfo(Primary() + set.FileStem() + ".Dat").size(), 0);
}

TEST_F(SmoothFontCacheTest, ASetWrittenAndReadBackIsIdentical) {
    TSmoothFontCache& cache = DiskCache();
    TFont3DValues style;
    const TSmoothFontRecord font = Arial(18);
    TSmoothCharacterSet& set = cache.SetFor(font, style);
    for (char32_t ch : {U'A', U'g', U'\u00E9', U'~'}) set.Fill(ch);
    const QString stem = set.FileStem();
    const TSmoothCacheRecord written = set.ToRecord();
    ASSERT_EQ(cache.WriteSetToDisk(set), Primary());
    const QByteArray header = ReadFileBytes(Primary() + stem + ".Hdr");
    EXPECT_EQ(header, EncodeCacheHeader(written));
    EXPECT_EQ(ReadFileBytes(Primary() + stem + ".Dat"), EncodeCacheData(written));

    ResetSmoothFontCache();
    TSmoothCharacterSet& back = DiskCache().SetFor(font, style);
    EXPECT_EQ(back.Overlap(), written.Overlap);
    for (int c = 0; c < 256; ++c) {
        ASSERT_EQ(back.CachedGlyph(c).Width, written.Glyphs[c].Width) << c;
        ASSERT_EQ(back.CachedGlyph(c).Height, written.Glyphs[c].Height) << c;
        ASSERT_EQ(back.CachedGlyph(c).Pixels, written.Glyphs[c].Pixels) << c;
    }
    EXPECT_EQ(EncodeCacheHeader(back.ToRecord()), header);
}

TEST_F(SmoothFontCacheTest, DamagedFilesAreIgnoredAndTheSetRenderedAfresh) {
    const TSmoothFontRecord font = Arial(18);
    const TFont3DValues style;
    TSmoothCharacterSet& set = DiskCache().SetFor(font, style);
    set.Fill(U'A');
    const QByteArray glyphA = QByteArray(reinterpret_cast<const char*>(set.CachedGlyph('A').Pixels.data()),
                                         qsizetype(set.CachedGlyph('A').Bytes()));
    const QString stem = set.FileStem();
    ASSERT_FALSE(SmoothFontCache().WriteSetToDisk(set).isEmpty());
    const QByteArray header = ReadFileBytes(Primary() + stem + ".Hdr");
    const QByteArray data = ReadFileBytes(Primary() + stem + ".Dat");

    TSmoothCacheRecord other;
    other.Font = Arial(19);   // a stray set under this set's name
    const struct { const char* what; QByteArray header, data; } cases[] = {
        {"short header", header.left(2000), data},
        {"long header", header + QByteArray(10, '\0'), data},
        {"short data", header, data.left(data.size() - 1)},
        {"long data", header, data + 'x'},
        {"header of another set", EncodeCacheHeader(other), QByteArray()},
    };
    for (const auto& c : cases) {
        ResetSmoothFontCache();
        QFile::remove(Primary() + stem + ".Hdr");
        QFile::remove(Primary() + stem + ".Dat");
        FTemp.Write("FontCache3D/" + stem + ".Hdr", c.header);
        FTemp.Write("FontCache3D/" + stem + ".Dat", c.data);
        TSmoothCharacterSet& fresh = DiskCache().SetFor(font, style);
        EXPECT_FALSE(fresh.CachedGlyph('A').Rendered()) << c.what;
        // Drawing renders it again, to the same pixels.
        const TSmoothGlyph& a = fresh.Glyph(U'A');
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(a.Pixels.data()), qsizetype(a.Bytes())), glyphA) << c.what;
    }
}

TEST_F(SmoothFontCacheTest, AReadOnlyHeaderIsUsedButNeverRewritten) {
    const TSmoothFontRecord font = Arial(18);
    const TFont3DValues style;
    TSmoothCharacterSet& set = DiskCache().SetFor(font, style);
    set.Fill(U'A');
    const QString stem = set.FileStem();
    ASSERT_FALSE(SmoothFontCache().WriteSetToDisk(set).isEmpty());
    const QString headerPath = Primary() + stem + ".Hdr";
    ASSERT_TRUE(Platform::SetReadOnly(headerPath, true));
    const QByteArray header = ReadFileBytes(headerPath);
    const QByteArray data = ReadFileBytes(Primary() + stem + ".Dat");

    ResetSmoothFontCache();
    TSmoothCharacterSet& prepared = DiskCache().SetFor(font, style);
    EXPECT_TRUE(prepared.CachedGlyph('A').Rendered());
    prepared.Fill(U'B');
    EXPECT_TRUE(SmoothFontCache().WriteSetToDisk(prepared).isEmpty());
    SmoothFontCache().WriteMemoryCacheToDiskCache();
    EXPECT_EQ(ReadFileBytes(headerPath), header);
    EXPECT_EQ(ReadFileBytes(Primary() + stem + ".Dat"), data);
    EXPECT_FALSE(QFileInfo::exists(Fallback() + stem + ".Hdr"));
    Platform::SetReadOnly(headerPath, false);
}

TEST_F(SmoothFontCacheTest, AnUnwritableFolderFallsBackToThePerUserCache) {
    const TSmoothFontRecord font = Arial(18);
    const TFont3DValues style;
    // A disc folder that cannot be made (a file stands in its way).
    FTemp.Write("disc", "a file");
    TSmoothCharacterSet& set = DiskCache("disc/FontCache3D").SetFor(font, style);
    set.Fill(U'A');
    EXPECT_EQ(SmoothFontCache().WriteSetToDisk(set), Fallback());
    EXPECT_TRUE(QFileInfo::exists(Fallback() + set.FileStem() + ".Hdr"));

    ResetSmoothFontCache();
    EXPECT_TRUE(DiskCache("disc/FontCache3D").SetFor(font, style).CachedGlyph('A').Rendered());
}

TEST_F(SmoothFontCacheTest, APreparedCacheInTheProgramFolderIsReadFirst) {
    const TSmoothFontRecord font = Arial(18);
    const TFont3DValues style;
    TSmoothCharacterSet& set = DiskCache().SetFor(font, style);
    set.Fill(U'A');
    const QString stem = set.FileStem();
    // The per-user copy has 'A' only; the prepared one also has 'B'.
    TSmoothCacheRecord record = set.ToRecord();
    FTemp.Write("xdg/lumora/FontCache3D/" + stem + ".Hdr", EncodeCacheHeader(record));
    FTemp.Write("xdg/lumora/FontCache3D/" + stem + ".Dat", EncodeCacheData(record));
    set.Fill(U'B');
    ASSERT_EQ(SmoothFontCache().WriteSetToDisk(set), Primary());

    ResetSmoothFontCache();
    EXPECT_TRUE(DiskCache().SetFor(font, style).CachedGlyph('B').Rendered());
}

TEST_F(SmoothFontCacheTest, NothingFailsWhenNoFolderCanBeWritten) {
    FTemp.Write("disc", "a file");
    FTemp.Write("home", "a file");
    TEnvGuard xdg("XDG_CACHE_HOME", QFile::encodeName(FTemp.Path() + "home/cache"));
    TSmoothFontCache& cache = DiskCache("disc/FontCache3D");
    cache.MemoryCacheSizeMax = 0;   // every new set evicts, writing to disk
    TFont3DValues style;
    QImage canvas(100, 30, QImage::Format_RGB32);
    QPainter p(&canvas);
    for (int i = 0; i < 3; ++i) {
        style.Altitude = i;
        cache.DrawString(p, QPoint(0, 0), Arial(14), style, "Ok");
    }
    EXPECT_EQ(cache.LastEvicted(), 1);
    EXPECT_TRUE(cache.WriteSetToDisk(*cache.Slot(1)).isEmpty());
    cache.WriteMemoryCacheToDiskCache();
    cache.TrimDiskCaches();
}

TEST_F(SmoothFontCacheTest, TrimmingKeepsExactlyTheLimitAndDeletesTheOldestBeyond) {
    TSmoothFontCache& cache = DiskCache();
    const QString folder = FTemp.Make("trim");
    auto make = [&](const QString& stem, qint64 bytes, int age) {
        WriteAged(folder + stem + ".Dat", bytes, age);
        WriteAged(folder + stem + ".Hdr", 2188, age);
    };
    make("1", 1000, 300);
    make("-2", 500, 200);
    make("3", 100, 100);
    const qint64 total = 1000 + 500 + 100 + 3 * 2188;

    cache.DiskCacheSizeMax = total;
    cache.TrimDiskCache(folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 6);

    cache.DiskCacheSizeMax = total - 1;
    cache.TrimDiskCache(folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), QStringList({"-2.Dat", "-2.Hdr", "3.Dat", "3.Hdr"}));

    // Two more go when only the newest fits.
    cache.DiskCacheSizeMax = 100 + 2188;
    cache.TrimDiskCache(folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), QStringList({"3.Dat", "3.Hdr"}));
}

TEST_F(SmoothFontCacheTest, TrimmingTakesTheFirstListedOnATieAndCountsOnlyDatFiles) {
    TSmoothFontCache& cache = DiskCache();
    const QString folder = FTemp.Make("tie");
    for (const char* stem : {"20", "10"}) {
        WriteAged(folder + stem + ".Dat", 10, 50);
        WriteAged(folder + stem + ".Hdr", 2188, 50);
    }
    WriteAged(folder + "notes.txt", 100000, 500);
    cache.DiskCacheSizeMax = 2 * (10 + 2188) - 1;
    cache.TrimDiskCache(folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), QStringList({"20.Dat", "20.Hdr", "notes.txt"}));
}

// A disc, a stick or a shared copy can plant links where the cache writes:
// the folder itself, or a set's files, pointing at the user's own files.
// Nothing is read, written or deleted through them; the per-user cache is
// used instead, and with both folders linked the glyphs stay in memory.
TEST_F(SmoothFontCacheTest, LinksPlantedInTheCacheAreNeverFollowed) {
    const TSmoothFontRecord font = Arial(18);
    const TFont3DValues style;
    TSmoothCharacterSet& made = SmoothFontCache().SetFor(font, style);
    made.Fill(U'B');
    const QString stem = made.FileStem();
    const TSmoothCacheRecord record = made.ToRecord();
    const auto link = [](const QString& target, const QString& at) {
        ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0);
    };
    enum class TPlant { Folder, DataToNotes, BothFolders };
    for (TPlant plant : {TPlant::Folder, TPlant::DataToNotes, TPlant::BothFolders}) {
        SCOPED_TRACE(int(plant));
        TTempFolder temp;
        TEnvGuard xdg("XDG_CACHE_HOME", QFile::encodeName(temp.Path() + "xdg"));
        // The user's folder: a thesis, notes, and a set the cache would take.
        const QString user = temp.Make("papers"), primary = temp.Path() + "FontCache3D/";
        const QString fallback = temp.Path() + "xdg/lumora/FontCache3D/";
        const QMap<QString, QByteArray> files = {{"thesis.Dat", "chapter one"}, {"notes.txt", "call home"},
                                                 {stem + ".Hdr", EncodeCacheHeader(record)},
                                                 {stem + ".Dat", EncodeCacheData(record)}};
        for (auto it = files.begin(); it != files.end(); ++it) temp.Write("papers/" + it.key(), it.value());
        if (plant == TPlant::Folder || plant == TPlant::BothFolders) link(user, primary.chopped(1));
        if (plant == TPlant::BothFolders) {
            temp.Make("xdg/lumora");
            link(user, fallback.chopped(1));
        }
        if (plant == TPlant::DataToNotes) {
            temp.Write("FontCache3D/" + stem + ".Hdr", EncodeCacheHeader(record));
            link(user + "notes.txt", primary + stem + ".Dat");
        }

        ResetSmoothFontCache();
        TSmoothFontCache& cache = SmoothFontCache();
        cache.UseDiskCache = true;
        cache.DiskCacheDirectory = primary;
        TSmoothCharacterSet& set = cache.SetFor(font, style);
        EXPECT_FALSE(set.CachedGlyph('B').Rendered());   // not read through a link
        set.Fill(U'A');
        EXPECT_EQ(cache.WriteSetToDisk(set), plant == TPlant::BothFolders ? QString() : fallback);
        cache.DiskCacheSizeMax = 0;
        cache.TrimDiskCaches();
        if (plant != TPlant::BothFolders) {
            EXPECT_FALSE(QFileInfo::exists(fallback + stem + ".Dat"));  // ours go
        }
        EXPECT_EQ(QDir(user).entryList(QDir::Files).size(), files.size());
        for (auto it = files.begin(); it != files.end(); ++it)
            EXPECT_EQ(ReadFileBytes(user + it.key()), it.value()) << it.key().toStdString();
    }
}

// Trimming counts and deletes whole sets only: "<N>.Dat" and "<N>.Hdr", N a
// signed 32-bit decimal number as the cache writes it, both regular files.
TEST_F(SmoothFontCacheTest, TrimmingLeavesEverythingThatIsNoSetOfOurs) {
    TSmoothFontCache& cache = DiskCache();
    const QString folder = FTemp.Make("strays");
    const QString notes = FTemp.Write("notes.txt", "call home");
    const QStringList strays = {"thesis.Dat", "12a.Dat", "12a.Hdr", "007.Dat", "007.Hdr", "7.Hdr", "4.Dat",
                                "5.Hdr", "9.Hdr", "99999999999.Dat", "99999999999.Hdr"};
    for (const QString& name : strays + QStringList{"-3.Dat", "-3.Hdr"}) WriteAged(folder + name, 100, 100);
    ASSERT_TRUE(QDir().mkdir(folder + "5.Dat"));
    ASSERT_EQ(symlink(QFile::encodeName(notes).constData(), QFile::encodeName(folder + "9.Dat").constData()), 0);
    cache.DiskCacheSizeMax = 0;
    cache.TrimDiskCache(folder);
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    QStringList expected = strays + QStringList{"5.Dat", "9.Dat"};
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(ReadFileBytes(notes), "call home");
}

TEST_F(SmoothFontCacheTest, EvictionWritesTheSetAndTrims) {
    TSmoothFontCache& cache = DiskCache();
    cache.MemoryCacheSizeMax = 0;
    cache.DiskCacheSizeMax = 1;   // nothing may stay on disk
    TFont3DValues style;
    TSmoothCharacterSet& first = cache.SetFor(Arial(14), style);
    first.Fill(U'x');
    style.Altitude = 1;
    cache.SetFor(Arial(14), style);
    EXPECT_EQ(cache.LastEvicted(), 1);
    EXPECT_TRUE(QDir(Primary()).entryList({"*.Dat"}).isEmpty());

    cache.DiskCacheSizeMax = 1000000;
    cache.SetFor(Arial(14), style).Fill(U'y');
    style.Altitude = 2;
    cache.SetFor(Arial(14), style);
    EXPECT_EQ(QDir(Primary()).entryList({"*.Dat"}).size(), 1);
}

TEST_F(SmoothFontCacheTest, ManagerHoldsTheSettingsAndWritesOnDestruction) {
    TFont3D font3D;
    QFont font("Arial");
    font.setPointSize(12);
    QString stem;
    {
        TSmoothFontManager3D manager;
        EXPECT_TRUE(manager.UseDiskCache());
        manager.setProperty("MemoryCacheSizeMax", 1000000);
        manager.setProperty("DiskCacheSizeMax", 5000000);
        manager.setProperty("DiskCacheDirectory", FTemp.Path() + "FontCache3D");
        EXPECT_EQ(SmoothFontCache().DiskCacheSizeMax, 5000000);
        EXPECT_EQ(SmoothFontCache().DiskCacheDirectory, FTemp.Path() + "FontCache3D");

        manager.FillMemoryCacheChar(font, font3D, 'Q');
        TSmoothCharacterSet* set = SmoothFontCache().Slot(1);
        ASSERT_NE(set, nullptr);
        stem = set->FileStem();
        int rendered = 0;
        for (int c = 0; c < 256; ++c) rendered += set->CachedGlyph(c).Rendered();
        EXPECT_EQ(rendered, 1);
        manager.FillMemoryCacheString(font, font3D, "QQab");
        manager.FillMemoryCacheAlphaNumeric(font, font3D);
        rendered = 0;
        for (int c = 0; c < 256; ++c) rendered += set->CachedGlyph(c).Rendered();
        EXPECT_EQ(rendered, 122 - 32 + 1);
        EXPECT_TRUE(set->CachedGlyph(32).Rendered() && set->CachedGlyph(122).Rendered());
        EXPECT_FALSE(set->CachedGlyph(31).Rendered() || set->CachedGlyph(123).Rendered());
        EXPECT_FALSE(QFileInfo::exists(Primary() + stem + ".Hdr"));
    }
    EXPECT_TRUE(QFileInfo::exists(Primary() + stem + ".Hdr"));
    EXPECT_TRUE(QFileInfo::exists(Primary() + stem + ".Dat"));
}

TEST_F(SmoothFontCacheTest, ManagerOfAnUnusedCacheWritesNothing) {
    {
        TSmoothFontManager3D manager;
        manager.SetDiskCacheDirectory(FTemp.Path() + "FontCache3D");
    }
    EXPECT_FALSE(QFileInfo::exists(Primary()));
}

namespace {

// Where a caption drew anything, in the picture's own pixels.
QRect InkOf(const QImage& image) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0 && image.pixel(x, y) != image.pixel(0, 0)) ink |= QRect(x, y, 1, 1);
    return ink;
}

// The caption drawn at (10, 4) on a picture of 200 x 40 logical pixels at Ratio.
QImage Caption(TSmoothFontCache& cache, qreal ratio) {
    QImage image(QSize(200, 40) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter p(&image);
    cache.DrawString(p, QPoint(10, 4), Arial(16), TFont3DValues(), "Roll 7", -1, ratio);
    return image;
}

} // namespace

// A 2x screen gets a set of its own, rendered at twice the size, beside the
// 1x one in memory and on disk; the caption covers the same logical place.
TEST_F(SmoothFontCacheTest, TheCacheHoldsBothDensitiesSideBySide) {
    TSmoothFontCache& cache = DiskCache();
    const QImage one = Caption(cache, 1), two = Caption(cache, 2);
    TSmoothCharacterSet* set1 = cache.Find(Arial(16), TSmoothStyleKey::From(TFont3DValues()));
    const TSmoothFontRecord font2 = FontRecordAtRatio(Arial(16), 2);
    TSmoothCharacterSet* set2 = cache.Find(font2, TSmoothStyleKey::From(StyleAtRatio(TFont3DValues(), 2)));
    ASSERT_NE(set1, nullptr);
    ASSERT_NE(set2, nullptr);
    EXPECT_EQ(font2.PixelHeight(), 32);
    EXPECT_NE(set1->FileStem(), set2->FileStem());

    const QRect ink1 = InkOf(one), ink2 = InkOf(two);
    ASSERT_FALSE(ink1.isEmpty());
    for (const auto& [edge1, edge2] : {std::pair{ink1.left(), ink2.left()}, std::pair{ink1.right() + 1, ink2.right() + 1},
                                       std::pair{ink1.top(), ink2.top()}, std::pair{ink1.bottom() + 1, ink2.bottom() + 1}})
        EXPECT_NEAR(edge2, 2 * edge1, 3);

    cache.WriteMemoryCacheToDiskCache();
    for (const TSmoothCharacterSet* set : {set1, set2})
        EXPECT_TRUE(QFileInfo(Primary() + set->FileStem() + ".Hdr").isFile());
    ResetSmoothFontCache();
    TSmoothFontCache& again = DiskCache();
    EXPECT_EQ(Caption(again, 2), two) << "the 2x set read back from its files";
    EXPECT_EQ(Caption(again, 1), one);
}
