#include "shell/registry.h"
#include "env_guard.h"
#include "support/fixtures.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int ModeOf(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 07777);
}

// Each test gets its own store.
class RegistryTest : public ::testing::Test {
protected:
    TTempFolder Temp;
    TEnvGuard Config{"XDG_CONFIG_HOME", QFile::encodeName(Temp.Path() + "config")};
};

} // namespace

TEST_F(RegistryTest, StoreLivesInConfigFolder) {
    EXPECT_EQ(Registry::StoreFileName(), Temp.Path() + "config/lumora/registry.ini");
    EXPECT_EQ(Registry::ProductKey("MyTitle"), "\\SOFTWARE\\Halvorn\\MyTitle");
    EXPECT_EQ(Registry::ProductKey(""), "\\SOFTWARE\\Halvorn\\");
}

TEST_F(RegistryTest, ValuesRoundTripUnderTheKeyPath) {
    const QString key = Registry::ProductKey("MyTitle");
    EXPECT_FALSE(Registry::KeyExists(key));
    EXPECT_EQ(Registry::ReadString(key, Registry::Username, "nobody"), "nobody");

    Registry::WriteString(key, Registry::Username, "alice");
    Registry::WriteString(key, Registry::Password, " s3cr=t; ");
    Registry::WriteString(Registry::ProductKey("Other [Disc]"), Registry::LumoraPath, "/home/a/Photos/");

    EXPECT_TRUE(Registry::KeyExists(key));
    EXPECT_TRUE(Registry::KeyExists("\\software\\HALVORN\\mytitle"));  // key paths ignore case
    EXPECT_EQ(Registry::ReadString(key, Registry::Username), "alice");
    EXPECT_EQ(Registry::ReadString(key, Registry::Password), " s3cr=t; ");
    EXPECT_EQ(Registry::ReadString(Registry::ProductKey("Other [Disc]"), Registry::LumoraPath),
              "/home/a/Photos/");
    EXPECT_EQ(Registry::ReadString(key, Registry::ReplyTo), "");

    const QByteArray text = ReadFileBytes(Registry::StoreFileName());
    EXPECT_TRUE(text.startsWith("[\\SOFTWARE\\Halvorn\\MyTitle]\nUsername=alice\n")) << text.constData();
}

TEST_F(RegistryTest, StoreIsPrivateAfterEveryWrite) {
    const QString key = Registry::ProductKey("T");
    Registry::WriteString(key, Registry::Password, "one");
    EXPECT_EQ(ModeOf(Registry::StoreFileName()), 0600);
    ASSERT_EQ(chmod(QFile::encodeName(Registry::StoreFileName()).constData(), 0644), 0);
    Registry::WriteString(key, Registry::Password, "two");
    EXPECT_EQ(ModeOf(Registry::StoreFileName()), 0600);
    EXPECT_EQ(ModeOf(Temp.Path() + "config/lumora"), 0700);
}
