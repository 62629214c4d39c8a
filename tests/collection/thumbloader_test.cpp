// The roll's loader thread and the roll thumbnail cache, with real threads,
// real decodes and the main thread's event loop doing the hand-overs.
#include "collection/roll.h"
#include "collection/rotation.h"
#include "collection/thumbloader.h"
#include "platform/threadclass.h"
#include "shell/startup.h"
#include "support/fixtures.h"
#include "support/photos.h"
#include "support/eventwait.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Runs the event loop until Done or 20 s; false on time-out.
class ThumbLoaderThreads : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        AppState().FotavoLayout = true;
        ResetRollThumbCache();
        Photo = EncodeTestJpeg(MakePhotoLikeImage(96, 64));
    }
    void TearDown() override {
        ResetRollThumbCache();
        ResetAppState();
    }
    // A disc roll with Count photos in Tiny (real) and Medium (empty).
    std::unique_ptr<TRoll> MakeRoll(const QString& name, int count) {
        Disc.Make(name + "/Tiny");
        Disc.Make(name + "/Medium");
        for (int i = 1; i <= count; ++i) {
            Disc.Write(QStringLiteral("%1/Tiny/r-%2.jpg").arg(name).arg(i), Photo);
            Disc.Write(QStringLiteral("%1/Medium/r-%2.jpg").arg(name).arg(i), {});
        }
        auto roll = std::make_unique<TRoll>(true, name, Disc.Path() + name);
        roll->OnThumbnail = [this, r = roll.get()](TTask* task) { Notified.push_back({r, task->Index}); };
        return roll;
    }
    static int ThumbnailCount(const TRoll& roll) {
        int n = 0;
        for (int i = 0; i < roll.Count(); ++i) n += roll.Items(i)->HasThumbnail() ? 1 : 0;
        return n;
    }
    static bool Done(const TRoll& roll) { return !roll.Loader; }
    std::vector<int> IndicesFor(const TRoll* roll) const {
        std::vector<int> out;
        for (const auto& [r, index] : Notified)
            if (r == roll) out.push_back(index);
        return out;
    }

    TTempFolder Disc;
    QByteArray Photo;
    std::vector<std::pair<const TRoll*, int>> Notified;
};

} // namespace

TEST_F(ThumbLoaderThreads, ThumbnailsArriveInDisplayOrderAndTheLoaderFreesItself) {
    auto roll = MakeRoll("Roll", 12);
    roll->Prepare();
    roll->StartThumbLoader();
    ASSERT_NE(roll->Loader, nullptr);
    ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
    EXPECT_EQ(ThumbnailCount(*roll), 12);
    std::vector<int> expected(12);
    for (int i = 0; i < 12; ++i) expected[size_t(i)] = i;
    EXPECT_EQ(IndicesFor(roll.get()), expected);
    EXPECT_TRUE(roll->Tasks.empty());
    EXPECT_EQ(roll->LoaderPriority(), QThread::IdlePriority);  // no loader: the idle level
}

TEST_F(ThumbLoaderThreads, ARollWithNoPhotosStartsNoLoader) {
    auto roll = MakeRoll("Empty", 0);
    roll->Prepare();
    roll->StartThumbLoader();
    EXPECT_EQ(roll->Loader, nullptr);
}

TEST_F(ThumbLoaderThreads, PauseAndReopenResumeTheSameLoaderWhereItStopped) {
    auto roll = MakeRoll("Roll", 10);
    roll->OnThumbnail = [&](TTask* task) {
        Notified.push_back({roll.get(), task->Index});
        if (task->Index == 2) roll->PauseThumbLoader();  // back to the roll page
    };
    roll->Prepare();
    roll->StartThumbLoader();
    TThumbLoaderThread* loader = roll->Loader.get();
    ASSERT_TRUE(ProcessUntil([&] { return Notified.size() >= 3; }));
    // Paused between two tasks: nothing more arrives.
    QElapsedTimer quiet;
    quiet.start();
    ProcessUntil([&] { return quiet.elapsed() > 150; });
    EXPECT_EQ(Notified.size(), 3u);
    EXPECT_EQ(roll->Loader.get(), loader);
    roll->StartThumbLoader();  // the roll opened again
    EXPECT_EQ(roll->Loader.get(), loader);
    ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
    EXPECT_EQ(IndicesFor(roll.get()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(ThumbLoaderThreads, APhotoThatAlreadyHasAThumbnailStillNotifies) {
    auto roll = MakeRoll("Roll", 3);
    roll->Prepare();
    roll->Items(1)->LoadThumbnail();
    const TThumbnail* before = roll->Items(1)->Thumbnail.get();
    roll->StartThumbLoader();
    ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
    EXPECT_EQ(IndicesFor(roll.get()), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(roll->Items(1)->Thumbnail.get(), before);  // kept, not made again
}

TEST_F(ThumbLoaderThreads, ABrokenPhotoGivesNoNoticeAndTheLoaderGoesOn) {
    auto roll = MakeRoll("Roll", 3);
    Disc.Write("Roll/Tiny/r-2.jpg", "not a picture");
    roll->Prepare();
    roll->StartThumbLoader();
    ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
    EXPECT_EQ(IndicesFor(roll.get()), (std::vector<int>{0, 2}));
    EXPECT_FALSE(roll->Items(1)->HasThumbnail());
}

TEST_F(ThumbLoaderThreads, TwentyOneRollsFreeTheFirstAndReopeningItMakesThemAgain) {
    std::vector<std::unique_ptr<TRoll>> rolls;
    for (int r = 0; r < 21; ++r) {
        rolls.push_back(MakeRoll(QStringLiteral("Roll%1").arg(r, 2, 10, QLatin1Char('0')), 2));
        TRoll& roll = *rolls.back();
        if (r > 0) rolls[size_t(r - 1)]->PauseThumbLoader();
        roll.Prepare();
        roll.StartThumbLoader();
        ASSERT_TRUE(ProcessUntil([&] { return Done(roll); }));
        EXPECT_EQ(ThumbnailCount(roll), 2);
    }
    TRoll& first = *rolls.front();
    EXPECT_EQ(ThumbnailCount(first), 0);
    EXPECT_FALSE(first.Queued);
    EXPECT_EQ(ThumbnailCount(*rolls[1]), 2);
    EXPECT_EQ(RollThumbCache().Rolls.size(), 20);
    EXPECT_EQ(RollThumbCache().Rolls.front(), rolls.back().get());

    Notified.clear();
    first.Prepare();
    EXPECT_EQ(first.Tasks.size(), 2u);
    EXPECT_EQ(RollThumbCache().Rolls.front(), &first);
    first.StartThumbLoader();
    ASSERT_TRUE(ProcessUntil([&] { return Done(first); }));
    EXPECT_EQ(ThumbnailCount(first), 2);
    EXPECT_EQ(IndicesFor(&first), (std::vector<int>{0, 1}));
    EXPECT_EQ(ThumbnailCount(*rolls[1]), 0);  // now the least recent beyond 20
}

// Destroying a roll must end its loader cleanly whatever it is doing:
// decoding, paused, or waiting for the main thread to take a thumbnail.
TEST_F(ThumbLoaderThreads, DestroyingARollDuringLoadingIsClean) {
    enum class TState { Working, Paused, WaitingForTheMainThread };
    for (TState state : {TState::Working, TState::Paused, TState::WaitingForTheMainThread}) {
        SCOPED_TRACE(int(state));
        auto roll = MakeRoll(QStringLiteral("Roll%1").arg(int(state)), 40);
        roll->Prepare();
        if (state == TState::Paused) roll->OnThumbnail = [&](TTask*) { roll->PauseThumbLoader(); };
        roll->StartThumbLoader();
        if (state == TState::Paused) {
            ASSERT_TRUE(ProcessUntil([&] { return roll->Items(0)->HasThumbnail(); }));
            std::this_thread::sleep_for(20ms);
            EXPECT_TRUE(roll->Loader && roll->Loader->Paused());
        } else if (state == TState::WaitingForTheMainThread) {
            // No events are processed: the first hand-over waits for us.
            std::this_thread::sleep_for(100ms);
        } else {
            ASSERT_TRUE(ProcessUntil([&] { return roll->Items(1)->HasThumbnail(); }));
        }
        QElapsedTimer clock;
        clock.start();
        roll.reset();
        EXPECT_LT(clock.elapsed(), 5000);
        // Hand-overs queued for the freed roll are dropped, not run.
        QCoreApplication::processEvents();
    }
}

TEST_F(ThumbLoaderThreads, PriorityIsTheLoadersWhileThereIsOne) {
    auto roll = MakeRoll("Roll", 30);
    roll->Prepare();
    roll->SetLoaderPriority(QThread::LowPriority);  // no loader yet: nothing
    roll->StartThumbLoader();
    EXPECT_EQ(roll->LoaderPriority(), QThread::NormalPriority);
    roll->SetLoaderPriority(QThread::IdlePriority);
    EXPECT_EQ(roll->LoaderPriority(), QThread::IdlePriority);
    roll->SetLoaderPriority(QThread::NormalPriority);
    EXPECT_EQ(roll->LoaderPriority(), QThread::NormalPriority);
    ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
    EXPECT_EQ(ThumbnailCount(*roll), 30);
}

// A loader that ran out of tasks is replaced by a new one when tasks come
// before its "ended" notice ran; that notice must not reach the new loader
// (which may sit at the old one's address) or the freed old one.
TEST_F(ThumbLoaderThreads, TasksAddedBeforeTheEndedNoticeRanGetTheirThumbnails) {
    auto roll = MakeRoll("Roll", 2);
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Notified.clear();
        roll->Prepare();
        roll->StartThumbLoader();
        ASSERT_TRUE(ProcessUntil([&] { return Notified.size() == 2; }));
        // The loader ends and queues its notice, which no event loop runs yet
        // (on a busy machine the wait above may have run it already: then
        // this round starts from a roll without a loader).
        while (roll->Loader && !roll->Loader->Finished()) std::this_thread::sleep_for(1ms);
        roll->FreeThumbnails();  // as the thumbnail cache does to an old roll
        roll->Prepare();
        roll->StartThumbLoader();
        ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
        EXPECT_EQ(ThumbnailCount(*roll), 2);
        EXPECT_EQ(IndicesFor(roll.get()), (std::vector<int>{0, 1, 0, 1}));
        roll->FreeThumbnails();
    }
}

// The thread's real scheduling class, read from the kernel, and what the
// loader reports, after the full view lowers it to idle and raises it again.
// Where the idle class could not be left again the loader waits between two
// thumbnails instead, in the normal class.
TEST_F(ThumbLoaderThreads, ALoweredLoaderReallyComesBack) {
    using Platform::TThreadClass;
    using TSeen = std::vector<std::pair<TThreadClass, TLoaderPriority>>;
    for (bool cooperative : {true, false}) {
        SCOPED_TRACE(cooperative);
        if (!cooperative && !Platform::CanLeaveIdleClass(Platform::CurrentThreadId()))
            GTEST_SKIP() << "the idle class can be left only with CAP_SYS_NICE or a raised RLIMIT_NICE";
        auto roll = MakeRoll(QStringLiteral("Roll%1").arg(cooperative), 6);
        roll->Prepare();
        Notified.clear();
        TSeen seen;
        // Read while the loader waits for the main thread, so its thread is there.
        const auto look = [&] {
            seen.emplace_back(Platform::ThreadClass(roll->Loader->ThreadId()), roll->LoaderPriority());
        };
        roll->OnThumbnail = [&](TTask* task) {
            Notified.push_back({roll.get(), task->Index});
            if (task->Index != 1) return;
            roll->SetLoaderPriority(QThread::IdlePriority);
            look();
            if (cooperative) return;
            roll->SetLoaderPriority(QThread::NormalPriority);  // at once: an idle thread may starve
            look();
        };
        roll->StartThumbLoader();
        if (cooperative) roll->Loader->ForceCooperativeLowering();
        ASSERT_TRUE(ProcessUntil([&] { return Notified.size() >= 2; }));
        if (cooperative) {
            ProcessFor(100);
            EXPECT_EQ(Notified.size(), 2u);  // waiting, not working
            roll->SetLoaderPriority(QThread::NormalPriority);
            look();
        }
        ASSERT_TRUE(ProcessUntil([&] { return Done(*roll); }));
        EXPECT_EQ(ThumbnailCount(*roll), 6);
        const TThreadClass lowered = cooperative ? TThreadClass::Normal : TThreadClass::Idle;
        EXPECT_EQ(seen, (TSeen{{lowered, QThread::IdlePriority}, {TThreadClass::Normal, QThread::NormalPriority}}));
    }
}
