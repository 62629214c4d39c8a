// Skin files by group and language, and the branding logos.
#include "env_guard.h"
#include "platform/errors.h"
#include "shell/customize.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "suite/xres/xres.h"
#include "support/fixtures.h"
#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

QByteArray Encoded(int width, int height, QColor color, const char* format = "JPEG") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return data;
}

class Skins : public ::testing::Test {
protected:
    void SetUp() override {
        CloseSkin();
        ShutdownCustomization();
        AppState().AppDir = Temp.Path();
    }
    void TearDown() override {
        CloseSkin();
        ShutdownCustomization();
        ResetAppState();
    }
    // A group file holding a still 0011 and a five-frame strip 0031, in Color.
    QString WriteGroup(const QString& fileName, QColor color) {
        return Temp.Write(fileName, XRes::Build({{"JPEG", "0011", 1, Encoded(90, 90, color)},
                                                 {"AJPG", "0031", 5, Encoded(450, 90, color)}}));
    }
    static QColor Centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
    static bool Near(QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 && std::abs(a.blue() - b.blue()) < 8;
    }
    TTempFolder Temp;
};

} // namespace

TEST_F(Skins, AMissingLanguageFallsBackToEnglish) {
    WriteGroup("XLumRes.EN", Qt::red);
    {
        TEnvGuard language("LUMORA_LANGUAGE", "de");
        EXPECT_EQ(LanguageExtension(), "DE");
        EXPECT_EQ(SkinFileName(XLumResGroup), Temp.Path() + "XLumRes.EN");
        EXPECT_TRUE(Near(Centre(GetSkinImage(XLumResGroup, "0011")), Qt::red));
        CloseSkin();
        WriteGroup("XLumRes.DE", Qt::blue);
        EXPECT_EQ(SkinFileName(XLumResGroup), Temp.Path() + "XLumRes.DE");
        EXPECT_TRUE(Near(Centre(GetSkinImage(XLumResGroup, "0011")), Qt::blue));
    }
    // An extension that is no plain language code is not used to build a path.
    for (const char* odd : {"../../etc/x", "D E", ""}) {
        TEnvGuard language("LUMORA_LANGUAGE", odd);
        EXPECT_EQ(LanguageExtension(), "") << odd;
        EXPECT_EQ(SkinFileName(XLumResGroup), Temp.Path() + "XLumRes.EN") << odd;
    }
}

TEST_F(Skins, AGroupWithoutAnyFileRaisesCantFindFile) {
    try {
        GetSkinImage(CustomGroup, "0095");
        FAIL() << "no error";
    } catch (const EError& e) {
        EXPECT_EQ(e.Message(), "Can't find file \"Custom\"");
    }
    // The group is not remembered: asking again raises again.
    EXPECT_THROW(GetSkinImage(CustomGroup, "0095"), EError);
    EXPECT_EQ(CurrentSkinGroup(), "");
}

TEST_F(Skins, ReadingTwiceOpensOnceAndSwitchingGroupsReopens) {
    WriteGroup("XLumRes.EN", Qt::red);
    WriteGroup("Custom.EN", Qt::green);
    const int before = SkinFileOpenCount();
    EXPECT_FALSE(GetSkinImage(XLumResGroup, "0011").isNull());
    int frames = 0;
    EXPECT_EQ(GetAnimatedSkinImage(XLumResGroup, "0031", frames).size(), QSize(450, 90));
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(SkinFileOpenCount(), before + 1);
    EXPECT_EQ(CurrentSkinFile().FileName, Temp.Path() + "XLumRes.EN");
    EXPECT_TRUE(CurrentSkinFile().IsOpen);

    EXPECT_TRUE(Near(Centre(GetSkinImage(CustomGroup, "0011")), Qt::green));
    EXPECT_EQ(SkinFileOpenCount(), before + 2);
    EXPECT_TRUE(Near(Centre(GetSkinImage(XLumResGroup, "0011")), Qt::red));
    EXPECT_EQ(SkinFileOpenCount(), before + 3);

    CloseSkin();
    EXPECT_FALSE(CurrentSkinFile().IsOpen);
    GetSkinImage(XLumResGroup, "0011");
    EXPECT_EQ(SkinFileOpenCount(), before + 4) << "after CloseSkin the file is opened again";
}

TEST_F(Skins, AMissingResourceOrADamagedFileGivesNoPicture) {
    WriteGroup("XLumRes.EN", Qt::red);
    int frames = -1;
    EXPECT_TRUE(GetSkinImage(XLumResGroup, "0099").isNull());
    EXPECT_TRUE(GetAnimatedSkinImage(XLumResGroup, "0011", frames).isNull()) << "a still is no strip";
    EXPECT_EQ(frames, 0);
    // A picture that does not decode.
    Temp.Write("Custom.EN", XRes::Build({{"JPEG", "0095", 1, "no picture at all"}}));
    EXPECT_TRUE(GetSkinImage(CustomGroup, "0095").isNull());
    CloseSkin();
    QByteArray cut = ReadFileBytes(Temp.Path() + "XLumRes.EN");
    cut.chop(20);
    Temp.Write("XLumRes.EN", cut);
    EXPECT_TRUE(GetSkinImage(XLumResGroup, "0011").isNull());
    EXPECT_FALSE(CurrentSkinFile().IsOpen);
}

TEST_F(Skins, BrandingFilesFallBackToTheFilesBesideTheProgram) {
    Temp.Write("custom.ini", "[Branding]\nLogo=missing.bmp\nLogoCells=4\nExtraLogo=extra.png\n");
    Temp.Write("Logo.bmp", Encoded(200, 50, Qt::yellow, "BMP"));
    Temp.Write("extra.png", Encoded(60, 30, Qt::cyan, "PNG"));
    ASSERT_TRUE(LoadCustomFile());
    const TBranding b = LoadBranding();
    EXPECT_EQ(b.LogoFile, Temp.Path() + "Logo.bmp");
    EXPECT_EQ(b.Logo.size(), QSize(200, 50));
    EXPECT_EQ(b.LogoCells, 4);
    EXPECT_EQ(b.ExtraFile, Temp.Path() + "extra.png");
    EXPECT_EQ(Centre(b.Extra), QColor(Qt::cyan));
    EXPECT_EQ(LogoFile(), b.LogoFile);
    EXPECT_EQ(ExtraFile(), b.ExtraFile);
}

TEST_F(Skins, BrandingNamesAFileOrNothing) {
    Temp.Write("brand.png", Encoded(30, 10, Qt::red, "PNG"));
    Temp.Write("custom.ini", "[Branding]\nLogo=brand.png\nLogoCells=0\n");
    ASSERT_TRUE(LoadCustomFile());
    TBranding b = LoadBranding();
    EXPECT_EQ(b.LogoFile, Temp.Path() + "brand.png");
    EXPECT_EQ(b.LogoCells, 1) << "at least one frame";
    EXPECT_TRUE(b.ExtraFile.isEmpty());
    EXPECT_TRUE(b.Extra.isNull());

    ShutdownCustomization();
    b = LoadBranding();  // no customization file loaded: only the fallbacks count
    EXPECT_TRUE(b.LogoFile.isEmpty());
    EXPECT_TRUE(LogoFile().isEmpty());
}

TEST(ShellPictures, DecodedPicturesAreReadyForTheScreen) {
    EXPECT_EQ(DecodePicture(Encoded(3, 2, Qt::red, "PNG")).format(), QImage::Format_RGB32);
    QImage alpha(4, 4, QImage::Format_ARGB32);
    alpha.fill(QColor(0, 0, 255, 128));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    alpha.save(&buffer, "PNG");
    EXPECT_EQ(DecodePicture(data).format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(DecodePicture(QByteArray()).isNull());
    EXPECT_TRUE(DecodePicture("not a picture").isNull());
    QByteArray cut = Encoded(64, 64, Qt::red, "PNG");
    cut.chop(cut.size() / 2);
    EXPECT_TRUE(DecodePicture(cut).isNull());
}
