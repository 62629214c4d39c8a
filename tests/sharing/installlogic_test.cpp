// The install's rules: which roll names and destinations it takes, and the
// desktop entry it writes, read back by the Desktop Entry rules.
#include "sharing/installlogic.h"
#include "support/desktopentry.h"
#include <gtest/gtest.h>

TEST(InstallRules, RollNamesThatCanNameAFolderAndAnEntry) {
    const struct {
        QString Name;
        bool Usable;
    } cases[] = {
        {"Summer 2004", true}, {"Fähre 2000.06", true}, {"a/b", false},  {"a\\b", false},
        {"C:roll", false},     {"..", false},           {"a..b", false}, {".hidden", false},
        {"tab\there", false},  {"", false},             {QString(255, 'x'), true}, {QString(256, 'x'), false},
        {QString(128, QChar(0xE4)), false},  // 256 bytes in UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(IsUsableRollName(c.Name), c.Usable) << c.Name.toStdString();
}

TEST(InstallRules, DestinationsAsTyped) {
    const struct {
        const char* Typed;
        const char* Folder;
    } cases[] = {
        {"~/Photos", "/home/u/Photos/"},   {"~", "/home/u/"},        {"c:\\My Photos\\", "/home/u/Pictures/My Photos/"},
        {"D:\\Fotos", "/home/u/Pictures/Fotos/"}, {"/srv/photos", "/srv/photos/"}, {" /srv/photos/ ", "/srv/photos/"},
        {"photos", ""},                    {"/srv/../etc", ""},       {"~user/x", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveDestination(c.Typed, "/home/u", "/home/u/Pictures"), QString(c.Folder)) << c.Typed;
    EXPECT_EQ(ShortcutFolder("/a", "Vantu\\Fotavo Photos", "x"), "/a/Vantu/Fotavo Photos/");
    EXPECT_EQ(ShortcutFolder("/a", "..\\..\\bin", "Photos"), "/a/Photos/") << "a disc's bad folder falls back";
}

TEST(InstallRules, EveryArgumentSurvivesTheDesktopEntryRules) {
    const QStringList command = {"/home/u/My Photos/LMR/lumora", "R:Sommer 100% \"gut\"", "R:$HOME `x` \\ 'q'", "plain"};
    const QByteArray text = DesktopEntryText({"Sommer", "/home/u/My Photos/Rolls/Sommer/", command});
    EXPECT_EQ(ParseExec(ExecOf(text)), command) << ExecOf(text).toStdString();
    EXPECT_TRUE(text.contains("Path=/home/u/My Photos/Rolls/Sommer/\n"));
}
