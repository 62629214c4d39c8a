#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QStringList RollNames(const TRollList& list) {
    QStringList names;
    for (int i = 0; i < list.Count(); ++i) names << list.Names(i);
    return names;
}

class RollListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        AppState().FotavoLayout = true;
        CloseRotationFile();
    }
    void TearDown() override { ResetAppState(); }
    TTempFolder Tmp;
};

} // namespace

TEST_F(RollListTest, ScanFindsRollFoldersInNameOrderIgnoringCase) {
    for (const char* folder : {"beta", "Alpha", "gamma", ".hidden", "Delta/Large"}) Tmp.Make(folder);
    Tmp.Write("epsilon", "a file is not a roll");
    Tmp.Write("notes.txt", {});
    ASSERT_EQ(symlink("loop", QFile::encodeName(Tmp.Path() + "loop").constData()), 0);
    ASSERT_EQ(symlink("gamma", QFile::encodeName(Tmp.Path() + "Zeta").constData()), 0);

    TRollList list;
    const TRollScan scan = list.ScanRolls(Tmp.Path());
    EXPECT_FALSE(scan.NoRolls);
    EXPECT_TRUE(scan.MultiRoll);
    EXPECT_EQ(RollNames(list), QStringList({"Alpha", "beta", "Delta", "gamma", "Zeta"}));
    ASSERT_NE(scan.CurrentRoll, nullptr);
    EXPECT_EQ(scan.CurrentRoll, list.Items(0));
    EXPECT_EQ(list.Items(1)->Folder, Tmp.Path() + "beta/");
    EXPECT_TRUE(list.Items(1)->UseSizeFolders);
    EXPECT_FALSE(list.Items(1)->Scanned);  // nothing is read before a roll is opened
}

TEST_F(RollListTest, NoRollFolderMeansNoRolls) {
    TTempFolder empty;
    TTempFolder filesOnly;
    filesOnly.Write("a.jpg", {});
    filesOnly.Make(".cache");
    for (const QString& dir : {empty.Path(), filesOnly.Path(), empty.Path() + "missing/", QString()}) {
        TRollList list;
        const TRollScan scan = list.ScanRolls(dir);
        EXPECT_TRUE(scan.NoRolls) << dir.toStdString();
        EXPECT_FALSE(scan.MultiRoll);
        EXPECT_EQ(scan.CurrentRoll, nullptr);
        EXPECT_EQ(list.Count(), 0);
    }
}

TEST_F(RollListTest, SingleRoll) {
    Tmp.Make("Only");
    TRollList list;
    const TRollScan scan = list.ScanRolls(Tmp.Path());
    EXPECT_FALSE(scan.NoRolls);
    EXPECT_FALSE(scan.MultiRoll);
    EXPECT_EQ(scan.CurrentRoll->Name, "Only");
}

TEST_F(RollListTest, FindRollIgnoresCase) {
    for (const char* folder : {"Summer", "Winter"}) Tmp.Make(folder);
    TRollList list;
    list.ScanRolls(Tmp.Path());
    EXPECT_EQ(list.FindRoll("winter"), list.Items(1));
    EXPECT_EQ(list.FindRoll("SUMMER"), list.Items(0));
    EXPECT_EQ(list.FindRoll("Autumn"), nullptr);
    EXPECT_EQ(list.FindRoll(""), nullptr);
}

TEST_F(RollListTest, NamesEqualButForCaseAreBothKept) {
    TRollList list;
    TRoll* upper = list.Add(std::make_unique<TRoll>(true, "Roll", "/p/Roll"));
    TRoll* lower = list.Add(std::make_unique<TRoll>(true, "roll", "/p/roll"));
    list.Add(std::make_unique<TRoll>(true, "A", "/p/A"));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0)->Name, "A");
    EXPECT_EQ(list.IndexOf(lower), list.IndexOf(upper) + 1);
    EXPECT_EQ(list.FindRoll("ROLL"), upper);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(RollListTest, PlainLayoutHasTheProgramFolderAsItsOnlyRoll) {
    TAppState state;
    state.AppDir = Tmp.Path();
    state.FotavoLayout = false;
    Tmp.Make("Pictures/Roll1");
    TRollList list;
    const TRollScan scan = BuildRollList(list, state);
    EXPECT_FALSE(scan.NoRolls);
    EXPECT_FALSE(scan.MultiRoll);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(scan.CurrentRoll, list.Items(0));
    EXPECT_EQ(list.Items(0)->Name, Tmp.Path());
    EXPECT_EQ(list.Items(0)->Folder, Tmp.Path());
    EXPECT_FALSE(list.Items(0)->UseSizeFolders);
}

TEST_F(RollListTest, DescriptionListsRollsAndPhotosInDisplayOrder) {
    Tmp.Write("Pictures/Roll2/Large/r-10.jpg", {});
    Tmp.Write("Pictures/Roll2/Large/r-2.jpg", {});
    Tmp.Write("Pictures/Roll2/Thumb/r-2.jpg", {});
    Tmp.Write("Pictures/Roll1/Medium/x-1.jpg", {});
    TAppState state;
    state.AppDir = Tmp.Path() + "LMR/";
    state.FotavoLayout = true;
    state.PictureDir = Tmp.Path() + "Pictures/";
    TRollList list;
    ASSERT_FALSE(BuildRollList(list, state).NoRolls);
    const QString text = DescribeRolls(list, state);
    EXPECT_TRUE(text.contains("AppDir: " + state.AppDir + "\n"));
    EXPECT_TRUE(text.contains("PictureDir: " + state.PictureDir + "\n"));
    EXPECT_TRUE(text.contains("Layout: disc"));
    const qsizetype roll1 = text.indexOf("Roll \"Roll1\": " + state.PictureDir + "Roll1/\n");
    const qsizetype x1 = text.indexOf("  x-1.jpg [Medium]\n");
    const qsizetype roll2 = text.indexOf("Roll \"Roll2\": ");
    const qsizetype r2 = text.indexOf("  r-2.jpg [Large]\n");
    const qsizetype r10 = text.indexOf("  r-10.jpg [Large]\n");
    EXPECT_GE(roll1, 0);
    EXPECT_LT(roll1, x1);
    EXPECT_LT(x1, roll2);
    EXPECT_LT(roll2, r2);
    EXPECT_LT(r2, r10);
}
