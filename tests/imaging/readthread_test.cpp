// The read-thread base with a real worker: requests, steps, hand-overs to
// the main thread and destruction.
#include "imaging/readthread.h"
#include "platform/errors.h"
#include "support/eventwait.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A step that can be held inside ReadStep by a gate, counts what it does
// and notes the threads it ran on.
class TProbeThread : public TImageReadThread {
public:
    explicit TProbeThread(bool deliver = true) : FDeliver(deliver) { Start(); }
    ~TProbeThread() override {
        Open();
        Stop();
    }

    void Hold() {
        std::lock_guard lock(FGateLock);
        FHeld = true;
    }
    void Open() {
        {
            std::lock_guard lock(FGateLock);
            FHeld = false;
        }
        FGate.notify_all();
    }
    void ThrowNext() { FThrow.store(true); }
    int Steps() const { return FSteps.load(); }
    int Deliveries() const { return FDeliveries.load(); }
    bool InStep() const { return FInStep.load(); }
    std::thread::id StepThread() const {
        std::lock_guard lock(FGateLock);
        return FStepThread;
    }
    std::thread::id DeliverThread() const { return FDeliverThread; }
    QThread::Priority StepPriority() const { return QThread::Priority(FStepPriority.load()); }

protected:
    bool ReadStep() override {
        FInStep.store(true);
        {
            std::unique_lock lock(FGateLock);
            FStepThread = std::this_thread::get_id();
            FGate.wait(lock, [this] { return !FHeld; });
        }
        FStepPriority.store(int(QThread::currentThread()->priority()));
        FSteps.fetch_add(1);
        FInStep.store(false);
        if (FThrow.exchange(false)) throw EError("step failed");
        return FDeliver;
    }
    void DeliverStep() override {
        FDeliverThread = std::this_thread::get_id();
        FDeliveries.fetch_add(1);
    }

private:
    const bool FDeliver;
    mutable std::mutex FGateLock;
    std::condition_variable FGate;
    bool FHeld = false;
    std::thread::id FStepThread;
    std::thread::id FDeliverThread;  // main thread only
    std::atomic<bool> FInStep{false};
    std::atomic<bool> FThrow{false};
    std::atomic<int> FSteps{0};
    std::atomic<int> FDeliveries{0};
    std::atomic<int> FStepPriority{-1};
};

} // namespace

TEST(ImageReadThreads, AStepRunsOnTheWorkerAndItsResultIsDeliveredOnTheMainThread) {
    TProbeThread thread;
    thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Deliveries() == 1; }));
    EXPECT_EQ(thread.Steps(), 1);
    EXPECT_NE(thread.StepThread(), std::this_thread::get_id());
    EXPECT_EQ(thread.DeliverThread(), std::this_thread::get_id());
    EXPECT_EQ(thread.StepPriority(), QThread::LowPriority);
    EXPECT_FALSE(thread.Finished());
}

TEST(ImageReadThreads, AStepWithNothingToDeliverDeliversNothing) {
    TProbeThread thread(false);
    thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Steps() == 1; }));
    ProcessFor(100);
    EXPECT_EQ(thread.Deliveries(), 0);
}

// A request after a quiet spell is served at once, so only requests that
// follow a step closely (a burst) are sure to meet before the next one.
TEST(ImageReadThreads, ABurstOfRequestsAfterAStepIsServedByOneStep) {
    TProbeThread thread;
    thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Deliveries() == 1; }));
    for (int i = 0; i < 5; ++i) thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Deliveries() == 2; }));
    ProcessFor(400);  // longer than a wait and a pause
    EXPECT_EQ(thread.Steps(), 2);
    EXPECT_EQ(thread.Deliveries(), 2);
}

TEST(ImageReadThreads, ARequestMadeWhileAStepRunsLeadsToExactlyOneMoreStep) {
    for (int requests : {1, 3}) {
        SCOPED_TRACE(requests);
        TProbeThread thread;
        thread.Hold();
        thread.Request();
        ASSERT_TRUE(ProcessUntil([&] { return thread.InStep(); }));
        for (int i = 0; i < requests; ++i) thread.Request();
        thread.Open();
        ASSERT_TRUE(ProcessUntil([&] { return thread.Deliveries() == 2; }));
        ProcessFor(400);
        EXPECT_EQ(thread.Steps(), 2);
        EXPECT_EQ(thread.Deliveries(), 2);
    }
}

TEST(ImageReadThreads, AnErrorEscapingAStepLeavesTheWorkerServing) {
    TProbeThread thread;
    thread.ThrowNext();
    thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Steps() == 1; }));
    ProcessFor(100);
    EXPECT_EQ(thread.Deliveries(), 0);
    thread.Request();
    ASSERT_TRUE(ProcessUntil([&] { return thread.Deliveries() == 1; }));
    EXPECT_EQ(thread.Steps(), 2);
}

// However the worker is placed, destruction ends it at once: waiting for a
// request, or waiting for the main thread to take a delivery that the main
// thread will never run (it is busy destroying).
TEST(ImageReadThreads, DestroyingTheThreadEndsItWithinOneWait) {
    enum class TState { Idle, JustCreated, WaitingForDelivery };
    for (TState state : {TState::Idle, TState::JustCreated, TState::WaitingForDelivery}) {
        SCOPED_TRACE(int(state));
        auto thread = std::make_unique<TProbeThread>();
        TProbeThread* probe = thread.get();
        if (state == TState::Idle) ProcessFor(300);  // past one 250 ms wait
        if (state == TState::WaitingForDelivery) {
            thread->Request();
            // No events are processed: the delivery waits for us.
            QElapsedTimer wait;
            wait.start();
            while (probe->Steps() == 0 && wait.elapsed() < 20000) std::this_thread::sleep_for(1ms);
            ASSERT_EQ(probe->Steps(), 1);
            std::this_thread::sleep_for(20ms);
        }
        QElapsedTimer clock;
        clock.start();
        thread.reset();
        // The bound is generous; lumora-bench measures the real time.
        EXPECT_LT(clock.elapsed(), 2000);
        // The delivery queued for the destroyed thread is dropped unrun.
        QCoreApplication::processEvents();
    }
}
