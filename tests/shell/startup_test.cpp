#include "shell/startup.h"
#include "env_guard.h"
#include "shell/settings.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

TEST(ParseCommandLine, Table) {
    const struct {
        QStringList args;
        bool instance;
        const char* roll;
    } cases[] = {
        {{}, false, ""},
        {{"I"}, true, ""},
        {{"i"}, true, ""},
        {{"Instance:whatever"}, true, ""},
        {{"R:Roll 2"}, false, "Roll 2"},
        {{"r:roll 2"}, false, "roll 2"},
        {{"Rx:Name:ignored"}, false, "Name"},     // only the second field is the value
        {{"R"}, false, ""},
        {{"R:"}, false, ""},
        {{"R:first", "R:second"}, false, "second"},  // the last one wins
        {{"R:first", "R"}, false, ""},
        {{":R:x"}, false, ""},                       // empty key part
        {{""}, false, ""},
        {{"X:y", "-I", "/I"}, false, ""},            // other first characters
        {{"I", "R:A"}, true, "A"},
    };
    for (const auto& c : cases) {
        TAppState state;
        state.RollArgument = "";
        ParseCommandLine(c.args, state);
        EXPECT_EQ(state.InstanceMode, c.instance) << c.args.join(' ').toStdString();
        EXPECT_EQ(state.RollArgument, QString(c.roll)) << c.args.join(' ').toStdString();
    }
}

TEST(ParentFolder, Table) {
    const struct { const char* in; const char* out; } cases[] = {
        {"/a/b/c/", "/a/b/"}, {"/a/b/c", "/a/"}, {"/a/", "/"}, {"/a", ""}, {"/", ""}, {"", ""},
        {"abc", ""}, {"a/b/", "a/"}, {"//", "/"}, {"/media/cd/LMR/", "/media/cd/"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParentFolder(c.in), QString(c.out)) << c.in;
}

namespace {

// A disc or install layout in a temporary folder: the program folder is
// Root/Disc/LMR/ (two levels under Root).
class StartupTest : public ::testing::Test {
protected:
    TTempFolder Temp;
    QString AppDir;

    void SetUp() override {
        ResetAppState();
        AppDir = Temp.Make("Disc/LMR");
    }
    void TearDown() override {
        ResetAppState();
        ResetSettingsFile();
    }
    void Settings(const QByteArray& text) { Temp.Write("Disc/LMR/Lumora.ini", text); }
    TAppState Resolve(TPictureFolder expected, const QString& roll = QString()) {
        TAppState state;
        state.AppDir = AppDir;
        state.RollArgument = roll;
        EXPECT_EQ(ResolvePictureFolder(state), expected);
        return state;
    }
};

} // namespace

TEST_F(StartupTest, InitSettingsModuleDefaults) {
    TEnvGuard language("LUMORA_LANGUAGE", "", true);
    InitSettingsModule({"R:Roll1"}, AppDir.chopped(1));
    EXPECT_EQ(AppState().AppDir, AppDir);
    EXPECT_EQ(AppState().RollArgument, "Roll1");
    EXPECT_EQ(AppState().SSInterval, 1);
    EXPECT_EQ(AppState().LanguageCode, "EN");
    EXPECT_EQ(SettingsFile().FileName(), AppDir + "Lumora.ini");
}

TEST_F(StartupTest, InitSettingsModuleReadsIntervalAndLanguage) {
    Settings("[Config]\nSSInterval=0x5\n");
    TEnvGuard language("LUMORA_LANGUAGE", "de");
    InitSettingsModule({}, AppDir);
    EXPECT_EQ(AppState().SSInterval, 5);
    EXPECT_EQ(AppState().LanguageCode, "DE");

    Settings("[Config]\nSSInterval=soon\n");
    ResetAppState();
    InitSettingsModule({}, AppDir);
    EXPECT_EQ(AppState().SSInterval, 1);
}

TEST_F(StartupTest, ExecutableFolderIsTheDefaultAppDir) {
    InitSettingsModule({});
    EXPECT_TRUE(AppState().AppDir.endsWith('/'));
    EXPECT_FALSE(AppState().AppDir.isEmpty());
}

TEST_F(StartupTest, NoSettingsFileMeansOwnFolder) {
    const TAppState s = Resolve(TPictureFolder::OwnFolder);
    EXPECT_FALSE(s.InstalledCopy);
    EXPECT_TRUE(s.SlideshowCollage);
    EXPECT_FALSE(s.FotavoLayout);
    EXPECT_EQ(s.PictureDirectory, "Pictures");
    EXPECT_EQ(s.SSInterval, 1);
}

TEST_F(StartupTest, ConfigBooleans) {
    Settings("[Config]\nInstalled=yes\nSlideshowCollage=0\n");
    TAppState s = Resolve(TPictureFolder::OwnFolder);
    EXPECT_FALSE(s.InstalledCopy);
    EXPECT_FALSE(s.SlideshowCollage);

    Settings("[Config]\nInstalled=2\nSlideshowCollage=maybe\n");
    s = Resolve(TPictureFolder::OwnFolder);
    EXPECT_TRUE(s.InstalledCopy);
    EXPECT_TRUE(s.SlideshowCollage);  // not a number: keeps the current value
}

TEST_F(StartupTest, FotavoFindsPicturesTwoLevelsUp) {
    Temp.Make("Pictures/Roll1");
    Settings("[Config]\nFotavo=1\n");
    const TAppState s = Resolve(TPictureFolder::Found);
    EXPECT_TRUE(s.FotavoLayout);
    EXPECT_EQ(s.PictureDirectory, "Pictures");
    EXPECT_EQ(s.PictureDir, Temp.Path() + "Pictures/");
    EXPECT_FALSE(s.InstallButtonHidden);
}

TEST_F(StartupTest, CustomPictureDirectory) {
    Temp.Make("Fotos");
    Settings("[Config]\nFotavo=1\nPictureDirectory=Fotos\n");
    EXPECT_EQ(Resolve(TPictureFolder::Found).PictureDir, Temp.Path() + "Fotos/");
}

TEST_F(StartupTest, RollArgumentForcesFotavoLayout) {
    Temp.Make("Pictures");
    const TAppState s = Resolve(TPictureFolder::Found, "Roll1");
    EXPECT_TRUE(s.FotavoLayout);
    EXPECT_EQ(s.PictureDir, Temp.Path() + "Pictures/");
}

TEST_F(StartupTest, InstalledCopyUsesRollsBesideProgramFolder) {
    Temp.Make("Disc/Rolls/Roll1");
    Temp.Make("Pictures");  // must not be taken for an installed copy
    Settings("[Config]\nFotavo=1\nInstalled=1\n");
    const TAppState s = Resolve(TPictureFolder::Found);
    EXPECT_TRUE(s.InstalledCopy);
    EXPECT_EQ(s.PictureDir, Temp.Path() + "Disc/Rolls/");
}

TEST_F(StartupTest, MissingPictureDirectoryFallsBackToRolls) {
    Temp.Make("Rolls/Roll1");
    Settings("[Config]\nFotavo=1\n");
    const TAppState s = Resolve(TPictureFolder::Found);
    EXPECT_EQ(s.PictureDir, Temp.Path() + "Rolls/");
    EXPECT_TRUE(s.InstallButtonHidden);
    EXPECT_TRUE(s.FotavoLayout);
}

TEST_F(StartupTest, NothingFound) {
    Settings("[Config]\nFotavo=1\n");
    TAppState s = Resolve(TPictureFolder::NotFound);
    EXPECT_FALSE(s.FotavoLayout);

    Settings("[Config]\nFotavo=1\nInstalled=1\n");
    s = Resolve(TPictureFolder::NotFound);
    EXPECT_FALSE(s.FotavoLayout);
    EXPECT_TRUE(s.InstallButtonHidden);
}

TEST_F(StartupTest, NoFolderAboveProgramFolder) {
    TAppState state;
    state.AppDir = "/";
    state.RollArgument = "Roll1";
    EXPECT_EQ(ResolvePictureFolder(state), TPictureFolder::NotFound);
    EXPECT_FALSE(state.FotavoLayout);
    state.AppDir = "/LMR/";  // one level only: no grandparent to search
    state.RollArgument = "Roll1";
    EXPECT_EQ(ResolvePictureFolder(state), TPictureFolder::NotFound);
}

TEST(ResolveDiscAppName, LanguageThenEnglishThenTheDefault) {
    struct TCase {
        const char* Ini;  // nullptr: no file
        const char* Language;
        const char* Expected;
    } cases[] = {
        {"[DE]\nAppName=Fotobetrachter\n[EN]\nAppName=Photo Viewer\n", "DE", "Fotobetrachter"},
        {"[DE]\nAppName=Fotobetrachter\n[EN]\nAppName=Photo Viewer\n", "FR", "Photo Viewer"},
        {"[DE]\nAppName=\n[EN]\nAppName=Photo Viewer\n", "DE", "Photo Viewer"},
        {"[EN]\nAppName=\n", "EN", "Fotavo"},
        {nullptr, "EN", "Fotavo"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ini ? c.Ini : "(no file)");
        TTempFolder disc;
        if (c.Ini) disc.Write("Viewer/Fotavo/Fotavo.ini", c.Ini);
        TAppState state;
        state.AppDir = disc.Make("Viewer/LMR");
        state.LanguageCode = c.Language;
        EXPECT_EQ(ResolveDiscAppName(state), QString()) << "not started by the disc's viewer";
        state.InstanceMode = true;
        EXPECT_EQ(ResolveDiscAppName(state), c.Expected);
        EXPECT_EQ(state.DiscAppName, c.Expected);
    }
}
