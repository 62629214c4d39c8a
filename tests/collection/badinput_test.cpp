// Damaged and hostile discs, end to end: each kind of bad input goes through
// the roll scan, the thumbnails and the full-size load the viewer uses, and
// must give a clear error or a documented fallback while the rest of the roll
// keeps working.
#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "shell/inifile.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <atomic>
#include <future>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A disc roll "Roll" with a Thumb and a Large folder; every photo is written
// into both, good ones as real JPEGs.
class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        AppState().FotavoLayout = true;
        OpenRotationFile(Config.Path());
        Good = EncodeTestJpeg(MakePhotoLikeImage(120, 80));
    }
    void TearDown() override {
        CloseRotationFile();
        ResetAppState();
    }
    void Put(const QString& name, const QByteArray& data) {
        for (const char* size : {"Thumb/", "Large/"}) Disc.Write(QStringLiteral("Roll/") + size + name, data);
    }
    std::unique_ptr<TRoll> OpenRoll() {
        auto roll = std::make_unique<TRoll>(true, "Roll", Disc.Path() + "Roll");
        roll->Prepare();
        return roll;
    }
    static TMedia* Find(const TRoll& roll, const QString& name) {
        for (int i = 0; i < roll.Count(); ++i)
            if (roll.Items(i)->FileName == name) return roll.Items(i);
        return nullptr;
    }
    // The error text of the full-size load; empty when it loaded.
    static QString LoadError(TMedia& photo) {
        try {
            photo.GetImage();
        } catch (const EError& e) {
            EXPECT_EQ(photo.Image, nullptr);
            return e.Message();
        }
        return {};
    }
    // The good neighbours still give thumbnails and full pictures.
    void ExpectGoodNeighbours(TRoll& roll) {
        for (const char* name : {"r-1.jpg", "r-3.jpg"}) {
            TMedia* photo = Find(roll, name);
            ASSERT_NE(photo, nullptr) << name;
            photo->LoadThumbnail();
            EXPECT_TRUE(photo->HasThumbnail()) << name;
            EXPECT_EQ(LoadError(*photo), "") << name;
            ASSERT_NE(photo->Image, nullptr);
            EXPECT_EQ(photo->Image->GetSize(), QSize(120, 80));
        }
    }
    // Photo r-2.jpg is listed but gives no thumbnail and a load error containing Expected.
    void ExpectRefused(TRoll& roll, const QString& expected) {
        TMedia* bad = Find(roll, "r-2.jpg");
        ASSERT_NE(bad, nullptr);
        bad->LoadThumbnail();
        EXPECT_FALSE(bad->HasThumbnail());
        EXPECT_TRUE(LoadError(*bad).contains(expected)) << LoadError(*bad).toStdString();
        ExpectGoodNeighbours(roll);
    }

    static qsizetype SofOffset(const QByteArray& jpeg) {
        for (qsizetype i = 2; i + 9 < jpeg.size(); ++i)
            if (uint8_t(jpeg[i]) == 0xFF && (uint8_t(jpeg[i + 1]) == 0xC0 || uint8_t(jpeg[i + 1]) == 0xC2))
                return i;
        return -1;
    }

    TTempFolder Disc;
    TTempFolder Config;
    QByteArray Good;
};

} // namespace

// A photo cut short or with a corrupt segment is shown as far as it can be
// read, thumbnail included; one with nothing to show is refused.
TEST_F(BadInput, DamagedJpegsShowWhatCanBeReadAndEmptyOnesAreRefused) {
    Put("r-1.jpg", Good);
    Put("r-2.jpg", WithoutScanData(Good));
    Put("r-3.jpg", Good);
    Put("r-4.jpg", CutScanData(Good, 0.5));
    Put("r-5.jpg", WithCorruptSegment(Good, 0.5));
    auto roll = OpenRoll();
    ASSERT_EQ(roll->Count(), 5);
    ExpectRefused(*roll, "Damaged or truncated");
    for (const char* name : {"r-4.jpg", "r-5.jpg"}) {
        SCOPED_TRACE(name);
        TMedia* damaged = Find(*roll, name);
        damaged->LoadThumbnail();
        EXPECT_TRUE(damaged->HasThumbnail());
        EXPECT_EQ(LoadError(*damaged), "");
        EXPECT_FALSE(damaged->Image->LoadWarning.isEmpty());
    }
}

TEST_F(BadInput, WrongMagicIsRefusedAndTheContentNotTheNameDecides) {
    Put("r-1.jpg", Good);
    Put("r-2.jpg", QByteArray("This is not a picture.\n").repeated(300));
    Put("r-3.jpg", Good);
    // A PNG that is called .jpg is still a picture.
    QImage picture = MakePhotoLikeImage(120, 80);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&buffer, "PNG"));
    }
    Put("r-4.jpg", png);
    auto roll = OpenRoll();
    ASSERT_EQ(roll->Count(), 4);
    ExpectRefused(*roll, "Invalid file format");
    TMedia* disguised = Find(*roll, "r-4.jpg");
    disguised->LoadThumbnail();
    EXPECT_TRUE(disguised->HasThumbnail());
    EXPECT_EQ(LoadError(*disguised), "");
}

TEST_F(BadInput, HugeClaimedDimensionsAreRefusedBeforeAllocating) {
    QByteArray huge = Good;
    const qsizetype sof = SofOffset(huge);
    ASSERT_GT(sof, 0);
    for (const qsizetype at : {sof + 5, sof + 7}) {  // height, width: 60000 each
        huge[at] = char(60000 >> 8);
        huge[at + 1] = char(60000 & 0xFF);
    }
    Put("r-1.jpg", Good);
    Put("r-2.jpg", huge);
    Put("r-3.jpg", Good);
    auto roll = OpenRoll();
    // 60000 x 60000 x 3 bytes would be 10 GB: under the sanitizers an attempt
    // to allocate it would abort the test.
    ExpectRefused(*roll, "too large");
}

TEST_F(BadInput, ZeroByteFileIsRefused) {
    Put("r-1.jpg", Good);
    Put("r-2.jpg", QByteArray());
    Put("r-3.jpg", Good);
    auto roll = OpenRoll();
    ASSERT_EQ(roll->Count(), 3);
    TMedia* empty = Find(*roll, "r-2.jpg");
    empty->LoadThumbnail();
    EXPECT_FALSE(empty->HasThumbnail());
    EXPECT_FALSE(LoadError(*empty).isEmpty());
    ExpectGoodNeighbours(*roll);
}

TEST_F(BadInput, UnreadableFileIsRefused) {
    Put("r-1.jpg", Good);
    Put("r-3.jpg", Good);
    if (!RunningAsRoot()) {
        // Permission denied.
        Put("r-2.jpg", Good);
        for (const char* size : {"Thumb/", "Large/"})
            ASSERT_EQ(::chmod(QFile::encodeName(Disc.Path() + "Roll/" + size + "r-2.jpg").constData(), 0), 0);
        auto roll = OpenRoll();
        ASSERT_EQ(roll->Count(), 3);
        ExpectRefused(*roll, "");
        EXPECT_FALSE(LoadError(*Find(*roll, "r-2.jpg")).isEmpty());
    }
    // A file that opens but fails every read (root reads past any permission,
    // so this one runs for everybody): this process's memory file, read at 0.
    for (const char* size : {"Thumb/", "Large/"}) {
        const QString path = Disc.Path() + "Roll/" + size + "r-2.jpg";
        QFile::remove(path);
        ASSERT_EQ(::symlink("/proc/self/mem", QFile::encodeName(path).constData()), 0);
    }
    auto roll = OpenRoll();
    ASSERT_EQ(roll->Count(), 3);
    ExpectRefused(*roll, "");
    EXPECT_FALSE(LoadError(*Find(*roll, "r-2.jpg")).isEmpty());
}

TEST_F(BadInput, RotationFileWithBinaryJunkAndAMegabyteLine) {
    Put("r-1.jpg", Good);
    Put("r-2.jpg", Good);
    Put("r-3.jpg", Good);
    const QString section = OpenRoll()->RotationSection();
    QByteArray junk(64 * 1024, '\0');
    QRandomGenerator random(7);
    for (char& c : junk) c = char(random.bounded(256));
    const QByteArray longLine = "r-3.jpg=" + QByteArray(1 << 20, '9') + "\n";
    const QString file = Config.Path() + RotationFileName;
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(junk + "\n[" + section.toUtf8() + "]\nr-2.jpg=90\n" + longLine + junk);
    }
    OpenRotationFile(Config.Path());
    {
        auto roll = OpenRoll();
        EXPECT_EQ(Find(*roll, "r-2.jpg")->Rotation, 90);
        EXPECT_EQ(Find(*roll, "r-3.jpg")->Rotation, 0);  // no number that fits: unturned
        Find(*roll, "r-1.jpg")->Rotate(+90);
        Find(*roll, "r-1.jpg")->StoreRotation();
    }  // written back here
    OpenRotationFile(Config.Path());
    auto again = OpenRoll();
    EXPECT_EQ(Find(*again, "r-1.jpg")->Rotation, 90);
    EXPECT_EQ(Find(*again, "r-2.jpg")->Rotation, 90);
    // What lies outside the roll's section is still there byte for byte; the
    // junk after the section header counted as part of it and is gone.
    EXPECT_TRUE(ReadFileBytes(file).startsWith(junk));
}

TEST_F(BadInput, RollFolderThatIsAFileIsNoRoll) {
    TTempFolder pictures;
    pictures.Write("Roll1", "a file where a roll folder should be");
    pictures.Write("Roll2/Large/r-1.jpg", Good);
    TRollList list;
    const TRollScan scan = list.ScanRolls(pictures.Path());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Names(0), "Roll2");
    EXPECT_FALSE(scan.MultiRoll);
    // Opened by name all the same (a roll asked for on the command line).
    TRoll roll(true, "Roll1", pictures.Path() + "Roll1");
    roll.Prepare();
    EXPECT_EQ(roll.Count(), 0);
    EXPECT_TRUE(roll.IsReady());
}

TEST_F(BadInput, SizeFolderThatIsASymlinkLoopIsAbsent) {
    Disc.Write("Roll/Small/r-1.jpg", Good);
    Disc.Write("Roll/Small/r-2.jpg", Good);
    const QByteArray roll = QFile::encodeName(Disc.Path() + "Roll/");
    ASSERT_EQ(::symlink("Large", (roll + "Large").constData()), 0);     // itself
    ASSERT_EQ(::symlink(".", (roll + "Medium").constData()), 0);        // the roll folder
    ASSERT_EQ(::symlink("..", (roll + "ExLarge").constData()), 0);      // the folder above
    ASSERT_EQ(::symlink("/", (roll + "Thumb").constData()), 0);         // the root
    auto opened = OpenRoll();
    EXPECT_FALSE(opened->SizesPresent.Contains(5));
    EXPECT_FALSE(opened->SizesPresent.Contains(4));
    EXPECT_FALSE(opened->SizesPresent.Contains(6));
    EXPECT_FALSE(opened->SizesPresent.Contains(2));
    ASSERT_TRUE(opened->SizesPresent.Contains(3));
    EXPECT_EQ(opened->DefaultLevel, 3);
    ASSERT_EQ(opened->Count(), 2);
    opened->Items(0)->LoadThumbnail();
    EXPECT_TRUE(opened->Items(0)->HasThumbnail());
    // Zooming never walks into a loop either.
    TMedia* photo = opened->Items(0);
    EXPECT_FALSE(photo->StepResolution(+1));
    EXPECT_EQ(photo->FullPath(), Disc.Path() + "Roll/Small/r-1.jpg");
}

TEST_F(BadInput, NonUtf8FileNamesAreLeftOutAndCounted) {
    Put("r-1.jpg", Good);
    Put("r-3.jpg", Good);
    for (const char* size : {"Thumb/", "Large/"}) {
        for (const QByteArray& name : {QByteArray("r-2\xff.jpg"), QByteArray("r-4\xe9t\xe9.JPG")}) {
            const QByteArray path = QFile::encodeName(Disc.Path() + "Roll/" + size) + name;
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::write(fd, Good.constData(), size_t(Good.size())), Good.size());
            ::close(fd);
        }
    }
    auto roll = OpenRoll();
    EXPECT_EQ(roll->FileList(), QStringList({Disc.Path() + "Roll/Large/r-1.jpg",
                                             Disc.Path() + "Roll/Large/r-3.jpg"}));
    EXPECT_EQ(roll->LeftOutNames, 2);
    ExpectGoodNeighbours(*roll);

    // Start-up's account of the disc says so.
    TRollList list;
    list.ScanRolls(Disc.Path());
    AppState().PictureDir = Disc.Path();
    EXPECT_TRUE(DescribeRolls(list, AppState()).contains("2 photo(s) left out"));
}

TEST_F(BadInput, DiscRemovedWhileAWorkerThreadLoadsThumbnails) {
    for (int i = 1; i <= 40; ++i) Put(QStringLiteral("r-%1.jpg").arg(i), Good);
    auto roll = OpenRoll();
    ASSERT_EQ(roll->Count(), 40);
    // The worker makes two thumbnails, then waits until the folder is gone;
    // the main thread stores what it hands over, as the loader does.
    std::vector<std::unique_ptr<TThumbnail>> made(size_t(roll->Count()));
    std::promise<void> twoMade, removed;
    std::thread worker([&, removedSignal = removed.get_future()]() mutable {
        for (int i = 0; i < roll->Count(); ++i) {
            if (i == 2) {
                twoMade.set_value();
                removedSignal.wait();
            }
            made[size_t(i)] = roll->Items(i)->MakeThumbnail();
        }
    });
    twoMade.get_future().wait();
    ASSERT_TRUE(QDir(Disc.Path() + "Roll").removeRecursively());
    removed.set_value();
    worker.join();
    for (int i = 0; i < roll->Count(); ++i) roll->Items(i)->SetThumbnail(std::move(made[size_t(i)]));
    EXPECT_TRUE(roll->Items(0)->HasThumbnail());
    EXPECT_TRUE(roll->Items(1)->HasThumbnail());
    for (int i = 2; i < roll->Count(); ++i) EXPECT_FALSE(roll->Items(i)->HasThumbnail()) << i;
    // The full picture now fails with a text, and turning a photo is still
    // remembered: the rotation file lives in the user's folder, not on the disc.
    EXPECT_FALSE(LoadError(*roll->Items(5)).isEmpty());
    roll->Items(5)->Rotate(+90);
    roll->Items(5)->StoreRotation();
    EXPECT_NO_THROW(roll->SaveRotations());
    EXPECT_EQ(RotationFile()->ReadString(roll->RotationSection(), "r-6.jpg", ""), "90");
    // Opening it again finds nothing and says so by its count.
    TRoll again(true, "Roll", Disc.Path() + "Roll");
    again.Prepare();
    EXPECT_EQ(again.Count(), 0);
}
