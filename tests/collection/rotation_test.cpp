#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "platform/mounts.h"
#include "platform/paths.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

namespace {

// Pretends that some folders are mounted discs with a label; everything else
// is one hard disk.
class TFakeMounts : public Platform::TMountTable {
public:
    void AddDisc(const QString& mountPoint, const QString& label) {
        QString point = mountPoint;
        if (point.endsWith('/')) point.chop(1);
        FDiscs[point] = label;
    }
    std::optional<Platform::TMountInfo> MountOf(const QString& path) const override {
        for (auto it = FDiscs.begin(); it != FDiscs.end(); ++it)
            if (path == it.key() || path.startsWith(it.key() + '/'))
                return Platform::TMountInfo{it.key(), "iso9660", "/dev/sr0"};
        return Platform::TMountInfo{"/", "ext4", "/dev/sda1"};
    }
    QString LabelOf(const Platform::TMountInfo& mount) const override {
        return FDiscs.value(mount.MountPoint);
    }

private:
    QMap<QString, QString> FDiscs;
};

class RotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        AppState().FotavoLayout = true;
        OpenRotationFile(Config.Path());
        IniPath = Config.Path() + "LmrRotate.ini";
    }
    void TearDown() override {
        CloseRotationFile();
        Platform::SetMountTable(nullptr);
        ResetAppState();
    }
    // A disc roll Name under Base with photos in its Large folder.
    std::unique_ptr<TRoll> MakeRoll(const QString& base, const QString& name,
                                    const QStringList& files) {
        for (const QString& file : files) Tmp.Write(base + name + "/Large/" + file, {});
        return std::make_unique<TRoll>(true, name, Tmp.Path() + base + name);
    }
    QString Stored(const QString& section, const QString& key) {
        return TIniFile(IniPath).ReadString(section, key, "(none)");
    }

    TTempFolder Tmp;
    TTempFolder Config;
    QString IniPath;
};

} // namespace

TEST_F(RotationTest, SectionNames) {
    auto mounts = std::make_unique<TFakeMounts>();
    mounts->AddDisc(Tmp.Path() + "disc", "HOLIDAY_2001");
    Platform::SetMountTable(std::move(mounts));
    const QString disk = Tmp.Path() + "Rolls/Roll1/";
    const QString disc = Tmp.Path() + "disc/Pictures/Roll1/";
    EXPECT_EQ(RotationSectionFor(false, disk, "Roll1"), disk);
    EXPECT_EQ(RotationSectionFor(true, "", "Roll1"), QString());
    EXPECT_EQ(RotationSectionFor(true, disk, "Roll1"), disk + "Roll1");
    EXPECT_EQ(RotationSectionFor(true, disc, "Roll1"), "HOLIDAY_2001Roll1");

    // The roll's own layout decides, not whatever the program-wide flag says now.
    TRoll plain(false, disk, disk);
    EXPECT_EQ(plain.RotationSection(), disk);
    TRoll onDisk(true, "Roll1", disk);
    AppState().FotavoLayout = false;
    EXPECT_EQ(onDisk.RotationSection(), disk + "Roll1");
}

TEST_F(RotationTest, EmptyFolderMeansThePerUserFolder) {
    OpenRotationFile(QString());
    ASSERT_NE(RotationFile(), nullptr);
    EXPECT_EQ(RotationFile()->FileName(), Platform::ConfigFolder() + "LmrRotate.ini");
    CloseRotationFile();
    EXPECT_EQ(RotationFile(), nullptr);
}

TEST_F(RotationTest, QuarterTurnsStayWithinAFullTurn) {
    auto roll = MakeRoll("", "Roll1", {"r-1.jpg"});
    roll->Prepare();
    TMedia* photo = roll->Items(0);
    for (int expected : {90, 180, 270, 0}) {
        photo->Rotate(+90);
        EXPECT_EQ(photo->Rotation, expected);
    }
    for (int expected : {-90, -180, -270, 0, -90}) {
        photo->Rotate(-90);
        EXPECT_EQ(photo->Rotation, expected);
    }
    photo->Rotate(+90);
    photo->Rotate(+90);
    EXPECT_EQ(photo->Rotation, 90);
}

TEST_F(RotationTest, LeftThenRightLeavesNoKey) {
    auto roll = MakeRoll("", "Roll1", {"r-1.jpg", "r-2.jpg"});
    roll->Prepare();
    const QString section = roll->RotationSection();
    TMedia* photo = roll->Items(0);
    photo->Rotate(-90);
    EXPECT_TRUE(roll->RotationsDirty);
    roll->SaveRotations();
    EXPECT_EQ(Stored(section, "r-1.jpg"), "-90");
    photo->Rotate(+90);
    EXPECT_EQ(roll->Rotations, QStringList({"r-1.jpg=0"}));
    roll->SaveRotations();
    EXPECT_EQ(Stored(section, "r-1.jpg"), "(none)");
}

TEST_F(RotationTest, DestroyedRollWritesItsChangesAndTheyComeBack) {
    {
        auto roll = MakeRoll("", "Roll1", {"r-1.jpg", "r-2.jpg", "r-3.jpg"});
        roll->Prepare();
        roll->Items(1)->Rotate(+90);
        roll->Items(2)->Rotate(-90);
        roll->Items(2)->Rotate(-90);
        roll->Items(0)->StoreRotation();  // unturned: nothing recorded
        EXPECT_EQ(roll->Rotations.size(), 2);
    }
    EXPECT_EQ(Stored(Tmp.Path() + "Roll1/Roll1", "r-2.jpg"), "90");
    auto again = MakeRoll("", "Roll1", {});
    again->Prepare();
    ASSERT_EQ(again->Count(), 3);
    EXPECT_EQ(again->Items(0)->Rotation, 0);
    EXPECT_EQ(again->Items(1)->Rotation, 90);
    EXPECT_EQ(again->Items(2)->Rotation, -180);
    EXPECT_FALSE(again->RotationsDirty);
}

TEST_F(RotationTest, SameDiscAtAnotherMountPathFindsItsRotations) {
    auto mounts = std::make_unique<TFakeMounts>();
    mounts->AddDisc(Tmp.Path() + "cdrom", "HOLIDAY");
    mounts->AddDisc(Tmp.Path() + "media/user/HOLIDAY", "HOLIDAY");
    Platform::SetMountTable(std::move(mounts));
    {
        auto roll = MakeRoll("cdrom/Pictures/", "Roll1", {"r-1.jpg"});
        roll->Prepare();
        EXPECT_EQ(roll->RotationSection(), "HOLIDAYRoll1");
        roll->Items(0)->Rotate(+90);
    }
    EXPECT_EQ(Stored("HOLIDAYRoll1", "r-1.jpg"), "90");
    auto elsewhere = MakeRoll("media/user/HOLIDAY/Pictures/", "Roll1", {"r-1.jpg"});
    elsewhere->Prepare();
    EXPECT_EQ(elsewhere->Items(0)->Rotation, 90);
}

TEST_F(RotationTest, UnchangedRollLeavesTheFileAlone) {
    const QString section = Tmp.Path() + "Roll1/Roll1";
    const QByteArray text = "; kept as the user left it\r\n[" + section.toUtf8() +
                            "]\r\nr-1.jpg = 90\r\nr-2.jpg=-90\r\n\r\n[Other]\r\nx=1\r\n";
    ASSERT_TRUE(Platform::WriteFileAtomically(IniPath, text));
    {
        auto roll = MakeRoll("", "Roll1", {"r-1.jpg", "r-2.jpg", "r-3.jpg"});
        roll->Prepare();
        EXPECT_EQ(roll->Items(0)->Rotation, 90);
        EXPECT_EQ(roll->Items(1)->Rotation, -90);
        // Leaving each photo stores its rotation; nothing differs.
        for (int i = 0; i < roll->Count(); ++i) roll->Items(i)->StoreRotation();
        EXPECT_FALSE(roll->RotationsDirty);
    }
    EXPECT_EQ(ReadFileBytes(IniPath), text);
}

TEST_F(RotationTest, StoredValuesAreReadAsQuarterTurns) {
    const QString section = Tmp.Path() + "Roll1/Roll1";
    TIniFile ini(IniPath);
    const struct {
        const char* value;
        int rotation;
    } rows[] = {{"abc", 0}, {"90", 90}, {"-270", -270}, {"180", 180}, {"45", 0},
                {"450", 90}, {"", 0}, {"90=x", 0}, {"99999999999999999999", 0}};
    QStringList files;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const QString file = QString("r-%1.jpg").arg(i);
        files << file;
        ini.WriteString(section, file, rows[i].value);
    }
    auto roll = MakeRoll("", "Roll1", files);
    roll->Prepare();
    ASSERT_EQ(roll->Count(), int(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(roll->Items(int(i))->Rotation, rows[i].rotation) << rows[i].value;
}

TEST_F(RotationTest, SaveReplacesTheWholeSection) {
    const QString section = Tmp.Path() + "Roll1/Roll1";
    TIniFile ini(IniPath);
    ini.WriteString(section, "old.jpg", "180");
    ini.WriteString("Other", "keep.jpg", "90");
    TRoll roll(true, "Roll1", Tmp.Path() + "Roll1");
    roll.Rotations = {"a.jpg=90=junk", "b.jpg=0", "c.jpg=-90", "=180", "no equals sign",
                      "[x.jpg=90", "d.jpg=sideways", "e.jpg=45"};
    roll.SaveRotations();
    QStringList lines;
    ini.ReadSectionValues(section, lines);
    EXPECT_EQ(lines, QStringList({"a.jpg=90", "c.jpg=-90"}));
    EXPECT_EQ(ini.ReadString("Other", "keep.jpg", ""), "90");

    // The install writes the same lines into another file and section.
    TIniFile other(Config.Path() + "Other.ini");
    roll.SaveRotations(&other, "D:/Rolls/Roll1/Roll1");
    other.ReadSectionValues("D:/Rolls/Roll1/Roll1", lines);
    EXPECT_EQ(lines, QStringList({"a.jpg=90", "c.jpg=-90"}));
}

TEST_F(RotationTest, PlainLayoutKeepsRotationsUnderTheFolder) {
    AppState().FotavoLayout = false;
    Tmp.Write("Own/r-1.jpg", {});
    const QString folder = Tmp.Path() + "Own/";
    {
        TRoll roll(false, folder, folder);
        roll.Prepare();
        roll.Items(0)->Rotate(+90);
    }
    EXPECT_EQ(Stored(folder, "r-1.jpg"), "90");
}

TEST_F(RotationTest, NameThatCannotBeAKeyStaysInMemoryAndNeverFailsTheSave) {
    int case_ = 0;
    for (const QString name : {"a=b-1.jpg", "[x-1.jpg", ";x-1.jpg"}) {
        SCOPED_TRACE(name.toStdString());
        QFile::remove(IniPath);
        auto roll = MakeRoll(QString::number(++case_) + "/", "Roll1", {name, "r-2.jpg"});
        roll->Prepare();
        ASSERT_EQ(roll->Count(), 2);
        TMedia* odd = roll->Items(0)->FileName == name ? roll->Items(0) : roll->Items(1);
        odd->Rotate(+90);
        EXPECT_EQ(odd->Rotation, 90);
        EXPECT_FALSE(roll->RotationsDirty);
        EXPECT_TRUE(roll->Rotations.isEmpty());
        // A save made for another photo still succeeds and holds only that one.
        TMedia* plain = roll->Items(0) == odd ? roll->Items(1) : roll->Items(0);
        plain->Rotate(-90);
        EXPECT_TRUE(roll->SaveRotationsIfChanged());
        QStringList lines;
        TIniFile(IniPath).ReadSectionValues(roll->RotationSection(), lines);
        EXPECT_EQ(lines, QStringList({"r-2.jpg=-90"}));
    }
}

TEST_F(RotationTest, AThousandLongNamesSurviveAChangeAndARestart) {
    constexpr int Count = 1000;
    QStringList names;
    QByteArray text = "[Other]\nkeep.jpg=90\n";
    const QString folder = Tmp.Path() + "Roll1/";
    text += "[" + RotationSectionFor(true, folder, "Roll1").toUtf8() + "]\n";
    for (int i = 0; i < Count; ++i) {
        names << QStringLiteral("IMG_20230812_%1-%2.jpg").arg(150000 + i).arg(i);
        Tmp.Write("Roll1/Large/" + names.last(), {});
        text += names.last().toUtf8() + "=" + QByteArray::number(i % 2 ? 90 : -180) + "\n";
    }
    ASSERT_TRUE(Platform::WriteFileAtomically(IniPath, text));
    {
        TRoll roll(true, "Roll1", folder);
        roll.Prepare();
        ASSERT_EQ(roll.Rotations.size(), Count);
        roll.Items(Count - 1)->Rotate(+90);  // the last photo: far past any buffer
        EXPECT_TRUE(roll.SaveRotationsIfChanged());
    }
    TRoll again(true, "Roll1", folder);
    again.Prepare();
    ASSERT_EQ(again.Count(), Count);
    for (int i = 0; i < Count; ++i) {
        const TMedia* photo = again.Items(i);
        const int n = photo->FileName.section('-', 1).section('.', 0, 0).toInt();
        const int expected = n == Count - 1 ? 180 : (n % 2 ? 90 : -180);
        ASSERT_EQ(photo->Rotation, expected) << photo->FileName.toStdString();
    }
    EXPECT_EQ(Stored("Other", "keep.jpg"), "90");
}

TEST_F(RotationTest, LeavingARollWritesItsTurnsAtOnce) {
    auto roll = MakeRoll("", "Roll1", {"r-1.jpg", "r-2.jpg"});
    roll->Prepare();
    const QString section = roll->RotationSection();
    EXPECT_TRUE(roll->SaveRotationsIfChanged());  // nothing changed: no file written
    EXPECT_FALSE(QFile::exists(IniPath));
    roll->Items(1)->Rotate(+90);
    EXPECT_TRUE(roll->SaveRotationsIfChanged());
    EXPECT_FALSE(roll->RotationsDirty);
    // What a crash right now would leave: the file as written, the roll never freed.
    EXPECT_EQ(Stored(section, "r-2.jpg"), "90");
}

TEST_F(RotationTest, AFailedSaveAtCloseIsReportedOnceForAllRolls) {
    QStringList reports;
    SetRotationSaveFailureReport([&](const QString& text) { reports << text; });
    {
        TRollList list;
        for (const QString name : {"Roll1", "Roll2"}) {
            TRoll* roll = list.Add(MakeRoll("", name, {"r-1.jpg"}));
            roll->Prepare();
            roll->Items(0)->Rotate(+90);
        }
        CloseRotationFile();  // nothing to write to
        list.Clear();
    }
    SetRotationSaveFailureReport(nullptr);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("Roll1") && reports[0].contains("Roll2")) << reports[0].toStdString();
}

TEST_F(RotationTest, DirtyRollWithoutAFileDoesNotThrowOnDestruction) {
    auto roll = MakeRoll("", "Roll1", {"r-1.jpg"});
    roll->Prepare();
    roll->Items(0)->Rotate(+90);
    CloseRotationFile();
    EXPECT_THROW(roll->SaveRotations(), EError);
    EXPECT_NO_THROW(roll.reset());
}
