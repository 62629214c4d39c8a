#pragma once
// TImageLoaderThread: the full view's loader. The page asks for a photo's
// file; the loader reads it on its own thread at the file's own depth,
// reports progress every 5 percent, and hands the finished picture to the
// main thread. A newer request cancels the load in progress (the decode
// stops at its next progress report) and a load that a newer request
// overtook is dropped, never delivered. While a full image loads, the open
// roll's thumbnail loader runs at idle priority.
//
// Every event is called on the main thread. The worker reads nothing of the
// page: what to load travels in the request.
#include "imaging/iebitmap.h"
#include "imaging/readthread.h"
#include <QPointer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>

class TRoll;

struct TImageLoadRequest {
    QString FileName;    // the photo's full file name at its level; empty loads nothing
    int Index = -1;      // its display index, for the progress label
    bool ShowProgress = true;
    // Degrees to turn the picture by before it is handed over (the photo's
    // stored rotation), so the main thread need not turn a large picture.
    int Rotation = 0;
    // A JPEG may be decoded at a reduced scale (1/2, 1/4, 1/8) as long as its
    // shorter side stays at least this long; 0 reads the full size. The page
    // asks for a picture that covers the panel when it fits a new photo.
    int MinShortSide = 0;
    // On a screen of device pixel ratio Ratio above 1 the picture may be read
    // from a larger size folder (Sharper: the photo's files there, smallest
    // first) so that the view, View (empty: FileName's picture fitted into
    // Panel), has a pixel of the picture for each of its device pixels;
    // see TFullViewGeometry::SharperSizeIndex. Left empty at ratio 1.
    qreal Ratio = 1.0;
    QStringList Sharper{};
    QSize Panel{};
    QSize View{};
    // Served without the pause that gathers a burst of the user's requests:
    // a load the page follows a shown picture with.
    bool AtOnce = false;
};

// What a finished load hands to the main thread.
struct TLoadedImage {
    std::unique_ptr<TIEBitmap> Bitmap;  // none when the file could not be loaded
    QString FileName;
    int Index = -1;
    QString ErrorText;  // why there is no bitmap (empty when there is one)
    // The picture was read only in part (damaged segments, cut off early):
    // what was wrong. The bitmap's own LoadWarning, kept here as well so
    // the page need not look into the bitmap.
    QString Warning;
    // Degrees the bitmap was turned by: the request's rotation, or 0 when
    // turning failed. The page turns it by the difference to the photo's
    // rotation of the moment, which may have changed meanwhile.
    int Rotation = 0;
    // The size of FileName's picture, turned like the bitmap, when the
    // bitmap was read from a sharper file: the view is placed by it. Empty
    // when the bitmap is FileName's own.
    QSize LevelSize;
};

class TImageLoaderThread : public TImageReadThread {
public:
    // Progress values handed over: multiples of this.
    static constexpr int ProgressStep = 5;
    // WaitIdle's slices and their number: about a minute in all.
    static constexpr int WaitIdleSliceMs = 10;
    static constexpr int WaitIdleSlices = 6001;

    struct TEvents {
        // A load with progress begins: the bar to 0, the label to
        // LoadingImageText(Index), the progress panel shown.
        std::function<void(int index)> OnProgressShow;
        // Percent, a multiple of ProgressStep, rising.
        std::function<void(int percent)> OnProgress;
        // The panel hidden and the label cleared.
        std::function<void()> OnProgressHide;
        // DeliverImage: the page takes the picture (or learns there is none).
        std::function<void(TLoadedImage& image)> OnDeliver;
    };

    // Main thread; the worker starts at once and waits for requests.
    explicit TImageLoaderThread(TEvents events);
    // Cancels the load in progress and ends the worker; the thumbnail
    // loader gets its priority back.
    ~TImageLoaderThread() override;

    // Main thread. The open roll, whose thumbnail loader is dropped to idle
    // while a full image loads; none when no roll is open.
    void SetRoll(TRoll* roll);
    // Main thread. Cancels the load in progress and asks for this one.
    // Progress shown for a request that has not started yet stays shown
    // when a later request without it replaces it.
    void Load(const TImageLoadRequest& request);
    // Cancels the load in progress and asks for another step.
    void Request() override;

    // A load step is running.
    bool Busy() const { return FBusy.load(); }
    // No load running, pending or waiting to be delivered.
    bool Idle() const;
    // The last progress value the decoder reported.
    int Percent() const { return FPercent.load(); }
    // Main thread, before printing the shown photo: waits for Idle in
    // slices, letting pending events other than user input run (the
    // delivery is one of them).
    // True when idle, false when it gave up or the loader is ending.
    bool WaitIdle();

protected:
    bool ReadStep() override;
    void DeliverStep() override;

private:
    bool ReportProgress(int percent, bool shown);
    // Worker: the file to read for Request, and the size of its own
    // file's picture when that is another (see TLoadedImage::LevelSize).
    static QString ReadFrom(const TImageLoadRequest& request, QSize& levelSize);
    // Main thread: the roll's thumbnail loader to idle, and back.
    void LowerThumbLoader();
    void RestoreThumbLoader();

    TEvents FEvents;

    // Guarded by Lock.
    TImageLoadRequest FRequest;
    uint64_t FRequested = 0;  // requests made
    bool FDone = true;        // DoneEvent: nothing pending
    TLoadedImage FResult;
    uint64_t FResultGeneration = 0;
    std::condition_variable FDoneChanged;

    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FBusy{false};
    std::atomic<int> FPercent{0};
    int FReportedBand = 0;  // worker only

    // Main thread only.
    TRoll* FRoll = nullptr;
    TRoll* FLoweredRoll = nullptr;
    QPointer<QObject> FLoweredRollAlive;  // the roll's context: gone with the roll
    QThread::Priority FSavedPriority = QThread::NormalPriority;
};
