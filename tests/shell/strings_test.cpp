// The string table: every text goes through the disc's substitutions.
#include "shell/customize.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "support/fixtures.h"
#include <gtest/gtest.h>

namespace {

class StringTable : public ::testing::Test {
protected:
    void SetUp() override {
        ShutdownCustomization();
        AppState().AppDir = Temp.Path();
    }
    void TearDown() override {
        ShutdownCustomization();
        ResetAppState();
    }
    TTempFolder Temp;
};

} // namespace

TEST_F(StringTable, EveryNameHasAText) {
    for (int i = 0; i < int(TStr::Count_); ++i) EXPECT_FALSE(RawResString(TStr(i)).isEmpty()) << i;
    EXPECT_TRUE(RawResString(TStr::Count_).isEmpty());
    // Texts are the system's own, placeholders and all.
    EXPECT_EQ(RawResString(TStr::CantFindFile), "Can't find file \"%1\"");
    EXPECT_EQ(RawResString(TStr::NoImagesTerminating), "Unable to find any images. Application terminating");
}

TEST_F(StringTable, TextsPassThroughSubstitutionsAndFormatting) {
    Temp.Write("custom.ini", "[Substitutions]\nimages=pictures\nPhoto=Picture\nroll=film\\nstrip\n");
    ASSERT_TRUE(LoadCustomFile());
    EXPECT_EQ(ResString(TStr::ClickOnRoll), "Click on a film\nstrip to view your pictures");
    EXPECT_EQ(ResString(TStr::PhotoView), "Picture View");
    EXPECT_EQ(ResText(TStr::ImageOfCount, {3, 12}), "Image 3 of 12");
    SetSubstitution("%Fotavo%", "Disc Viewer");
    EXPECT_EQ(ResString(TStr::ReturnToFotavo), "Return to Disc Viewer");
    EXPECT_EQ(ResText(TStr::CantFindFile, {"XLumRes"}), "Can't find file \"XLumRes\"");
}

TEST_F(StringTable, WithoutSubstitutionsTheTextsAreAsWritten) {
    EXPECT_EQ(ResString(TStr::ReturnToFotavo), "Return to %Fotavo%");
    EXPECT_EQ(ResText(TStr::ImageOfCount, {1, 1}), "Image 1 of 1");
    EXPECT_EQ(ResString(TStr::LoadingImage) + "7", "Loading Image 7");
}
