#pragma once
// The full view page: one photo large, loaded in the background with
// progress, fitted and centred, zoomed in animated steps through the roll's
// size folders and beyond, dragged, turned, and stepped through with
// previous/next, the keys and the filmstrip.
#include "viewer/fullviewkeys.h"
#include "viewer/imageloader.h"
#include <QPoint>
#include <memory>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class TLumoraFrm;
class TMedia;

class TFullViewPage : public QObject {
    Q_OBJECT
public:
    explicit TFullViewPage(TLumoraFrm& window);
    ~TFullViewPage() override;

    // The loader starts when the window is shown; it goes before the rolls.
    void CreateLoader();
    void FreeLoader();
    TImageLoaderThread* Loader() const { return FLoader.get(); }
    void SetRoll(TRoll* roll);

    // The photo shown (none before the first) and its display index.
    TMedia* CurrentPhoto() const { return FPhoto; }
    int CurrentIndex() const { return FIndex; }
    // The window closes: the shown photo's rotation is kept, nothing is shown.
    void Close();

    void ShowPhoto(int index);
    void Zoom(int delta);
    void Rotate(int degrees);
    void FitImage();
    void CentreImage();
    // Waits for a running load to finish (before printing the shown photo),
    // letting no user input through.
    bool WaitIdle();
    // The page's keys and Ctrl with the wheel; true when taken.
    bool KeyPress(QKeyEvent* event);
    bool Wheel(QWheelEvent* event);
    // The window was resized: fitted again, or only re-centred when zoomed.
    void PanelResized();
    // The window moved to a screen of another device pixel ratio: the photo
    // is read again for it and replaces the shown one where it is.
    void DensityChanged();
    // The warning line under the picture, cut to the bar's width with the
    // whole text in its tooltip; empty hides it.
    void SetWarning(const QString& text);
    QString Warning() const { return FWarning; }

    bool FitPending = false;
    bool LoadBusy = false;
    bool Zoomed = false;
    bool Panning = false;
    QPoint PanStart;
    // Deliveries so far (tests count them).
    int Deliveries = 0;
    // A load is under way, the one for the device pixels after a quick one
    // included.
    bool Loading() const { return FLoading; }
    // Frame times of the last zoom animation, in milliseconds (the benchmark reads them).
    std::vector<double> LastZoomFrameMs;
    // Pause between animation frames; 16 ms paces the 50 frames at about 0.8 s.
    int FrameMs = 16;

signals:
    // A picture (or the news that there is none) arrived.
    void Delivered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DeliverImage(TLoadedImage& image);
    // A photo newly shown may be read at a reduced scale that still covers
    // the panel; a zoom or a larger panel asks for the full size.
    // View: the view's size the load is for (empty: the photo fitted anew).
    // Quick: read as for a screen of ratio 1, to be followed by the load for
    // the screen's device pixels once it is shown. FollowUp: a load the page
    // asks for itself once a picture is shown, served without the pause that
    // gathers a burst of the user's requests.
    enum class TLoadKind { Plain, Quick, FollowUp };
    void RequestLoad(bool showProgress, bool fullSize, QSize view = QSize(), TLoadKind kind = TLoadKind::Plain);
    // The device pixel ratio of the panel's screen.
    qreal Ratio() const;
    // The size the view is placed by: the picture's size in its file, or,
    // for a picture read from a sharper size folder, the size of the
    // photo's picture at its level (turned as shown).
    QSize LevelSize() const;
    bool PictureReduced() const;
    // The picture is read at full size when it is reduced and stretched
    // beyond its own pixels; it replaces the shown one without a re-fit.
    void LoadFullSizeIfStretched(TLoadKind kind);
    void PlaceWarning();
    TFullViewKeyState KeyState() const;
    void Act(TFullViewAction action);
    void PanBy(int dx, int dy);
    void MouseDown(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseUp();

    TLumoraFrm& W;
    TMedia* FPhoto = nullptr;
    int FIndex = -1;
    QString FWarning;
    std::unique_ptr<TImageLoaderThread> FLoader;
    TWheelZoom FWheel;
    QSize FLevelSize;          // see LevelSize; empty for a picture of its own file
    qreal FLoadedRatio = 1.0;  // the ratio the shown picture was read for
    bool FLoading = false;     // a request has not delivered yet
    bool FQuickLoad = false;   // the newest request is a quick one
};
