#include "imaging/smoothcachefile.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <functional>

namespace {

qint32 IntAt(const QByteArray& bytes, int offset) { return qFromLittleEndian<qint32>(bytes.constData() + offset); }
void PutIntAt(QByteArray& bytes, int offset, qint32 v) { qToLittleEndian<qint32>(v, bytes.data() + offset); }

TSmoothFontRecord ArialBold12() {
    TSmoothFontRecord f;
    f.Height = -16;
    f.Size = 12;
    f.PixelsPerInch = 96;
    f.Name = "Arial";
    f.Style = FontStyleBold;
    f.Pitch = FontPitchDefault;
    return f;
}

// A record with glyphs 'A' (5 x 4) and 'b' (3 x 4) whose bytes count up.
TSmoothCacheRecord SampleRecord() {
    TSmoothCacheRecord r;
    r.Font = ArialBold12();
    r.Style = TSmoothStyleKey::From(TFont3DValues());
    r.Overlap = -4;
    int value = 0;
    for (auto [code, width] : {std::pair{'A', 5}, std::pair{'b', 3}}) {
        TSmoothGlyph& g = r.Glyphs[size_t(code)];
        g.Width = width;
        g.Height = 4;
        g.Pixels.resize(size_t(g.Bytes()));
        for (quint8& p : g.Pixels) p = quint8(value++);
    }
    return r;
}

} // namespace

TEST(SmoothCacheFile, NearestRoundsHalvesToEven) {
    const struct { double in; qint32 out; } cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3},
        {300.0, 300}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}};
    for (const auto& c : cases) EXPECT_EQ(Nearest(c.in), c.out) << c.in;
}

TEST(SmoothCacheFile, KeyHashIndexesTheTableByByte) {
    EXPECT_EQ(CacheKeyHash("abc"), 2469119494u);
    EXPECT_EQ(qint32(CacheKeyHash("abc")), -1825847802);
    // Not the ordinary CRC-32 of "abc" (0x352441C2), which indexes words.
    EXPECT_NE(CacheKeyHash("abc"), 0x352441C2u);
    EXPECT_EQ(CacheKeyHash(""), 0u);
}

TEST(SmoothCacheFile, KeyTextConcatenatesTheValuesThenTheName) {
    TFont3DValues style;   // altitude 3, outline 1, shadow 32 sharp, flying, 135 degrees
    EXPECT_EQ(CacheKeyText(ArialBold12(), TSmoothStyleKey::From(style)), QByteArray("1012-1630010032001350020Arial"));

    style.Altitude = -2.125;   // -212.5 rounds to even
    style.BorderHeight = 0.125;
    style.ShadowColor = 0;
    style.ViewDirection = 7;
    style.ShadowStyle = sfssDiffuse;
    style.Site = sfpRaised;
    TSmoothFontRecord font = ArialBold12();
    font.Pitch = 0x82;            // only the low 7 bits count
    font.Style = FontStyleItalic | FontStyleUnderline;
    EXPECT_EQ(CacheKeyText(font, TSmoothStyleKey::From(style)), QByteArray("6212-16-21212070012Arial"));
}

TEST(SmoothCacheFile, NamesOfSetsWithTheTopHashBitBeginWithAMinus) {
    bool sawNegative = false, sawPositive = false;
    for (int size = 6; size < 40; ++size) {
        TSmoothFontRecord font = ArialBold12();
        font.Size = size;
        const TSmoothStyleKey key = TSmoothStyleKey::From(TFont3DValues());
        const quint32 hash = CacheKeyHash(CacheKeyText(font, key));
        const QString stem = CacheFileStem(font, key);
        if (hash & 0x80000000u) {
            sawNegative = true;
            EXPECT_TRUE(stem.startsWith('-')) << stem.toStdString();
            EXPECT_EQ(stem, QString::number(qint64(hash) - (qint64(1) << 32)));
        } else {
            sawPositive = true;
            EXPECT_EQ(stem, QString::number(hash));
        }
    }
    EXPECT_TRUE(sawNegative);
    EXPECT_TRUE(sawPositive);
}

TEST(SmoothCacheFile, FontRecordFromPointsOrPixels) {
    QFont points("Arial");
    points.setPointSize(12);
    points.setBold(true);
    points.setItalic(true);
    const TSmoothFontRecord p = TSmoothFontRecord::FromFont(points, 96);
    EXPECT_EQ(p.Height, -16);
    EXPECT_EQ(p.Size, 12);
    EXPECT_EQ(p.Name, QByteArray("Arial"));
    EXPECT_EQ(p.Style, FontStyleBold | FontStyleItalic);
    EXPECT_EQ(TSmoothFontRecord::FromFont(points, 120).Height, -20);

    QFont pixels("Arial");
    pixels.setPixelSize(12);
    const TSmoothFontRecord x = TSmoothFontRecord::FromFont(pixels, 96);
    EXPECT_EQ(x.Height, -12);
    EXPECT_EQ(x.Size, 9);
    EXPECT_EQ(x.PixelHeight(), 12);

    QFont huge("Arial");
    huge.setPixelSize(5000);
    EXPECT_EQ(TSmoothFontRecord::FromFont(huge, 96).PixelHeight(), MaxSmoothFontPixels);
    QFont longName(QString(150, QChar(0x00E9)));   // two UTF-8 bytes each
    EXPECT_EQ(TSmoothFontRecord::FromFont(longName, 96).Name.size(), 100);
}

TEST(SmoothCacheFile, HeaderRecordLayout) {
    const TSmoothCacheRecord r = SampleRecord();
    const QByteArray h = EncodeCacheHeader(r);
    ASSERT_EQ(h.size(), 2188);
    EXPECT_EQ(IntAt(h, 0), -16);
    EXPECT_EQ(IntAt(h, 4), 12);
    EXPECT_EQ(IntAt(h, 8), 96);
    EXPECT_EQ(quint8(h[12]), 5);
    EXPECT_EQ(h.mid(13, 5), QByteArray("Arial"));
    EXPECT_EQ(h.mid(18, 95), QByteArray(95, '\0'));
    EXPECT_EQ(quint8(h[113]), FontStyleBold);
    EXPECT_EQ(quint8(h[114]), 0);
    EXPECT_EQ(quint8(h[115]), 0);
    EXPECT_EQ(IntAt(h, 116), 300);
    EXPECT_EQ(IntAt(h, 120), 100);
    EXPECT_EQ(IntAt(h, 124), 32);
    EXPECT_EQ(IntAt(h, 128), 135);
    EXPECT_EQ(IntAt(h, 132), -4);
    EXPECT_EQ(quint8(h[136]), 2);   // sharp
    EXPECT_EQ(quint8(h[137]), 0);   // flying
    EXPECT_EQ(h.mid(138, 2), QByteArray(2, '\0'));
    for (int c = 0; c < 256; ++c) {
        const qint32 w = c == 'A' ? 5 : c == 'b' ? 3 : -1;
        const qint32 ht = (c == 'A' || c == 'b') ? 4 : -1;
        ASSERT_EQ(IntAt(h, 140 + 4 * c), w) << c;
        ASSERT_EQ(IntAt(h, 1164 + 4 * c), ht) << c;
    }
    // Little-endian on the wire: the first bytes of the height -16.
    EXPECT_EQ(h.left(4), QByteArray::fromHex("f0ffffff"));

    const QByteArray d = EncodeCacheData(r);
    ASSERT_EQ(d.size(), 5 * 4 * 3 + 3 * 4 * 3);
    EXPECT_EQ(quint8(d[0]), 0);                 // 'A' first (code 65 before 98)
    EXPECT_EQ(quint8(d[60]), 60);               // then 'b'
}

TEST(SmoothCacheFile, RecordsReadBackIdentically) {
    const TSmoothCacheRecord r = SampleRecord();
    const QByteArray header = EncodeCacheHeader(r), data = EncodeCacheData(r);
    TSmoothCacheRecord back;
    ASSERT_TRUE(DecodeCacheHeader(header, back));
    EXPECT_EQ(ExpectedCacheDataSize(back), data.size());
    ASSERT_TRUE(DecodeCacheData(data, back));
    EXPECT_EQ(back.Font, r.Font);
    EXPECT_EQ(back.Style, r.Style);
    EXPECT_EQ(back.Overlap, r.Overlap);
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(back.Glyphs[c].Width, r.Glyphs[c].Width);
        EXPECT_EQ(back.Glyphs[c].Height, r.Glyphs[c].Height);
        EXPECT_EQ(back.Glyphs[c].Pixels, r.Glyphs[c].Pixels);
    }
    EXPECT_EQ(EncodeCacheHeader(back), header);
}

TEST(SmoothCacheFile, DamagedHeadersAreRefused) {
    const QByteArray good = EncodeCacheHeader(SampleRecord());
    const struct {
        const char* what;
        std::function<void(QByteArray&)> damage;
    } cases[] = {
        {"short by one", [](QByteArray& h) { h.chop(1); }},
        {"long by one", [](QByteArray& h) { h.append('\0'); }},
        {"empty", [](QByteArray& h) { h.clear(); }},
        {"name of 101 bytes", [](QByteArray& h) { h[12] = char(101); }},
        {"style bits above 15", [](QByteArray& h) { h[113] = char(16); }},
        {"pitch 3", [](QByteArray& h) { h[114] = char(3); }},
        {"shadow style 3", [](QByteArray& h) { h[136] = char(3); }},
        {"site 3", [](QByteArray& h) { h[137] = char(3); }},
        {"shadow grey 256", [](QByteArray& h) { PutIntAt(h, 124, 256); }},
        {"altitude beyond the limit", [](QByteArray& h) { PutIntAt(h, 116, 6401); }},
        {"font of 801 pixels", [](QByteArray& h) { PutIntAt(h, 0, -801); }},
        {"no pixels per inch", [](QByteArray& h) { PutIntAt(h, 8, 0); }},
        {"positive overlap", [](QByteArray& h) { PutIntAt(h, 132, 1); }},
        {"width without height", [](QByteArray& h) { PutIntAt(h, 1164 + 4 * 'A', -1); }},
        {"height without width", [](QByteArray& h) { PutIntAt(h, 140 + 4 * 'z', 7); }},
        {"zero width", [](QByteArray& h) { PutIntAt(h, 140 + 4 * 'A', 0); }},
        {"width -2", [](QByteArray& h) { PutIntAt(h, 140 + 4 * 'A', -2); }},
        {"width beyond the largest cell", [](QByteArray& h) { PutIntAt(h, 140 + 4 * 'A', 2049); }},
        {"glyphs of two heights", [](QByteArray& h) { PutIntAt(h, 1164 + 4 * 'b', 5); }},
        {"more pixels than a set may have",
         [](QByteArray& h) {
             for (int c = 0; c < 256; ++c) {
                 PutIntAt(h, 140 + 4 * c, 2048);
                 PutIntAt(h, 1164 + 4 * c, 2048);
             }
         }},
    };
    TSmoothCacheRecord scratch;
    ASSERT_TRUE(DecodeCacheHeader(good, scratch));
    for (const auto& c : cases) {
        QByteArray h = good;
        c.damage(h);
        TSmoothCacheRecord r;
        EXPECT_FALSE(DecodeCacheHeader(h, r)) << c.what;
    }
}

TEST(SmoothCacheFile, DataOfAnyOtherSizeIsRefusedAndLeavesTheGlyphsEmpty) {
    const TSmoothCacheRecord sample = SampleRecord();
    const QByteArray header = EncodeCacheHeader(sample), data = EncodeCacheData(sample);
    for (const QByteArray& wrong : {data.left(data.size() - 1), data + 'x', QByteArray()}) {
        TSmoothCacheRecord r;
        ASSERT_TRUE(DecodeCacheHeader(header, r));
        EXPECT_FALSE(DecodeCacheData(wrong, r)) << wrong.size();
        EXPECT_TRUE(r.Glyphs['A'].Pixels.empty());
    }
}
