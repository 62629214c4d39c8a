#include "collection/roll.h"
#include "collection/rotation.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include <QDir>
#include <QFile>
#include <QImage>
#include <QCoreApplication>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>
#include <atomic>
#include <fcntl.h>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A disc roll "Roll" under Tmp with the given size folders; Files go into Level.
std::unique_ptr<TRoll> MakeDiscRoll(const TTempFolder& tmp, const QStringList& sizes,
                                    const QString& level, const QStringList& files) {
    for (const QString& size : sizes) tmp.Make("Roll/" + size);
    for (const QString& file : files) tmp.Write("Roll/" + level + file, {});
    return std::make_unique<TRoll>(true, "Roll", tmp.Path() + "Roll");
}

QStringList FileNames(const TRoll& roll) {
    QStringList names;
    for (int i = 0; i < roll.Count(); ++i) names << roll.Items(i)->FileName;
    return names;
}

class RollTest : public ::testing::Test {
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

TEST(FrameNumberKeyTest, Table) {
    struct Row {
        const char* path;
        const char* key;
    };
    const Row rows[] = {
        {"roll1-12.jpg", "12"},      {"/d/roll1-12A.jpg", "12"}, {"roll1-12a.jpg", "12"},
        {"roll1-XX.jpg", "-3"},      {"roll1-X.jpg", "-2"},      {"roll1-00.jpg", "-1"},
        {"roll1-0.jpg", "0"},        {"roll1-000.jpg", "000"},   {"roll1-xx.jpg", "xx"},
        {"roll1-XXA.jpg", "-3"},     {"r-3-copy.jpg", "3"},      {"a.b-7.jpg", "7"},
        {"/dir-9/photo.jpg", "photo"}, {"photo.jpg", "photo"},   {"r-.jpg", ""},
        {"r-A.jpg", ""},             {"noext-5", "5"},           {"r-ab.jpg", "ab"},
    };
    for (const Row& row : rows) EXPECT_EQ(FrameNumberKey(row.path), row.key) << row.path;
    EXPECT_EQ(FrameNumberOf("-3"), -3);
    EXPECT_FALSE(FrameNumberOf("ab").has_value());
    EXPECT_FALSE(FrameNumberOf("").has_value());
}

TEST_F(RollTest, SortsByFrameNumberWithLeadFramesFirst) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/",
                             {"r-1.jpg", "r-10.jpg", "r-2.jpg", "r-00.jpg", "r-X.jpg", "r-XX.jpg"});
    roll->Prepare();
    EXPECT_TRUE(roll->NumericNames);
    EXPECT_EQ(FileNames(*roll),
              QStringList({"r-XX.jpg", "r-X.jpg", "r-00.jpg", "r-1.jpg", "r-2.jpg", "r-10.jpg"}));
}

TEST_F(RollTest, OneNameWithoutDashSortsTheWholeRollByName) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/",
                             {"r-1.jpg", "r-10.jpg", "r-2.jpg", "r-00.jpg", "r-X.jpg", "Photo.jpg"});
    roll->Prepare();
    EXPECT_FALSE(roll->NumericNames);
    EXPECT_EQ(FileNames(*roll), QStringList({"Photo.jpg", "r-00.jpg", "r-1.jpg", "r-10.jpg",
                                             "r-2.jpg", "r-X.jpg"}));
}

TEST_F(RollTest, NameOrderIgnoresCase) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/", {"b.jpg", "C.jpg", "a.jpg", "B2.jpg"});
    roll->Prepare();
    EXPECT_EQ(FileNames(*roll), QStringList({"a.jpg", "b.jpg", "B2.jpg", "C.jpg"}));
}

TEST_F(RollTest, HalfFrameHasTheKeyOfItsFrame) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/", {"r-5.jpg", "r-3A.jpg", "r-1.jpg", "r-3.jpg"});
    roll->Prepare();
    const QStringList names = FileNames(*roll);
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names[0], "r-1.jpg");
    EXPECT_EQ(QSet<QString>({names[1], names[2]}), QSet<QString>({"r-3.jpg", "r-3A.jpg"}));
    EXPECT_EQ(names[3], "r-5.jpg");
}

// A key that is no number sorts the roll by name instead of failing.
TEST_F(RollTest, KeyThatIsNoNumberFallsBackToNameOrder) {
    for (const QString& odd : {QString("r-ab.jpg"), QString("r-.jpg")}) {
        TTempFolder tmp;
        auto roll = MakeDiscRoll(tmp, {"Large"}, "Large/", {"r-2.jpg", odd, "r-10.jpg"});
        ASSERT_NO_THROW(roll->Prepare()) << odd.toStdString();
        EXPECT_TRUE(roll->NumericNames);
        EXPECT_TRUE(roll->Sorted());
        const QStringList names = FileNames(*roll);
        EXPECT_EQ(names.indexOf("r-10.jpg"), names.indexOf("r-2.jpg") - 1) << odd.toStdString();
        EXPECT_EQ(names.size(), 3);
    }
}

TEST_F(RollTest, SizeFoldersChooseDefaultThumbAndBestLevels) {
    struct Row {
        QStringList sizes;
        int defaultLevel;
        const char* thumb;  // folder name, "" for none
        const char* best;   // folder name, "" for none
    };
    const Row rows[] = {
        {{"Thumb", "Large"}, 5, "Thumb", "Large"},
        {{"Medium", "Large"}, 4, "Medium", "Large"},
        {{"Tiny", "Small", "Medium", "Large", "ExLarge"}, 4, "Tiny", "Large"},
        {{"Small", "Medium"}, 4, "Small", "Medium"},
        {{"Small", "ExLarge"}, 3, "Small", "Small"},
        {{"Thumb", "ExLarge"}, 6, "Thumb", "ExLarge"},
        {{"Tiny", "Thumb"}, 2, "Tiny", "Thumb"},
        {{"Tiny"}, 1, "Tiny", "Tiny"},
        {{}, 0, "", ""},
    };
    for (const Row& row : rows) {
        TTempFolder tmp;
        auto roll = MakeDiscRoll(tmp, row.sizes, "", {});
        roll->FindSizes();
        roll->ChooseDefaultLevel();
        const QString label = row.sizes.join(',');
        EXPECT_EQ(roll->DefaultLevel, row.defaultLevel) << label.toStdString();
        EXPECT_EQ(roll->ThumbFolder, *row.thumb ? roll->Folder + row.thumb + "/" : QString())
            << label.toStdString();
        auto media = TMedia::Create(roll.get(), "r-1.jpg", roll->Folder);
        EXPECT_EQ(media->BestQualityPath(),
                  *row.best ? roll->Folder + row.best + "/r-1.jpg" : QString())
            << label.toStdString();
    }
}

TEST_F(RollTest, PhotosAreListedFromTheDefaultLevel) {
    auto roll = MakeDiscRoll(Tmp, {"Thumb", "Large"}, "Large/", {"r-1.jpg", "r-2.jpg"});
    Tmp.Write("Roll/Thumb/r-3.jpg", {});
    roll->Prepare();
    EXPECT_EQ(roll->ThumbFolder, Tmp.Path() + "Roll/Thumb/");
    EXPECT_EQ(roll->DefaultLevel, 5);
    ASSERT_EQ(roll->Count(), 2);
    EXPECT_EQ(roll->Items(0)->FullPath(), Tmp.Path() + "Roll/Large/r-1.jpg");
    EXPECT_EQ(roll->Items(0)->SizeFolder, "Large/");
    EXPECT_EQ(roll->Items(0)->Level, 5);
    EXPECT_EQ(roll->FileList(), QStringList({Tmp.Path() + "Roll/Large/r-1.jpg",
                                             Tmp.Path() + "Roll/Large/r-2.jpg"}));
}

TEST_F(RollTest, DiscRollWithoutSizeFoldersListsItsOwnFolder) {
    auto roll = MakeDiscRoll(Tmp, {}, "", {"r-1.jpg"});
    roll->Prepare();
    ASSERT_EQ(roll->Count(), 1);
    EXPECT_EQ(roll->Items(0)->Level, 0);
    EXPECT_EQ(roll->Items(0)->FullPath(), Tmp.Path() + "Roll/r-1.jpg");
    EXPECT_EQ(roll->Items(0)->BestQualityPath(), QString());
}

TEST_F(RollTest, SizeFolderThatIsNoFolderIsAbsent) {
    auto roll = MakeDiscRoll(Tmp, {"Medium"}, "", {});
    Tmp.Write("Roll/Large", "not a folder");
    ASSERT_EQ(symlink("Small", QFile::encodeName(Tmp.Path() + "Roll/Small").constData()), 0);
    ASSERT_EQ(symlink("Gone", QFile::encodeName(Tmp.Path() + "Roll/Tiny").constData()), 0);
    ASSERT_EQ(symlink("Medium", QFile::encodeName(Tmp.Path() + "Roll/ExLarge").constData()), 0);
    roll->FindSizes();
    EXPECT_FALSE(roll->SizesPresent.Contains(5));
    EXPECT_FALSE(roll->SizesPresent.Contains(3));  // a link to itself
    EXPECT_FALSE(roll->SizesPresent.Contains(1));  // a dangling link
    EXPECT_TRUE(roll->SizesPresent.Contains(4));
    EXPECT_TRUE(roll->SizesPresent.Contains(6));   // a link to a real folder counts
    EXPECT_EQ(roll->ThumbFolder, roll->Folder + "Medium/");
}

TEST_F(RollTest, ScanTakesJpegFilesOnly) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/", {"r-1.jpg", "r-2.JPG", "notes.txt",
                                                        "r-3.jpg.bak", ".r-4.jpg"});
    const QString large = Tmp.Path() + "Roll/Large/";
    Tmp.Make("Roll/Large/r-5.jpg");  // a folder named like a photo
    ASSERT_EQ(mkfifo(QFile::encodeName(large + "r-6.jpg").constData(), 0644), 0);
    ASSERT_EQ(symlink("missing", QFile::encodeName(large + "r-7.jpg").constData()), 0);
    ASSERT_EQ(symlink("r-1.jpg", QFile::encodeName(large + "r-8.jpg").constData()), 0);
    // A name that is not valid UTF-8 must not disturb the scan.
    const QByteArray odd = QFile::encodeName(large) + "r-9\xff\xfe.jpg";
    const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    roll->Prepare();
    const QStringList names = FileNames(*roll);
    EXPECT_TRUE(names.contains("r-1.jpg"));
    EXPECT_TRUE(names.contains("r-2.JPG"));
    EXPECT_TRUE(names.contains("r-8.jpg"));
    for (const char* skipped : {"notes.txt", "r-3.jpg.bak", ".r-4.jpg", "r-5.jpg", "r-6.jpg", "r-7.jpg"})
        EXPECT_FALSE(names.contains(skipped)) << skipped;
    // The photo whose name can't be decoded is left out, but counted.
    EXPECT_EQ(roll->Count(), 3);
    EXPECT_EQ(roll->LeftOutNames, 1);
    // Whatever is listed can be opened again by its path.
    for (int i = 0; i < roll->Count(); ++i) {
        QFile file(roll->Items(i)->FullPath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << roll->Items(i)->FullPath().toStdString();
    }
}

TEST_F(RollTest, PrepareScansOnceAndQueuesOneTaskPerPhoto) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/", {"r-2.jpg", "r-1.jpg", "r-3.jpg"});
    EXPECT_FALSE(roll->IsReady());
    roll->Prepare();
    EXPECT_TRUE(roll->IsReady());
    ASSERT_EQ(roll->Tasks.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(roll->Tasks[size_t(i)]->Index, i);
        EXPECT_EQ(roll->Tasks[size_t(i)]->Media, roll->Items(i));
    }
    Tmp.Write("Roll/Large/r-0.jpg", {});
    roll->Prepare();  // already ready: nothing changes
    EXPECT_EQ(roll->Tasks.size(), 3u);

    roll->FreeThumbnails();
    EXPECT_FALSE(roll->IsReady());
    roll->Prepare();  // queued again behind the pending tasks; the new file is not seen
    EXPECT_EQ(roll->Count(), 3);
    ASSERT_EQ(roll->Tasks.size(), 6u);
    EXPECT_EQ(roll->Tasks[3]->Media, roll->Items(0));
    EXPECT_EQ(FileNames(*roll), QStringList({"r-1.jpg", "r-2.jpg", "r-3.jpg"}));
}

TEST_F(RollTest, VanishedOrEmptyRollPreparesToNoPhotos) {
    auto roll = MakeDiscRoll(Tmp, {"Large"}, "Large/", {"r-1.jpg"});
    ASSERT_TRUE(QDir(Tmp.Path() + "Roll").removeRecursively());
    roll->Prepare();
    EXPECT_EQ(roll->Count(), 0);
    EXPECT_TRUE(roll->Tasks.empty());
    EXPECT_TRUE(roll->IsReady());
    EXPECT_EQ(roll->DefaultLevel, 0);
}

TEST_F(RollTest, ZoomStepsThroughSizesThenDigitally) {
    auto roll = MakeDiscRoll(Tmp, {"Medium", "Large"}, "Medium/", {"r-1.jpg"});
    roll->Prepare();
    TMedia* photo = roll->Items(0);
    ASSERT_EQ(photo->Level, 4);
    EXPECT_TRUE(photo->StepResolution(+1));
    EXPECT_EQ(photo->Level, 5);
    EXPECT_EQ(photo->FullPath(), Tmp.Path() + "Roll/Large/r-1.jpg");
    EXPECT_FALSE(photo->StepResolution(+1));
    EXPECT_EQ(photo->ExtraSteps, 1);
    EXPECT_TRUE(photo->CanZoomIn());
    EXPECT_FALSE(photo->StepResolution(+1));
    EXPECT_EQ(photo->ExtraSteps, 2);
    EXPECT_FALSE(photo->CanZoomIn());
    EXPECT_TRUE(photo->CanZoomOut());
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_EQ(photo->ExtraSteps, 0);
    EXPECT_EQ(photo->Level, 5);
    EXPECT_TRUE(photo->StepResolution(-1));
    EXPECT_EQ(photo->Level, 4);
    // Below the smallest size: two digital steps, then no more.
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_TRUE(photo->CanZoomOut());
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_EQ(photo->ExtraSteps, -2);
    EXPECT_FALSE(photo->CanZoomOut());
    EXPECT_TRUE(photo->CanZoomIn());

    photo->ZoomFactor = 3.0;
    photo->ResetZoom();
    EXPECT_EQ(photo->Level, 4);
    EXPECT_EQ(photo->SizeFolder, "Medium/");
    EXPECT_EQ(photo->ExtraSteps, 0);
    EXPECT_EQ(photo->ZoomFactor, 1.0);
}

TEST_F(RollTest, ZoomAcrossAMissingSizeTakesTwoSteps) {
    auto roll = MakeDiscRoll(Tmp, {"Small", "Large"}, "Large/", {"r-1.jpg"});
    roll->Prepare();
    TMedia* photo = roll->Items(0);
    ASSERT_EQ(photo->Level, 5);
    photo->SetLevel(3);
    ASSERT_EQ(photo->SizeFolder, "Small/");
    EXPECT_FALSE(photo->StepResolution(+1));
    EXPECT_TRUE(photo->LevelGap);
    EXPECT_EQ(photo->ExtraSteps, 1);
    EXPECT_TRUE(photo->StepResolution(+1));
    EXPECT_EQ(photo->Level, 5);
    EXPECT_FALSE(photo->LevelGap);
    EXPECT_EQ(photo->ExtraSteps, 0);
    // Down again: the same gap the other way.
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_TRUE(photo->StepResolution(-1));
    EXPECT_EQ(photo->Level, 3);
    // Changing one's mind half way clears the owed switch.
    EXPECT_FALSE(photo->StepResolution(+1));
    EXPECT_FALSE(photo->StepResolution(-1));
    EXPECT_FALSE(photo->LevelGap);
    EXPECT_EQ(photo->Level, 3);
    EXPECT_EQ(photo->ExtraSteps, 0);
}

TEST_F(RollTest, PlainLayoutPhotoNeverChangesSize) {
    AppState().FotavoLayout = false;
    Tmp.Write("r-1.jpg", {});
    Tmp.Make("Large");  // not a size folder in the plain layout
    TRoll roll(false, Tmp.Path(), Tmp.Path());
    roll.Prepare();
    ASSERT_EQ(roll.Count(), 1);
    TMedia* photo = roll.Items(0);
    EXPECT_EQ(photo->Level, 0);
    EXPECT_EQ(photo->SizeFolder, QString());
    EXPECT_EQ(photo->FullPath(), Tmp.Path() + "r-1.jpg");
    EXPECT_EQ(photo->BestQualityPath(), QString());
    EXPECT_EQ(roll.ThumbFolder, QString());
    for (int delta : {+1, +1, +1, -1, -1, -1, -1, -1, +1})
        EXPECT_FALSE(photo->StepResolution(delta));
    EXPECT_EQ(photo->Level, 0);
    photo->SetLevel(5);
    EXPECT_EQ(photo->Level, 0);
}

TEST_F(RollTest, FolderGetsATrailingSlash) {
    TRoll roll(true, "R", "/pictures/R");
    EXPECT_EQ(roll.Folder, "/pictures/R/");
    auto media = TMedia::CreateFromPath(&roll, "/pictures/R/x-1.jpg");
    EXPECT_EQ(media->Folder, "/pictures/R/");
    EXPECT_EQ(media->FileName, "x-1.jpg");
}

TEST_F(RollTest, ImageAndThumbnailFollowTheStoredRotation) {
    Tmp.Make("Roll/Thumb");
    Tmp.Make("Roll/Large");
    // Red on the left, blue on the right; turned right, red is on top.
    const QImage bands = MakeBandImage(140, 70, {Qt::red, Qt::blue});
    ASSERT_TRUE(WriteTestJpeg(Tmp.Path() + "Roll/Thumb/r-1.jpg", bands));
    ASSERT_TRUE(WriteTestJpeg(Tmp.Path() + "Roll/Large/r-1.jpg", bands));
    TRoll roll(true, "Roll", Tmp.Path() + "Roll");
    roll.Prepare();
    ASSERT_EQ(roll.Count(), 1);
    TMedia* photo = roll.Items(0);
    photo->Rotation = 90;

    TIEBitmap* image = photo->GetImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetSize(), QSize(70, 140));
    EXPECT_EQ(photo->GetImage(), image);  // made once

    photo->LoadThumbnail();
    ASSERT_TRUE(photo->HasThumbnail());
    const QImage thumb = photo->Thumbnail->MakeImage();
    EXPECT_EQ(thumb.size(), QSize(ThumbnailSize, ThumbnailSize));
    EXPECT_TRUE(ColorNear(MeanColor(thumb, QRect(20, 5, 30, 20)), Qt::red));
    EXPECT_TRUE(ColorNear(MeanColor(thumb, QRect(20, 45, 30, 20)), Qt::blue));

    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        photo->DrawThumbnail(painter, QRect(0, 0, 20, 20));
    }
    EXPECT_TRUE(ColorNear(canvas.pixelColor(10, 2), Qt::red));
    photo->FreeThumbnail();
    EXPECT_FALSE(photo->HasThumbnail());
    {
        QPainter painter(&canvas);
        photo->DrawThumbnail(painter, QRect(0, 0, 20, 20));
    }
    EXPECT_EQ(canvas.pixelColor(10, 10), QColor(Qt::black));
}

TEST_F(RollTest, PlainLayoutThumbnailComesFromThePhotoItself) {
    AppState().FotavoLayout = false;
    ASSERT_TRUE(WriteTestJpeg(Tmp.Path() + "r-1.jpg", MakeBandImage(80, 80, {Qt::green})));
    TRoll roll(false, Tmp.Path(), Tmp.Path());
    roll.Prepare();
    ASSERT_EQ(roll.Count(), 1);
    roll.Items(0)->LoadThumbnail();
    EXPECT_TRUE(roll.Items(0)->HasThumbnail());
}

TEST_F(RollTest, MissingPhotoGivesNoThumbnail) {
    auto roll = MakeDiscRoll(Tmp, {"Thumb", "Large"}, "Large/", {"r-1.jpg"});
    roll->Prepare();
    roll->Items(0)->Rotation = 90;
    roll->Items(0)->LoadThumbnail();  // empty file in Large, none in Thumb
    EXPECT_FALSE(roll->Items(0)->HasThumbnail());
}

// The hand-over the loader uses: a worker makes each thumbnail as a finished
// value and the main thread stores it in a blocking call, while the main
// thread keeps drawing and turning photos. A photo turned while its thumbnail
// was being made still gets a thumbnail in its new orientation.
TEST_F(RollTest, ThumbnailHandOverToADrawingMainThreadWorkerThread) {
    const QImage bands = MakeBandImage(140, 70, {Qt::red, Qt::blue});
    constexpr int Count = 12;
    Tmp.Make("Roll/Thumb");
    for (int i = 1; i <= Count; ++i) {
        ASSERT_TRUE(WriteTestJpeg(Tmp.Path() + QStringLiteral("Roll/Thumb/r-%1.jpg").arg(i), bands));
        Tmp.Write(QStringLiteral("Roll/Large/r-%1.jpg").arg(i), {});
    }
    TRoll roll(true, "Roll", Tmp.Path() + "Roll");
    roll.Prepare();
    ASSERT_EQ(roll.Count(), Count);
    QObject receiver;
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int i = 0; i < Count; ++i) {
            std::unique_ptr<TThumbnail> made = roll.Items(i)->MakeThumbnail();
            QMetaObject::invokeMethod(&receiver, [&, i, t = made.release()] {
                roll.Items(i)->SetThumbnail(std::unique_ptr<TThumbnail>(t));
            }, Qt::BlockingQueuedConnection);
        }
        done.store(true);
    });
    QImage canvas(20, 20, QImage::Format_RGB32);
    int turned = 0;
    while (!done.load()) {
        QPainter painter(&canvas);
        for (int i = 0; i < Count; ++i) roll.Items(i)->DrawThumbnail(painter, QRect(0, 0, 20, 20));
        painter.end();
        if (turned < Count) roll.Items(turned++)->Rotate(+90);
        QCoreApplication::processEvents();
    }
    loader.join();
    QCoreApplication::processEvents();
    for (int i = 0; i < Count; ++i) {
        TMedia* photo = roll.Items(i);
        ASSERT_TRUE(photo->HasThumbnail()) << i;
        const QImage thumb = photo->Thumbnail->MakeImage();
        // Turned right: red on top; never turned: red on the left.
        const QRect redArea = photo->Rotation == 90 ? QRect(20, 5, 30, 20) : QRect(5, 20, 20, 30);
        EXPECT_TRUE(ColorNear(MeanColor(thumb, redArea), Qt::red)) << i << " at " << photo->Rotation;
    }
}

// On a screen of a higher density the thumbnails are made at 70 x ratio
// pixels from the smallest size folder whose picture covers that; at ratio 1
// the smallest folder serves, as it always has. A thumbnail made for the
// density the window left is not kept.
TEST_F(RollTest, ThumbnailsAreMadeForTheScreensDensity) {
    const struct {
        const char* Folder;
        QSize Size;
        QColor Colour;
    } levels[] = {{"Tiny/", {96, 64}, Qt::red}, {"Thumb/", {192, 128}, Qt::green}, {"Small/", {384, 256}, Qt::blue}};
    for (const auto& l : levels) {
        QImage image(l.Size, QImage::Format_RGB888);
        image.fill(l.Colour);
        Tmp.Write(QStringLiteral("Roll/") + l.Folder + "r-1.jpg", EncodeTestJpeg(image));
    }
    TRoll roll(true, "Roll", Tmp.Path() + "Roll");
    roll.Prepare();
    ASSERT_EQ(roll.Count(), 1);
    TMedia* photo = roll.Items(0);
    const struct {
        qreal Ratio;
        int Pixels;
        const char* Folder;
    } cases[] = {{1.0, 70, "Tiny/"}, {1.25, 88, "Thumb/"}, {1.5, 105, "Thumb/"}, {2.0, 140, "Small/"}, {4.0, 280, "Small/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ratio);
        EXPECT_EQ(ThumbnailPixelsFor(c.Ratio), c.Pixels);
        roll.SetThumbnailPixels(ThumbnailPixelsFor(c.Ratio));
        EXPECT_FALSE(photo->HasThumbnail()) << "a new density frees the old thumbnails";
        EXPECT_EQ(photo->ThumbnailSource(c.Pixels), Tmp.Path() + "Roll/" + c.Folder + "r-1.jpg");
        photo->LoadThumbnail();
        ASSERT_TRUE(photo->HasThumbnail());
        EXPECT_EQ(photo->Thumbnail->GetSize(), QSize(c.Pixels, c.Pixels));
    }
    // One made at 280 pixels, arriving after the window moved back to ratio 1.
    std::unique_ptr<TThumbnail> late = photo->MakeThumbnail();
    roll.SetThumbnailPixels(ThumbnailPixelsFor(1.0));
    photo->SetThumbnail(std::move(late));
    EXPECT_FALSE(photo->HasThumbnail());
}
