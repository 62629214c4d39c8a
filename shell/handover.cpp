#include "shell/handover.h"
#include "shell/tracelog.h"
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>

TMainThreadHandOver::TMainThreadHandOver() : FContext(std::make_unique<QObject>()) {
    if (QCoreApplication* app = QCoreApplication::instance()) FContext->moveToThread(app->thread());
}

TMainThreadHandOver::~TMainThreadHandOver() {
    Cancel();
    // Taken under the lock the workers last held, so the sanitizers see
    // their uses of the context end before it goes.
    std::unique_ptr<QObject> context;
    {
        std::lock_guard lock(FLock);
        context = std::move(FContext);
    }
}

bool TMainThreadHandOver::RunNow(const std::function<void()>& work) {
    {
        std::lock_guard lock(FLock);
        if (FCancelled) return false;
    }
    try {
        work();
    } catch (const std::exception& e) {
        TraceLog::SevereMsg(QStringLiteral("Hand-over failed: %1").arg(QString::fromUtf8(e.what())));
    }
    return true;
}

bool TMainThreadHandOver::Run(std::function<void()> work) {
    auto ran = std::make_shared<bool>(false);
    {
        std::lock_guard lock(FLock);
        if (FCancelled || !FContext) return false;
        QMetaObject::invokeMethod(FContext.get(), [this, ran, work = std::move(work)] {
            const bool done = RunNow(work);
            {
                std::lock_guard lock(FLock);
                *ran = done;
            }
            FDone.notify_all();
        }, Qt::QueuedConnection);
    }
    std::unique_lock lock(FLock);
    FDone.wait(lock, [&] { return FCancelled || *ran; });
    return *ran;
}

void TMainThreadHandOver::Post(std::function<void()> work) {
    std::lock_guard lock(FLock);
    if (FCancelled || !FContext) return;
    QMetaObject::invokeMethod(FContext.get(), [this, work = std::move(work)] { RunNow(work); },
                              Qt::QueuedConnection);
}

void TMainThreadHandOver::Cancel() {
    {
        std::lock_guard lock(FLock);
        FCancelled = true;
    }
    FDone.notify_all();
}

bool TMainThreadHandOver::Cancelled() const {
    std::lock_guard lock(FLock);
    return FCancelled;
}
