// The skin-resource container and the library calls on top of it.
#include "platform/crc32.h"
#include "suite/xres/xres.h"
#include "support/fixtures.h"
#include <QFile>
#include <gtest/gtest.h>

namespace {

QList<XRes::TResource> SampleResources() {
    return {{"JPEG", "0001", 1, QByteArray("\xFF\xD8 a still \xFF\xD9", 13)},
            {"AJPG", "0031", 5, QByteArray("\xFF\xD8 five frames \xFF\xD9", 17)},
            {"FILE", "0007", 1, QByteArray("template text")},
            {"FILE", "0008", 1, QByteArray()}};
}

QByteArray SampleContainer() {
    QString error;
    const QByteArray data = XRes::Build(SampleResources(), &error);
    EXPECT_FALSE(data.isEmpty()) << error.toStdString();
    return data;
}

// Reads through the library calls; empty with Result set when not found.
QByteArray LibraryRead(const char* type, const char* name, int& result, int* frames = nullptr) {
    void* data = nullptr;
    int size = -1;
    result = frames ? GetAnimatedXResource(type, name, &data, &size, frames) : GetXResource(type, name, &data, &size);
    if (result < 1) {
        EXPECT_EQ(data, nullptr);
        return {};
    }
    const QByteArray copy(static_cast<const char*>(data), size);
    FreeXResourceMemory(data);
    return copy;
}

class XResLibrary : public ::testing::Test {
protected:
    void TearDown() override { CloseXRes(); }
    TTempFolder Temp;
};

} // namespace

TEST(XResContainer, RoundTripsEveryResourceWithItsFrameCount) {
    XRes::TXResFile file;
    QString error;
    ASSERT_TRUE(file.Parse(SampleContainer(), &error)) << error.toStdString();
    ASSERT_EQ(file.Entries().size(), 4);
    for (const XRes::TResource& r : SampleResources()) {
        const XRes::TEntry* e = file.Find(r.Type, r.Name);
        ASSERT_NE(e, nullptr) << r.Type.constData() << "/" << r.Name.constData();
        EXPECT_EQ(int(e->Frames), r.Frames);
        EXPECT_EQ(file.Data(*e), r.Data);
    }
    // Type and name compare without regard to case; absent ones are absent.
    EXPECT_NE(file.Find("ajpg", "0031"), nullptr);
    EXPECT_EQ(file.Find("JPEG", "0031"), nullptr);
    EXPECT_EQ(file.Find("JPEG", "00001"), nullptr);
    EXPECT_EQ(file.Find("JP?G", "0001"), nullptr);
}

TEST(XResContainer, LayoutIsTheDocumentedOne) {
    const QByteArray data = SampleContainer();
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    EXPECT_EQ(data.left(4), QByteArray("XRES"));
    EXPECT_EQ(p[4] | (p[5] << 8), 1);                     // version
    EXPECT_EQ(p[6] | (p[7] << 8), 4);                     // count
    const quint32 size = p[8] | (p[9] << 8) | (p[10] << 16) | (quint32(p[11]) << 24);
    EXPECT_EQ(size, quint32(data.size()));
    const quint32 crc = p[12] | (p[13] << 8) | (p[14] << 16) | (quint32(p[15]) << 24);
    EXPECT_EQ(crc, Platform::Crc32(p + 16, 4 * 24));
    EXPECT_EQ(data.mid(16, 8), QByteArray("JPEG0001"));
    EXPECT_EQ(data.mid(16 + 24, 8), QByteArray("AJPG0031"));
    // The first resource's data starts right after the index.
    const quint32 offset = p[28] | (p[29] << 8) | (p[30] << 16) | (quint32(p[31]) << 24);
    EXPECT_EQ(offset, 16u + 4 * 24);
}

TEST(XResContainer, EveryTruncationIsRefused) {
    const QByteArray data = SampleContainer();
    for (int n = 0; n < data.size(); ++n) {
        XRes::TXResFile file;
        QString error;
        EXPECT_FALSE(file.Parse(data.left(n), &error)) << "kept " << n << " bytes";
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(file.IsOpen());
    }
    XRes::TXResFile file;
    EXPECT_FALSE(file.Parse(data + QByteArray("x"))) << "a byte after the end";
}

TEST(XResContainer, EverySingleByteChangeIsRefused) {
    const QByteArray data = SampleContainer();
    for (int i = 0; i < data.size(); ++i) {
        for (const uint8_t flip : {0x01, 0x80}) {
            QByteArray damaged = data;
            damaged[i] = char(uint8_t(damaged[i]) ^ flip);
            XRes::TXResFile file;
            EXPECT_FALSE(file.Parse(damaged)) << "byte " << i << " ^ " << int(flip);
        }
    }
}

// Containers that are consistent in their checksums but break a rule.
TEST(XResContainer, MalformedButConsistentIndexesAreRefused) {
    const auto rebuild = [](QByteArray data, int entry, int field, quint32 value) {
        const int at = 16 + entry * 24 + field;
        for (int k = 0; k < 4; ++k) data[at + k] = char((value >> (8 * k)) & 0xFF);
        const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
        const int count = p[6] | (p[7] << 8);
        const quint32 crc = Platform::Crc32(p + 16, count * 24);
        for (int k = 0; k < 4; ++k) data[12 + k] = char((crc >> (8 * k)) & 0xFF);
        return data;
    };
    const QByteArray data = SampleContainer();
    const struct {
        const char* What;
        int Entry, Field;
        quint32 Value;
    } cases[] = {
        {"zero frames", 1, 8, 0},
        {"too many frames", 1, 8, 5000},
        {"offset inside the index", 0, 12, 20},
        {"offset past the end", 0, 12, 0xFFFFFFF0u},
        {"size running past the end", 2, 16, 0xFFFFFFFFu},
        {"lower-case type", 0, 0, 0x6765706Au},  // "jpeg"
        {"duplicate of the next resource", 0, 0, 0x47504A41u},  // "AJPG", then the name
    };
    for (const auto& c : cases) {
        QByteArray damaged = rebuild(data, c.Entry, c.Field, c.Value);
        if (QByteArray(c.What).startsWith("duplicate")) damaged = rebuild(damaged, 0, 4, 0x31333030u);  // "0031"
        XRes::TXResFile file;
        QString error;
        EXPECT_FALSE(file.Parse(damaged, &error)) << c.What;
        EXPECT_FALSE(error.isEmpty()) << c.What;
    }
}

TEST(XResContainer, BuildRefusesWhatTheReaderWouldRefuse) {
    const struct {
        const char* What;
        XRes::TResource Resource;
    } cases[] = {
        {"three-letter type", {"JPG", "0001", 1, "x"}},
        {"five-letter name", {"JPEG", "00001", 1, "x"}},
        {"blank in the name", {"JPEG", "00 1", 1, "x"}},
        {"zero frames", {"AJPG", "0001", 0, "x"}},
        {"too many frames", {"AJPG", "0001", XRes::MaxFrames + 1, "x"}},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_TRUE(XRes::Build({c.Resource}, &error).isEmpty()) << c.What;
        EXPECT_FALSE(error.isEmpty()) << c.What;
    }
    QString error;
    EXPECT_TRUE(XRes::Build({{"JPEG", "0001", 1, "a"}, {"jpeg", "0001", 1, "b"}}, &error).isEmpty());
    EXPECT_TRUE(error.contains("twice")) << error.toStdString();
    // Lower case is stored as upper case.
    XRes::TXResFile file;
    ASSERT_TRUE(file.Parse(XRes::Build({{"file", "ab_1", 1, "data"}})));
    EXPECT_EQ(file.Entries().first().Type, QByteArray("FILE"));
    EXPECT_EQ(file.Entries().first().Name, QByteArray("AB_1"));
}

TEST_F(XResLibrary, ReadsCopiesOfTheCurrentFile) {
    const QString path = Temp.Write("XLumRes.EN", SampleContainer());
    ASSERT_EQ(OpenXResFile(QFile::encodeName(path).constData()), XRES_OK);
    int result = 0, frames = 0;
    EXPECT_EQ(LibraryRead("JPEG", "0001", result), SampleResources()[0].Data);
    EXPECT_EQ(result, XRES_OK);
    EXPECT_EQ(LibraryRead("AJPG", "0031", result, &frames), SampleResources()[1].Data);
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(LibraryRead("JPEG", "0001", result, &frames), SampleResources()[0].Data);
    EXPECT_EQ(frames, 1) << "a still read with the animated call has one frame";
    // An empty resource is found, with a pointer to free.
    EXPECT_EQ(LibraryRead("FILE", "0008", result), QByteArray());
    EXPECT_EQ(result, XRES_OK);
    LibraryRead("JPEG", "0999", result);
    EXPECT_EQ(result, XRES_NOT_FOUND);

    void* data = nullptr;
    int size = 0;
    EXPECT_EQ(GetXResource(nullptr, "0001", &data, &size), XRES_BAD_ARGUMENT);
    EXPECT_EQ(GetAnimatedXResource("AJPG", "0031", &data, &size, nullptr), XRES_BAD_ARGUMENT);
    EXPECT_EQ(OpenXResFile(nullptr), XRES_BAD_ARGUMENT);

    CloseXRes();
    LibraryRead("JPEG", "0001", result);
    EXPECT_EQ(result, XRES_NOT_FOUND) << "nothing is read after CloseXRes";
}

TEST_F(XResLibrary, AMissingOrDamagedFileLeavesNoCurrentFile) {
    const QString good = Temp.Write("good", SampleContainer());
    QByteArray cut = SampleContainer();
    cut.chop(3);
    const QString damaged = Temp.Write("cut", cut);
    ASSERT_EQ(OpenXResFile(QFile::encodeName(good).constData()), XRES_OK);
    EXPECT_EQ(OpenXResFile(QFile::encodeName(damaged).constData()), XRES_DAMAGED);
    int result = 0;
    LibraryRead("JPEG", "0001", result);
    EXPECT_EQ(result, XRES_NOT_FOUND) << "the earlier file was closed";
    EXPECT_EQ(OpenXResFile(QFile::encodeName(Temp.Path() + "absent").constData()), XRES_NO_FILE);
    EXPECT_EQ(OpenXResFile(QFile::encodeName(Temp.Path()).constData()), XRES_NO_FILE) << "a folder";
}
