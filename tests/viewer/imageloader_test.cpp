// The full view's loader with real threads, real files and the main
// thread's event loop doing the hand-overs.
#include "viewer/imageloader.h"
#include "collection/roll.h"
#include "imaging/loading.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include "support/eventwait.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Holds the next decode (of any thread) at its first batch of rows until
// opened: "while a large photo loads", made certain.
class TDecodeGate {
public:
    TDecodeGate() {
        AddStatusListener(this, [this](int kind, int) {
            if (kind != skLoadRows || !FArmed.exchange(false)) return true;
            FInside.store(true);
            QElapsedTimer clock;
            clock.start();
            while (!FOpen.load() && clock.elapsed() < 30000) std::this_thread::sleep_for(1ms);
            return true;
        });
    }
    ~TDecodeGate() {
        Open();
        RemoveStatusListener(this);
    }
    void Arm() { FArmed.store(true); }
    void Open() { FOpen.store(true); }
    bool Inside() const { return FInside.load(); }

private:
    std::atomic<bool> FArmed{false}, FOpen{false}, FInside{false};
};

// What the page would see.
struct TRecorder {
    std::vector<QString> Log;  // "show 3", "progress 40", "hide", "deliver 3"
    std::vector<int> Progress;
    bool PanelVisible = false;
    std::vector<TLoadedImage> Delivered;
    std::function<void()> OnShow;

    TImageLoaderThread::TEvents Events() {
        TImageLoaderThread::TEvents events;
        events.OnProgressShow = [this](int index) {
            Log.push_back(QStringLiteral("show %1").arg(index));
            PanelVisible = true;
            if (OnShow) OnShow();
        };
        events.OnProgress = [this](int percent) {
            Log.push_back(QStringLiteral("progress %1").arg(percent));
            Progress.push_back(percent);
        };
        events.OnProgressHide = [this] {
            Log.push_back("hide");
            PanelVisible = false;
        };
        events.OnDeliver = [this](TLoadedImage& image) {
            Log.push_back(QStringLiteral("deliver %1").arg(image.Index));
            Delivered.push_back(std::move(image));
        };
        return events;
    }
    int Count(const QString& prefix) const {
        return int(std::count_if(Log.begin(), Log.end(), [&](const QString& s) { return s.startsWith(prefix); }));
    }
};

class ImageLoaderThreads : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Disc = new TTempFolder;
        // A large photo and five small ones told apart by their widths.
        Disc->Write("Roll/Medium/r-0.jpg", EncodeTestJpeg(MakePhotoLikeImage(2400, 1600)));
        for (int i = 1; i <= 5; ++i)
            Disc->Write(QStringLiteral("Roll/Medium/r-%1.jpg").arg(i),
                        EncodeTestJpeg(MakeBandImage(SmallWidth(i), 40, {QColor(40 * i, 0, 0)})));
        const QByteArray medium = EncodeTestJpeg(MakePhotoLikeImage(320, 240), 90, true);
        Disc->Write("Roll/Medium/r-6.jpg", WithCorruptSegment(medium, 0.5));
        Disc->Write("Roll/Medium/r-7.jpg", CutScanData(medium, 0.5));
        Disc->Write("Roll/Medium/r-8.jpg", "not a picture at all");
        // r-9 is missing. Tiny copies feed a thumbnail loader.
        const QByteArray tiny = EncodeTestJpeg(MakePhotoLikeImage(96, 64));
        for (int i = 0; i < 30; ++i) Disc->Write(QStringLiteral("Roll/Tiny/r-%1.jpg").arg(i), tiny);
    }
    static void TearDownTestSuite() {
        delete Disc;
        Disc = nullptr;
    }
    void SetUp() override {
        ResetAppState();
        AppState().FotavoLayout = true;
        ResetRollThumbCache();
    }
    void TearDown() override {
        ResetRollThumbCache();
        ResetAppState();
    }
    static int SmallWidth(int i) { return 60 + 10 * i; }
    static QString Photo(int i) { return Disc->Path() + QStringLiteral("Roll/Medium/r-%1.jpg").arg(i); }
    static TImageLoadRequest Request(int i, bool showProgress = true) { return {Photo(i), i, showProgress}; }

    static TTempFolder* Disc;
    TRecorder Rec;
};

TTempFolder* ImageLoaderThreads::Disc = nullptr;

} // namespace

TEST_F(ImageLoaderThreads, ALoadShowsProgressEveryFivePercentThenHidesItAndDelivers) {
    TImageLoaderThread loader(Rec.Events());
    loader.Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return loader.Idle(); }));
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    const TLoadedImage& image = Rec.Delivered[0];
    ASSERT_NE(image.Bitmap, nullptr);
    EXPECT_EQ(image.Bitmap->GetSize(), QSize(2400, 1600));
    EXPECT_EQ(image.FileName, Photo(0));
    EXPECT_EQ(image.Index, 0);
    EXPECT_TRUE(image.Warning.isEmpty());
    EXPECT_TRUE(image.ErrorText.isEmpty());
    EXPECT_EQ(loader.Percent(), 100);
    // In order: shown, rising in steps of 5 up to 100, hidden, delivered.
    ASSERT_GE(Rec.Log.size(), 4u);
    EXPECT_EQ(Rec.Log.front(), "show 0");
    EXPECT_EQ(Rec.Log[Rec.Log.size() - 2], "hide");
    EXPECT_EQ(Rec.Log.back(), "deliver 0");
    ASSERT_FALSE(Rec.Progress.empty());
    EXPECT_EQ(Rec.Progress.back(), 100);
    EXPECT_LE(Rec.Progress.size(), 20u);
    for (size_t i = 0; i < Rec.Progress.size(); ++i) {
        EXPECT_EQ(Rec.Progress[i] % 5, 0) << Rec.Progress[i];
        if (i > 0) {
            EXPECT_GT(Rec.Progress[i], Rec.Progress[i - 1]);
        }
    }
    EXPECT_FALSE(Rec.PanelVisible);
}

TEST_F(ImageLoaderThreads, ClickingNextFiveTimesWhileALargePhotoLoadsDeliversOnlyTheLast) {
    TDecodeGate gate;
    gate.Arm();
    TImageLoaderThread loader(Rec.Events());
    loader.Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return gate.Inside(); }));
    EXPECT_TRUE(loader.Busy());
    for (int i = 1; i <= 5; ++i) loader.Load(Request(i));  // next, next, next, next, next
    gate.Open();
    ASSERT_TRUE(ProcessUntil([&] { return loader.Idle(); }));
    ProcessFor(300);  // nothing more arrives
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    EXPECT_EQ(Rec.Delivered[0].Index, 5);
    ASSERT_NE(Rec.Delivered[0].Bitmap, nullptr);
    EXPECT_EQ(Rec.Delivered[0].Bitmap->GetSize().width(), SmallWidth(5));
    EXPECT_FALSE(Rec.PanelVisible);
    EXPECT_EQ(Rec.Log.back(), "deliver 5");
}

// A load cancelled by a request for the very same file is dropped too: the
// step serving the request delivers, once.
TEST_F(ImageLoaderThreads, TheSameFileAskedForAgainWhileItLoadsIsDeliveredOnce) {
    TDecodeGate gate;
    gate.Arm();
    TImageLoaderThread loader(Rec.Events());
    loader.Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return gate.Inside(); }));
    loader.Load(Request(0));
    gate.Open();
    ASSERT_TRUE(ProcessUntil([&] { return loader.Idle(); }));
    ProcessFor(300);
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    ASSERT_NE(Rec.Delivered[0].Bitmap, nullptr);
    EXPECT_EQ(Rec.Delivered[0].Bitmap->GetSize(), QSize(2400, 1600));
}

// Zooming reloads the sharper copy without the panel. A zoom that overtakes
// a photo's load still takes the panel down.
TEST_F(ImageLoaderThreads, AZoomReloadShowsNoProgressAndTakesAPanelLeftUpDown) {
    TImageLoaderThread loader(Rec.Events());
    loader.Load(Request(1, false));
    ASSERT_TRUE(ProcessUntil([&] { return loader.Idle(); }));
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    EXPECT_EQ(Rec.Log, std::vector<QString>{"deliver 1"});

    Rec = TRecorder();
    TImageLoaderThread second(Rec.Events());
    TDecodeGate gate;
    gate.Arm();
    second.Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return gate.Inside(); }));
    ASSERT_TRUE(Rec.PanelVisible);
    second.Load(Request(2, false));
    gate.Open();
    ASSERT_TRUE(ProcessUntil([&] { return second.Idle(); }));
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    EXPECT_EQ(Rec.Delivered[0].Index, 2);
    EXPECT_FALSE(Rec.PanelVisible);
    EXPECT_EQ(Rec.Count("show"), 1);
}

TEST_F(ImageLoaderThreads, DamagedPhotosArriveWithTheirWarningAndUnloadableOnesWithout) {
    TImageLoaderThread loader(Rec.Events());
    struct Case {
        int Photo;
        bool Picture;
    };
    for (const Case c : {Case{6, true}, Case{7, true}, Case{8, false}, Case{9, false}}) {
        SCOPED_TRACE(c.Photo);
        Rec.Delivered.clear();
        loader.Load(Request(c.Photo));
        ASSERT_TRUE(loader.WaitIdle());
        ASSERT_EQ(Rec.Delivered.size(), 1u);  // also without a picture: the caption moves on
        const TLoadedImage& image = Rec.Delivered[0];
        EXPECT_EQ(image.Index, c.Photo);
        EXPECT_FALSE(Rec.PanelVisible);
        if (c.Picture) {
            ASSERT_NE(image.Bitmap, nullptr);
            EXPECT_EQ(image.Bitmap->GetSize(), QSize(320, 240));  // shown as decoded
            EXPECT_FALSE(image.Warning.isEmpty());
            EXPECT_EQ(image.Warning, image.Bitmap->LoadWarning);
            EXPECT_TRUE(image.ErrorText.isEmpty());
        } else {
            EXPECT_EQ(image.Bitmap, nullptr);
            EXPECT_FALSE(image.ErrorText.isEmpty());
            EXPECT_TRUE(image.Warning.isEmpty());
        }
    }
}

TEST_F(ImageLoaderThreads, ThePictureArrivesTurnedByTheRequestedRotation) {
    TImageLoaderThread loader(Rec.Events());
    for (int rotation : {90, -90, 180, 0}) {
        SCOPED_TRACE(rotation);
        Rec.Delivered.clear();
        TImageLoadRequest request = Request(1);
        request.Rotation = rotation;
        loader.Load(request);
        ASSERT_TRUE(loader.WaitIdle());
        ASSERT_EQ(Rec.Delivered.size(), 1u);
        ASSERT_NE(Rec.Delivered[0].Bitmap, nullptr);
        EXPECT_EQ(Rec.Delivered[0].Rotation, rotation);
        const QSize size(SmallWidth(1), 40);
        EXPECT_EQ(Rec.Delivered[0].Bitmap->GetSize(), rotation % 180 ? size.transposed() : size);
    }
}

TEST_F(ImageLoaderThreads, NoFileNameDeliversNoPicture) {
    TImageLoaderThread loader(Rec.Events());
    loader.Load({QString(), 3, true});
    ASSERT_TRUE(loader.WaitIdle());
    ASSERT_EQ(Rec.Delivered.size(), 1u);
    EXPECT_EQ(Rec.Delivered[0].Bitmap, nullptr);
    EXPECT_EQ(Rec.Count("show"), 0);
}

TEST_F(ImageLoaderThreads, TheThumbnailLoaderIdlesWhileAFullImageLoads) {
    TRoll roll(true, "Roll", Disc->Path() + "Roll");
    // Paused after its first thumbnail, the roll's loader stays, unfinished.
    roll.OnThumbnail = [&](TTask*) { roll.PauseThumbLoader(); };
    roll.Prepare();
    roll.StartThumbLoader();
    ASSERT_TRUE(ProcessUntil([&] { return roll.Items(0)->HasThumbnail(); }));
    ASSERT_NE(roll.Loader, nullptr);
    ASSERT_EQ(roll.LoaderPriority(), QThread::NormalPriority);

    std::vector<QThread::Priority> seen;
    Rec.OnShow = [&] { seen.push_back(roll.LoaderPriority()); };
    auto loader = std::make_unique<TImageLoaderThread>(Rec.Events());
    loader->SetRoll(&roll);
    loader->Load(Request(1));
    ASSERT_TRUE(loader->WaitIdle());
    EXPECT_EQ(seen, std::vector<QThread::Priority>{QThread::IdlePriority});
    EXPECT_EQ(roll.LoaderPriority(), QThread::NormalPriority);

    // Freed in the middle of a load, the loader gives the priority back.
    TDecodeGate gate;
    gate.Arm();
    loader->Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return gate.Inside(); }));
    EXPECT_EQ(roll.LoaderPriority(), QThread::IdlePriority);
    gate.Open();
    loader.reset();
    EXPECT_EQ(roll.LoaderPriority(), QThread::NormalPriority);

    // So does leaving the roll.
    loader = std::make_unique<TImageLoaderThread>(Rec.Events());
    loader->SetRoll(&roll);
    TDecodeGate another;
    another.Arm();
    loader->Load(Request(0));
    ASSERT_TRUE(ProcessUntil([&] { return another.Inside(); }));
    EXPECT_EQ(roll.LoaderPriority(), QThread::IdlePriority);
    loader->SetRoll(nullptr);
    EXPECT_EQ(roll.LoaderPriority(), QThread::NormalPriority);
    another.Open();
    ASSERT_TRUE(loader->WaitIdle());
    EXPECT_EQ(roll.LoaderPriority(), QThread::NormalPriority);
}

TEST_F(ImageLoaderThreads, WaitIdleReturnsOnceThePictureIsDelivered) {
    TImageLoaderThread loader(Rec.Events());
    EXPECT_TRUE(loader.Idle());
    loader.Load(Request(0));
    EXPECT_FALSE(loader.Idle());
    EXPECT_TRUE(loader.WaitIdle());
    EXPECT_EQ(Rec.Delivered.size(), 1u);
}

// Destruction ends the worker wherever it is: waiting for a request,
// waiting for the main thread to show the panel, or decoding.
TEST_F(ImageLoaderThreads, DestroyingTheLoaderEndsItWhereverItIs) {
    enum class TState { Waiting, HandingOver, Decoding };
    for (TState state : {TState::Waiting, TState::HandingOver, TState::Decoding}) {
        SCOPED_TRACE(int(state));
        Rec = TRecorder();
        TDecodeGate gate;
        auto loader = std::make_unique<TImageLoaderThread>(Rec.Events());
        if (state == TState::Waiting) {
            ProcessFor(300);  // past a whole 250 ms wait
        } else if (state == TState::HandingOver) {
            loader->Load(Request(0));
            // No events are processed: the panel's hand-over waits for us.
            std::this_thread::sleep_for(100ms);
        } else {
            gate.Arm();
            loader->Load(Request(0));
            ASSERT_TRUE(ProcessUntil([&] { return gate.Inside(); }));
            gate.Open();
        }
        QElapsedTimer clock;
        clock.start();
        loader.reset();
        // Generous: lumora-bench measures the real time.
        EXPECT_LT(clock.elapsed(), 2000);
        ProcessFor(100);
        EXPECT_TRUE(Rec.Delivered.empty());
        if (state == TState::HandingOver) {
            EXPECT_EQ(Rec.Count("show"), 0);
        }
    }
}
