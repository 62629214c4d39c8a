#include "suite/iprot/iprot.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using IProt::OrientationFlip;
using IProt::OrientationReverse;

const uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

// A small real JPEG made with Qt's own encoder, so the test does not depend
// on the imaging facade.
QByteArray TinyJpeg(int width = 24, int height = 16) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 10, y * 15, (x * y) & 0xFF));
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(90);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return out;
}

enum class TVariant { A, B };

QByteArray Make(TVariant v, const QByteArray& jpeg, unsigned flags) {
    return v == TVariant::A ? IProt::MakeVariantA(jpeg, flags) : IProt::MakeVariantB(jpeg, flags);
}

// Header offsets and sizes as written down in FORMAT.md.
struct TLayout {
    int HeaderSize;
    int LengthOffset;
    int PayloadCrcOffset;
    int FlagsOffset;
    int HeaderCrcOffset;
    bool BigEndian;
};
TLayout LayoutOf(TVariant v) {
    if (v == TVariant::A) return {32, 8, 12, 6, 28, false};
    return {24, 8, 12, 7, 20, true};
}

void Put32(QByteArray& file, int offset, uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i)
        file[offset + i] = char(uint8_t(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
}
// Recomputes the header CRC, so a test can reach the checks behind it.
void Reseal(TVariant v, QByteArray& file) {
    const TLayout l = LayoutOf(v);
    Put32(file, l.HeaderCrcOffset, IProt::Crc32(Bytes(file), l.HeaderCrcOffset), l.BigEndian);
}

struct TConverted {
    bool Ok;
    QByteArray Jpeg;
    unsigned Flags;
};
TConverted Convert(const QByteArray& file, int reserved = 0) {
    TConverted r{false, QByteArray("stale"), 999};
    r.Ok = IProt::ConvertKnownJpegImage(Bytes(file), file.size(), r.Jpeg, r.Flags, reserved);
    return r;
}

void ExpectRefused(const QByteArray& file, const std::string& what) {
    const TConverted r = Convert(file);
    EXPECT_FALSE(r.Ok) << what;
    EXPECT_TRUE(r.Jpeg.isEmpty()) << what;
    EXPECT_EQ(r.Flags, 0u) << what;
}

std::string Name(TVariant v) { return v == TVariant::A ? "A" : "B"; }
void PrintTo(TVariant v, std::ostream* os) { *os << "variant " << Name(v); }

class IProtVariantTest : public ::testing::TestWithParam<TVariant> {};

TEST_P(IProtVariantTest, RoundTripKeepsBytesAndFlags) {
    const TVariant v = GetParam();
    const QByteArray jpeg = TinyJpeg();
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8"));
    const unsigned flagSets[] = {0,  1,  2,  3,  15, OrientationFlip, OrientationReverse,
                                 1 | OrientationReverse, 3 | OrientationFlip | OrientationReverse};
    for (unsigned flags : flagSets) {
        SCOPED_TRACE(flags);
        const QByteArray file = Make(v, jpeg, flags);
        ASSERT_EQ(file.size(), LayoutOf(v).HeaderSize + jpeg.size());
        EXPECT_FALSE(file.startsWith("\xFF\xD8"));
        // A plain JPEG reader must refuse the file.
        EXPECT_TRUE(QImage::fromData(file, "JPG").isNull());

        EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(file), 64), v == TVariant::A ? 1 : 2);
        EXPECT_EQ(IProt::IsVariantAImage(Bytes(file), file.size()) != 0, v == TVariant::A);
        EXPECT_EQ(IProt::IsVariantBImage(Bytes(file), file.size()) != 0, v == TVariant::B);

        const TConverted r = Convert(file);
        ASSERT_TRUE(r.Ok);
        EXPECT_EQ(r.Jpeg, jpeg);
        EXPECT_EQ(r.Flags, flags);
        EXPECT_EQ(QImage::fromData(r.Jpeg, "JPG").size(), QSize(24, 16));
    }
}

// Variant B lays its body out in 4096-byte blocks; lengths around the block
// size and the smallest payload must come back intact, and so must A's.
TEST_P(IProtVariantTest, PayloadLengthsAroundBlockSizes) {
    const TVariant v = GetParam();
    for (int n : {2, 3, 4095, 4096, 4097, 8192, 8197}) {
        SCOPED_TRACE(n);
        QByteArray payload(n, '\0');
        for (int i = 0; i < n; ++i) payload[i] = char((i * 131 + 7) & 0xFF);
        payload[0] = char(0xFF);
        payload[1] = char(0xD8);
        const TConverted r = Convert(Make(v, payload, 1));
        ASSERT_TRUE(r.Ok);
        EXPECT_EQ(r.Jpeg, payload);
        EXPECT_EQ(r.Flags, 1u);
    }
}

TEST_P(IProtVariantTest, WriterRefusesWhatItCannotStore) {
    const TVariant v = GetParam();
    const QByteArray jpeg = TinyJpeg();
    EXPECT_TRUE(Make(v, QByteArray(), 0).isEmpty());
    EXPECT_TRUE(Make(v, QByteArray("\xFF"), 0).isEmpty());
    EXPECT_TRUE(Make(v, QByteArray("GIF89a...."), 0).isEmpty());
    EXPECT_TRUE(Make(v, jpeg, 64).isEmpty());
    EXPECT_TRUE(Make(v, jpeg, 0x100).isEmpty());
    EXPECT_TRUE(Make(v, jpeg, 0x80000000u).isEmpty());
}

TEST_P(IProtVariantTest, RecognitionNeedsTheWholeHeader) {
    const TVariant v = GetParam();
    const QByteArray file = Make(v, TinyJpeg(), 0);
    const int header = LayoutOf(v).HeaderSize;
    EXPECT_NE(IProt::IsKnownJpegImage(Bytes(file), header), 0);
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(file), header - 1), 0);
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(file), 0), 0);
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(file), -5), 0);
    EXPECT_EQ(IProt::IsVariantAImage(Bytes(file), header - 1), 0);
    EXPECT_EQ(IProt::IsVariantBImage(Bytes(file), header - 1), 0);
    // Another version is not ours to read.
    QByteArray other = file;
    other[v == TVariant::A ? 4 : 6] = char(2);
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(other), 64), 0);
}

TEST_P(IProtVariantTest, EveryTruncationIsRefused) {
    const TVariant v = GetParam();
    const QByteArray file = Make(v, TinyJpeg(), 3);
    for (qsizetype n = 0; n < file.size(); ++n) ExpectRefused(file.left(n), "length " + std::to_string(n));
    ExpectRefused(file + '\0', "one byte appended");
}

// CRC-32 catches every single-byte change; the magic and version are outside
// it but then the file is not recognised at all.
TEST_P(IProtVariantTest, EverySingleByteChangeIsRefused) {
    const TVariant v = GetParam();
    const QByteArray file = Make(v, TinyJpeg(8, 8), OrientationReverse);
    for (qsizetype i = 0; i < file.size(); ++i) {
        QByteArray damaged = file;
        damaged[i] = char(damaged[i] ^ 0x01);
        ExpectRefused(damaged, "bit 0 flipped at " + std::to_string(i));
        damaged[i] = char(file[i] ^ 0xFF);
        ExpectRefused(damaged, "byte inverted at " + std::to_string(i));
    }
}

TEST_P(IProtVariantTest, InconsistentHeadersAreRefused) {
    const TVariant v = GetParam();
    const TLayout l = LayoutOf(v);
    const QByteArray jpeg = TinyJpeg();
    const QByteArray file = Make(v, jpeg, 1);

    struct TCase {
        const char* What;
        std::function<void(QByteArray&)> Damage;
    };
    const TCase cases[] = {
        {"huge claimed length", [&](QByteArray& f) { Put32(f, l.LengthOffset, 0xFFFFFFFFu, l.BigEndian); }},
        {"length one more than stored",
         [&](QByteArray& f) { Put32(f, l.LengthOffset, uint32_t(jpeg.size() + 1), l.BigEndian); }},
        {"length one less than stored",
         [&](QByteArray& f) { Put32(f, l.LengthOffset, uint32_t(jpeg.size() - 1), l.BigEndian); }},
        {"zero length", [&](QByteArray& f) { Put32(f, l.LengthOffset, 0, l.BigEndian); }},
        {"wrong payload checksum",
         [&](QByteArray& f) { Put32(f, l.PayloadCrcOffset, IProt::Crc32(Bytes(jpeg), jpeg.size()) + 1, l.BigEndian); }},
        {"unknown orientation bit", [&](QByteArray& f) { f[l.FlagsOffset] = char(0x40 | 1); }},
    };
    for (const TCase& c : cases) {
        QByteArray damaged = file;
        c.Damage(damaged);
        Reseal(v, damaged);
        ExpectRefused(damaged, c.What);
    }
    // The same header claiming 4 GiB on a short file, unsealed.
    QByteArray huge = file;
    Put32(huge, l.LengthOffset, 0xFFFFFFFFu, l.BigEndian);
    ExpectRefused(huge, "huge claimed length, header checksum stale");

    EXPECT_FALSE(Convert(file, 1).Ok) << "reserved argument not 0";
    EXPECT_TRUE(Convert(file).Ok);
}

INSTANTIATE_TEST_SUITE_P(Variants, IProtVariantTest, ::testing::Values(TVariant::A, TVariant::B),
                         [](const auto& info) { return Name(info.param); });

TEST(IProtVariantB, BadTransformParametersAreRefused) {
    const QByteArray file = IProt::MakeVariantB(TinyJpeg(), 0);
    for (int rotation : {0, 8, 255}) {
        QByteArray damaged = file;
        damaged[18] = char(rotation);
        Reseal(TVariant::B, damaged);
        ExpectRefused(damaged, "rotation " + std::to_string(rotation));
    }
    QByteArray zeroBlocks = file;
    zeroBlocks[16] = 0;
    zeroBlocks[17] = 0;
    Reseal(TVariant::B, zeroBlocks);
    ExpectRefused(zeroBlocks, "block size 0");
}

TEST(IProtRecognition, PlainAndForeignDataAreNotVariants) {
    const QByteArray jpeg = TinyJpeg();
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(jpeg), 64), 0);
    EXPECT_EQ(IProt::IsVariantAImage(Bytes(jpeg), jpeg.size()), 0);
    EXPECT_EQ(IProt::IsVariantBImage(Bytes(jpeg), jpeg.size()), 0);
    ExpectRefused(jpeg, "plain JPEG");
    const QByteArray zeros(64, '\0');
    EXPECT_EQ(IProt::IsKnownJpegImage(Bytes(zeros), 64), 0);
    EXPECT_EQ(IProt::IsKnownJpegImage(nullptr, 64), 0);
    EXPECT_EQ(IProt::IsVariantAImage(nullptr, 100), 0);
    unsigned flags = 7;
    QByteArray out;
    EXPECT_FALSE(IProt::ConvertKnownJpegImage(nullptr, 100, out, flags));
    EXPECT_EQ(flags, 0u);
}

TEST(IProtCrc, MatchesTheZlibCheckValue) {
    const QByteArray text("123456789");
    EXPECT_EQ(IProt::Crc32(Bytes(text), text.size()), 0xCBF43926u);
    // Chained calls give the same result as one call.
    EXPECT_EQ(IProt::Crc32(Bytes(text) + 4, 5, IProt::Crc32(Bytes(text), 4)), 0xCBF43926u);
}

// ---- marker segments ----

QByteArray Segment(uint8_t code, const QByteArray& data) {
    QByteArray s;
    s.append(char(0xFF)).append(char(code));
    const int length = int(data.size()) + 2;
    s.append(char(length >> 8)).append(char(length & 0xFF));
    return s + data;
}

// Offset just past the APP0 segment Qt's encoder writes first.
qsizetype AfterApp0(const QByteArray& jpeg) {
    EXPECT_EQ(uint8_t(jpeg[2]), 0xFF);
    EXPECT_EQ(uint8_t(jpeg[3]), 0xE0);
    return 4 + ((uint8_t(jpeg[4]) << 8) | uint8_t(jpeg[5]));
}

QByteArray WithSegmentAfterApp0(const QByteArray& jpeg, const QByteArray& segment) {
    QByteArray out = jpeg;
    out.insert(AfterApp0(jpeg), segment);
    return out;
}

struct TFound {
    qint64 Position;
    uint32_t Value;
    uint16_t Length;
};
TFound Find(const QByteArray& data, unsigned marker = 0xE6FF) {
    TFound f{0, 123, 456};
    f.Position = IProt::FindMarkerPosition(Bytes(data), data.size(), marker, f.Value, f.Length);
    return f;
}

const QByteArray OwnMarkerData("tHarbour at dusk\0c\0r1\0xother\0yfield", 35);

TEST(IProtMarker, FindsApp6AfterApp0AndCopiesItsData) {
    const QByteArray jpeg = TinyJpeg();
    const QByteArray file = WithSegmentAfterApp0(jpeg, Segment(0xE6, OwnMarkerData));
    const TFound f = Find(file);
    ASSERT_EQ(f.Position, AfterApp0(jpeg));
    EXPECT_EQ(f.Length, OwnMarkerData.size());
    EXPECT_EQ(f.Value, uint32_t('t') | uint32_t('H') << 8 | uint32_t('a') << 16 | uint32_t('r') << 24);

    QByteArray buffer(f.Length, '\0');
    uint16_t length = f.Length;
    ASSERT_TRUE(IProt::GetMarker(Bytes(file), file.size(), f.Position,
                                 reinterpret_cast<uint8_t*>(buffer.data()), length));
    EXPECT_EQ(length, f.Length);
    EXPECT_EQ(buffer, OwnMarkerData);

    // A short buffer gets the first bytes only, a large one the whole data.
    char small[5] = {0, 0, 0, 0, 0x55};
    length = 4;
    ASSERT_TRUE(IProt::GetMarker(Bytes(file), file.size(), f.Position, reinterpret_cast<uint8_t*>(small), length));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(QByteArray(small, 4), OwnMarkerData.left(4));
    EXPECT_EQ(small[4], 0x55);
    QByteArray large(1000, '\0');
    length = 1000;
    ASSERT_TRUE(IProt::GetMarker(Bytes(file), file.size(), f.Position,
                                 reinterpret_cast<uint8_t*>(large.data()), length));
    EXPECT_EQ(length, OwnMarkerData.size());

    // The segment does not disturb a plain reader.
    EXPECT_FALSE(QImage::fromData(file, "JPG").isNull());
}

TEST(IProtMarker, ShortSegmentsFillBytesAndOtherWords) {
    const QByteArray jpeg = TinyJpeg();
    QByteArray file = WithSegmentAfterApp0(jpeg, Segment(0xE6, "ab"));
    TFound f = Find(file);
    EXPECT_EQ(f.Position, AfterApp0(jpeg));
    EXPECT_EQ(f.Length, 2);
    EXPECT_EQ(f.Value, 0u);

    file = WithSegmentAfterApp0(jpeg, Segment(0xE6, QByteArray()));
    f = Find(file);
    EXPECT_EQ(f.Position, AfterApp0(jpeg));
    EXPECT_EQ(f.Length, 0);
    uint16_t length = 10;
    uint8_t buffer[10];
    EXPECT_TRUE(IProt::GetMarker(Bytes(file), file.size(), f.Position, buffer, length));
    EXPECT_EQ(length, 0);

    // APP1, COM and APP6 in a row: each is found by its own word, and the
    // first of two APP6 segments wins.
    file = WithSegmentAfterApp0(jpeg, Segment(0xE1, "Exif") + Segment(0xFE, "note") +
                                          Segment(0xE6, "tOne") + Segment(0xE6, "tTwo"));
    const qsizetype base = AfterApp0(jpeg);
    EXPECT_EQ(Find(file, 0xE1FF).Position, base);
    EXPECT_EQ(Find(file, 0xFEFF).Position, base + 8);
    f = Find(file);
    EXPECT_EQ(f.Position, base + 16);
    EXPECT_EQ(f.Value, uint32_t('t') | uint32_t('O') << 8 | uint32_t('n') << 16 | uint32_t('e') << 24);
    EXPECT_GE(Find(file, 0xDAFF).Position, base + 32);

    // After fill bytes the position is that of the last FF.
    file = WithSegmentAfterApp0(jpeg, QByteArray("\xFF\xFF\xFF", 3) + Segment(0xE6, "tFill"));
    f = Find(file);
    EXPECT_EQ(f.Position, base + 3);
    EXPECT_EQ(f.Length, 5);
    length = 10;
    ASSERT_TRUE(IProt::GetMarker(Bytes(file), file.size(), f.Position, buffer, length));
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), length), QByteArray("tFill"));
}

TEST(IProtMarker, AbsentMarkerIsNegative) {
    const QByteArray jpeg = TinyJpeg();
    EXPECT_LT(Find(jpeg).Position, 0);
    EXPECT_LT(Find(jpeg, 0xFEFF).Position, 0);
    // Behind the end of image is not part of the picture.
    EXPECT_LT(Find(jpeg + Segment(0xE6, "tLate")).Position, 0);
    // Neither is a segment after the start of scan.
    const QByteArray tiny = QByteArray("\xFF\xD8", 2) + Segment(0xDA, QByteArray(10, '\0')) + Segment(0xE6, "tX");
    EXPECT_LT(Find(tiny).Position, 0);
    EXPECT_EQ(Find(tiny, 0xDAFF).Position, 2);
}

TEST(IProtMarker, MalformedDataIsNegative) {
    const QByteArray jpeg = TinyJpeg();
    const QByteArray file = WithSegmentAfterApp0(jpeg, Segment(0xE6, OwnMarkerData));
    auto withApp0Length = [&](int length) {
        QByteArray f = file;
        f[4] = char(length >> 8);
        f[5] = char(length & 0xFF);
        return f;
    };
    QByteArray garbageBetween = file;
    garbageBetween.insert(AfterApp0(jpeg), 'x');
    struct TCase {
        const char* What;
        QByteArray Data;
    };
    const TCase cases[] = {
        {"empty", QByteArray()},
        {"SOI only", QByteArray("\xFF\xD8", 2)},
        {"no SOI", file.mid(2)},
        {"variant file", IProt::MakeVariantA(file, 0)},
        {"APP0 length past the end", withApp0Length(0xFFFF)},
        {"APP0 length 0", withApp0Length(0)},
        {"APP0 length 1", withApp0Length(1)},
        {"byte between segments", garbageBetween},
        {"second SOI", QByteArray("\xFF\xD8\xFF\xD8", 4) + Segment(0xE6, "tX")},
        {"ends in fill bytes", QByteArray("\xFF\xD8\xFF\xFF\xFF", 5)},
    };
    for (const TCase& c : cases) EXPECT_LT(Find(c.Data).Position, 0) << c.What;
    uint32_t value = 1;
    uint16_t length = 1;
    EXPECT_LT(IProt::FindMarkerPosition(nullptr, 100, 0xE6FF, value, length), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(length, 0);
    for (unsigned word : {0x00E6u, 0xE600u, 0xD8FFu, 0xD0FFu, 0x00FFu, 0x1E6FFu})
        EXPECT_EQ(Find(file, word).Position, -3) << std::hex << word;
}

// Cutting the file anywhere: the marker is found exactly when its whole
// segment is inside the data.
TEST(IProtMarker, EveryTruncationIsBounded) {
    const QByteArray jpeg = TinyJpeg();
    const QByteArray file = WithSegmentAfterApp0(jpeg, Segment(0xE6, OwnMarkerData));
    const qint64 position = AfterApp0(jpeg);
    const qint64 end = position + 4 + OwnMarkerData.size();
    for (qsizetype n = 0; n <= file.size(); ++n) {
        const QByteArray cut = file.left(n);
        const TFound f = Find(cut);
        if (n >= end)
            EXPECT_EQ(f.Position, position) << n;
        else
            EXPECT_LT(f.Position, 0) << n;
        uint8_t buffer[64];
        uint16_t length = sizeof buffer;
        EXPECT_EQ(IProt::GetMarker(Bytes(cut), cut.size(), position, buffer, length), n >= end) << n;
    }
}

TEST(IProtMarker, GetMarkerRefusesBadPositions) {
    const QByteArray jpeg = TinyJpeg();
    const QByteArray file = WithSegmentAfterApp0(jpeg, Segment(0xE6, OwnMarkerData));
    QByteArray longApp0 = file;
    longApp0[4] = char(0xFF);
    longApp0[5] = char(0xFF);
    struct TCase {
        const char* What;
        const QByteArray& Data;
        qint64 Position;
    };
    const TCase cases[] = {
        {"negative", file, -1},
        {"past the end", file, file.size()},
        {"last bytes", file, file.size() - 3},
        {"not at an FF", file, 5},
        {"at the SOI", file, 0},
        {"segment runs past the end", longApp0, 2},
        {"huge position", file, qint64(1) << 62},
    };
    for (const TCase& c : cases) {
        uint8_t buffer[64];
        uint16_t length = sizeof buffer;
        EXPECT_FALSE(IProt::GetMarker(Bytes(c.Data), c.Data.size(), c.Position, buffer, length)) << c.What;
        EXPECT_EQ(length, 0) << c.What;
    }
    uint16_t length = 4;
    EXPECT_FALSE(IProt::GetMarker(nullptr, 100, 0, nullptr, length));
}

} // namespace
