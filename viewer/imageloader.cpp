#include "viewer/imageloader.h"
#include "collection/roll.h"
#include "imaging/loading.h"
#include "shell/tracelog.h"
#include "viewer/fullviewgeometry.h"
#include <QCoreApplication>
#include <chrono>
#include <new>

namespace {

// A picture the decoder may read at a reduced scale, as far as the thread's
// small-load request allows.
class TReducibleBitmap final : public TIEBitmap {
public:
    bool PreferSmallSize() const override { return true; }
};

} // namespace

TImageLoaderThread::TImageLoaderThread(TEvents events) : FEvents(std::move(events)) {
    FRequest.ShowProgress = false;
    Start();
}

TImageLoaderThread::~TImageLoaderThread() {
    // The decode in progress stops at its next progress report.
    FCancelled.store(true);
    Stop();
    RestoreThumbLoader();
}

void TImageLoaderThread::SetRoll(TRoll* roll) {
    if (roll == FRoll) return;
    // The roll being left gets its loader's priority back now: the step
    // that lowered it will restore the roll that is open by then.
    RestoreThumbLoader();
    FRoll = roll;
}

void TImageLoaderThread::Load(const TImageLoadRequest& request) {
    {
        std::lock_guard lock(Lock);
        const bool showProgress = request.ShowProgress || (FRequest.ShowProgress && !FDone);
        FRequest = request;
        FRequest.ShowProgress = showProgress;
    }
    if (request.AtOnce) ServeNextAtOnce();
    Request();
}

void TImageLoaderThread::Request() {
    {
        // Under the lock, so a step either takes this request or is cancelled by it.
        std::lock_guard lock(Lock);
        FCancelled.store(true);
        ++FRequested;
        FDone = false;
    }
    TImageReadThread::Request();
}

bool TImageLoaderThread::Idle() const {
    std::lock_guard lock(Lock);
    return FDone;
}

bool TImageLoaderThread::WaitIdle() {
    for (int slice = 0; slice < WaitIdleSlices; ++slice) {
        {
            std::unique_lock lock(Lock);
            if (FDoneChanged.wait_for(lock, std::chrono::milliseconds(WaitIdleSliceMs), [this] { return FDone; }))
                return true;
        }
        if (Ending()) return false;
        // The delivery waits for the main thread: let it run, but no user
        // input, which could close the window or start another job under
        // the one waiting here.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return Idle();
}

bool TImageLoaderThread::ReportProgress(int percent, bool shown) {
    FPercent.store(percent);
    // The main thread hears of every 5 percent, not of every batch of rows;
    // a decoder that skips a multiple of 5 still moves the bar.
    const int band = percent / ProgressStep * ProgressStep;
    if (shown && band > FReportedBand) {
        FReportedBand = band;
        Post([this, band] {
            if (FEvents.OnProgress) FEvents.OnProgress(band);
        });
    }
    return !FCancelled.load() && !Ending();
}

namespace {

// The upright size of a file's picture from its header; empty when unreadable.
QSize PictureSize(const QString& path) {
    FILEINFO info;
    if (L_FileInfo(path, &info, 0) != SUCCESS) return {};
    return QSize(info.Width, info.Height);
}

} // namespace

QString TImageLoaderThread::ReadFrom(const TImageLoadRequest& request, QSize& levelSize) {
    levelSize = QSize();
    if (request.Ratio <= 1.0 || request.Sharper.isEmpty()) return request.FileName;
    // The sizes as the view shows them: turned by the photo's rotation.
    const bool across = request.Rotation % 180 != 0;
    QList<QSize> sizes{PictureSize(request.FileName)};
    for (const QString& path : request.Sharper) sizes << PictureSize(path);
    if (across)
        for (QSize& size : sizes) size.transpose();
    const int index = TFullViewGeometry::SharperSizeIndex(sizes, request.Panel, request.View, request.Ratio);
    if (index == 0) return request.FileName;
    // Unturned here; the bitmap and this size are turned together later.
    levelSize = across ? sizes.first().transposed() : sizes.first();
    return request.Sharper[index - 1];
}

bool TImageLoaderThread::ReadStep() {
    TraceScope trace("TImageLoaderThread.ReadStep");
    FBusy.store(true);
    TImageLoadRequest request;
    uint64_t generation;
    {
        // What to load is read at this moment; requests after it cancel this step.
        std::lock_guard lock(Lock);
        request = FRequest;
        generation = FRequested;
        FRequest.ShowProgress = false;
        FCancelled.store(false);
    }
    FPercent.store(0);
    FReportedBand = 0;
    TLoadedImage result;
    result.FileName = request.FileName;
    result.Index = request.Index;
    bool ok = true;
    if (!request.FileName.isEmpty()) {
        const bool shown = request.ShowProgress;
        const bool started = Synchronize([this, shown, index = request.Index] {
            LowerThumbLoader();
            if (shown && FEvents.OnProgressShow) FEvents.OnProgressShow(index);
        });
        if (!started) {  // ending
            FBusy.store(false);
            return false;
        }
        const QString source = ReadFrom(request, result.LevelSize);
        {
            TProgressHookScope hook([this, shown](int percent) { return ReportProgress(percent, shown); });
            try {
                if (request.MinShortSide > 0) {
                    TSmallLoadScope small({request.MinShortSide, false});
                    auto bitmap = std::make_unique<TReducibleBitmap>();
                    bitmap->LoadFromFile(source, ColorModeOwnDepth);
                    result.Bitmap = std::move(bitmap);
                } else {
                    result.Bitmap = TIEBitmap::CreateFromFile(source, ColorModeOwnDepth);
                }
                if (result.Bitmap && result.Bitmap->IsEmpty()) result.Bitmap.reset();  // stopped
            } catch (const EError& e) {
                // No picture; the page keeps the one it shows.
                result.ErrorText = e.Message();
            } catch (const std::bad_alloc&) {
                result.ErrorText = LibraryErrorText(ERROR_NO_MEMORY);
            }
        }
        if (result.Bitmap) {
            result.Warning = result.Bitmap->LoadWarning;
            if (request.Rotation % 360 != 0 && !FCancelled.load()) {
                try {
                    result.Bitmap->Rotate(request.Rotation);
                    result.Rotation = request.Rotation;
                    if (request.Rotation % 180 != 0) result.LevelSize.transpose();
                } catch (const EError& e) {
                    // Shown unturned rather than not at all; the page may try again.
                    TraceLog::WarningMsg(e.Message());
                }
            }
        }
        bool nextShowsProgress = false;
        {
            // Overtaken by a newer request, or by one for another file: dropped.
            std::lock_guard lock(Lock);
            if (FCancelled.load() || FRequested != generation || FRequest.FileName != request.FileName)
                ok = false;
            nextShowsProgress = FRequest.ShowProgress;
        }
        if (!ok) result.Bitmap.reset();
        // The panel stays up only for a next load that shows it again.
        const bool hide = shown && (ok || !nextShowsProgress);
        Post([this, hide] {
            RestoreThumbLoader();
            if (hide && FEvents.OnProgressHide) FEvents.OnProgressHide();
        });
    }
    {
        std::lock_guard lock(Lock);
        if (ok) {
            FResult = std::move(result);
            FResultGeneration = generation;
        } else if (FRequested == generation) {
            FDone = true;
        }
    }
    FBusy.store(false);
    FDoneChanged.notify_all();
    return ok;
}

void TImageLoaderThread::DeliverStep() {
    TLoadedImage image;
    uint64_t generation;
    {
        std::lock_guard lock(Lock);
        image = std::move(FResult);
        FResult = TLoadedImage();
        generation = FResultGeneration;
        // A request made since the load ended overtakes it: the step that
        // serves it delivers.
        if (FCancelled.load() || FRequested != generation) return;
    }
    if (FEvents.OnDeliver) FEvents.OnDeliver(image);
    {
        std::lock_guard lock(Lock);
        if (FRequested == generation) FDone = true;
    }
    FDoneChanged.notify_all();
}

void TImageLoaderThread::LowerThumbLoader() {
    if (!FRoll || FLoweredRoll) return;
    FLoweredRoll = FRoll;
    FLoweredRollAlive = FRoll->Context();
    FSavedPriority = FRoll->LoaderPriority();
    FRoll->SetLoaderPriority(QThread::IdlePriority);
}

void TImageLoaderThread::RestoreThumbLoader() {
    if (!FLoweredRoll) return;
    if (FLoweredRollAlive) FLoweredRoll->SetLoaderPriority(FSavedPriority);
    FLoweredRoll = nullptr;
    FLoweredRollAlive = nullptr;
}
