#include "shell/settings.h"
#include "shell/startup.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

TEST(SettingsFile, SharedUntilResetAndFollowsAppDir) {
    TTempFolder temp;
    ResetAppState();
    AppState().AppDir = temp.Make("LMR");
    ResetSettingsFile();
    TIniFile* first = &SettingsFile();
    EXPECT_EQ(first, &SettingsFile());
    EXPECT_EQ(first->FileName(), temp.Path() + "LMR/Lumora.ini");

    temp.Write("LMR/Lumora.ini", "[Config]\nSSInterval=3\n");
    EXPECT_EQ(SettingsFile().ReadInteger(ConfigKeys::Section, ConfigKeys::SSInterval, 1), 3);

    ResetSettingsFile();
    AppState().AppDir = temp.Path();
    EXPECT_EQ(SettingsFile().FileName(), temp.Path() + "Lumora.ini");
    ResetSettingsFile();
    ResetAppState();
}
