#include "platform/mounts.h"
#include "support/fixtures.h"

#include <QFile>
#include <QHash>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace Platform;

namespace {

// A table of fixed mounts, as a test would see a machine with a disc in.
class TFakeMounts : public TMountTable {
public:
    std::vector<TMountInfo> Mounts;
    QHash<QString, QString> Labels;  // device -> label

    std::optional<TMountInfo> MountOf(const QString& path) const override {
        return LongestMount(Mounts, path);
    }
    QString LabelOf(const TMountInfo& mount) const override { return Labels.value(mount.Device); }
};

// Restores the system table after each test.
class MountsTest : public ::testing::Test {
protected:
    void TearDown() override { SetMountTable(nullptr); }
};

QByteArray Line(int id, const QByteArray& mountPoint, const QByteArray& type, const QByteArray& source,
                const QByteArray& optional = "shared:1") {
    return QByteArray::number(id) + " 1 8:1 / " + mountPoint + " rw,relatime " + optional + " - " +
           type + " " + source + " rw\n";
}

void MakeLink(const QString& target, const QString& link) {
    ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

} // namespace

TEST(MountInfo, UnescapesFields) {
    EXPECT_EQ(UnescapeMountField("/media/My\\040Disc"), "/media/My Disc");
    EXPECT_EQ(UnescapeMountField("a\\011b\\134c"), "a\tb\\c");
    EXPECT_EQ(UnescapeMountField("trailing\\04"), "trailing\\04");   // cut escape stays as text
    EXPECT_EQ(UnescapeMountField("\\999"), "\\999");
    EXPECT_EQ(UnescapeLabel("My\\x20Disc"), "My Disc");
    EXPECT_EQ(UnescapeLabel("A\\x2fB\\x"), "A/B\\x");
    EXPECT_EQ(UnescapeLabel("\\xc3\\xa9t\\xc3\\xa9"), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
}

TEST(MountInfo, ParsesLinesAndSkipsBrokenOnes) {
    const QByteArray text = Line(1, "/", "ext4", "/dev/sda1") +
                            Line(2, "/media/My\\040Disc", "iso9660", "/dev/sr0", "shared:2 master:3") +
                            "garbage line without separator\n" + "3 1 8:1 / /x rw - \n" +
                            Line(4, "/boot", "vfat", "/dev/sda2", "") + "\n";
    const std::vector<TMountInfo> mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[1].MountPoint, "/media/My Disc");
    EXPECT_EQ(mounts[1].FsType, "iso9660");
    EXPECT_EQ(mounts[1].Device, "/dev/sr0");
    EXPECT_EQ(mounts[2].MountPoint, "/boot");
    EXPECT_TRUE(ParseMountInfo(QByteArray(5000, '\xff')).empty());
}

TEST(MountInfo, LongestPrefixOnPathBoundary) {
    const std::vector<TMountInfo> mounts = {
        {"/", "ext4", "/dev/sda1"},
        {"/media/cd", "iso9660", "/dev/sr0"},
        {"/media/cd/inner", "udf", "/dev/sr1"},
        {"/media/cd", "udf", "/dev/sr2"},  // mounted over the first one
    };
    const struct { const char* path; const char* device; } cases[] = {
        {"/", "/dev/sda1"},
        {"/media/cd", "/dev/sr2"},
        {"/media/cd/", "/dev/sr2"},
        {"/media/cd/Rolls/x.jpg", "/dev/sr2"},
        {"/media/cdrom/x", "/dev/sda1"},
        {"/media/cd/inner/a", "/dev/sr1"},
        {"/media/cd/x/../inner", "/dev/sr1"},
    };
    for (const auto& c : cases) {
        const auto mount = LongestMount(mounts, c.path);
        ASSERT_TRUE(mount.has_value()) << c.path;
        EXPECT_EQ(mount->Device, QString(c.device)) << c.path;
    }
    EXPECT_FALSE(LongestMount(mounts, "relative/path").has_value());
    EXPECT_FALSE(LongestMount({}, "/a").has_value());
}

TEST_F(MountsTest, FakeTableTellsCdFromHardDisk) {
    auto fake = std::make_unique<TFakeMounts>();
    fake->Mounts = {{"/", "ext4", "/dev/sda1"},
                    {"/media/user/PHOTOS", "iso9660", "/dev/sr0"},
                    {"/media/user/dvd", "UDF", "/dev/sr1"},
                    {"/mnt/stick", "vfat", "/dev/sdb1"}};
    fake->Labels = {{"/dev/sr0", "Summer 2003"}};
    SetMountTable(std::move(fake));

    EXPECT_TRUE(IsOnCD("/media/user/PHOTOS/LMR/"));
    EXPECT_TRUE(IsOnCD("/media/user/dvd/x"));
    EXPECT_FALSE(IsOnCD("/home/user/Rolls/"));
    EXPECT_FALSE(IsOnCD("/mnt/stick"));
    EXPECT_EQ(VolumeLabel("/media/user/PHOTOS/LMR/"), "Summer 2003");
    EXPECT_EQ(VolumeLabel("/mnt/stick/a"), "stick");   // no label: the mount point's name
    EXPECT_EQ(VolumeLabel("/home"), "");                // "/" has no last name

    SetMountTable(nullptr);
    EXPECT_FALSE(IsOnCD("/media/user/PHOTOS/LMR/"));
}

TEST_F(MountsTest, FileBasedTableResolvesPathsAndLabels) {
    TTempFolder temp;
    const QString disc = temp.Make("media/My Disc");
    const QString device = temp.Write("dev/sr0", "");
    const QString byLabel = temp.Make("by-label");
    MakeLink(device, byLabel + "Holiday\\x20Photos");
    MakeLink(temp.Path() + "dev/other", byLabel + "Dangling");
    MakeLink(disc, temp.Path() + "shortcut");

    QByteArray escapedDisc = QFile::encodeName(disc.chopped(1));
    escapedDisc.replace(" ", "\\040");
    const QString mountInfo = temp.Write("mountinfo", Line(1, "/", "ext4", "/dev/root") +
                                         Line(2, escapedDisc, "iso9660", QFile::encodeName(device)));
    SetMountTable(MakeSystemMountTable(mountInfo, byLabel));

    EXPECT_TRUE(IsOnCD(disc + "Rolls"));
    EXPECT_TRUE(IsOnCD(temp.Path() + "shortcut/LMR"));  // the link is followed
    EXPECT_FALSE(IsOnCD(temp.Path()));
    EXPECT_EQ(VolumeLabel(disc), "Holiday Photos");
    EXPECT_EQ(VolumeLabel(temp.Path()), "");  // /dev/root has no label here

    SetMountTable(MakeSystemMountTable(temp.Path() + "missing", byLabel));
    EXPECT_FALSE(MountTable().MountOf(disc).has_value());
    EXPECT_EQ(VolumeLabel(disc), "");
}

TEST_F(MountsTest, RealMountTableSmoke) {
    TTempFolder temp;
    const auto root = MountTable().MountOf("/");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->MountPoint, "/");
    const auto tempMount = MountTable().MountOf(temp.Path());
    ASSERT_TRUE(tempMount.has_value());
    EXPECT_TRUE(temp.Path().startsWith(tempMount->MountPoint));
    EXPECT_FALSE(IsOnCD(temp.Path()));
    VolumeLabel(temp.Path());  // must not fail on whatever this machine has
}
