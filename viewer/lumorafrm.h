#pragma once
// TLumoraFrm: the main window. It owns the roll list, the pages and the
// shared parts (header, command column, exit bar, timers); its handlers are
// thin and pass the work to the page classes beside it (roll page,
// thumbnails page). The widget tree comes from forms/mainform.
#include "collection/rolllist.h"
#include "forms/mainform.h"
#include "viewer/mainlogic.h"
#include <QHash>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <random>

class TFullViewPage;
class TRollPage;
class TThumbsPage;
class TIconContainer;
class TTask;
class TMedia;

class TLumoraFrm : public QWidget {
    Q_OBJECT
public:
    // The create handler: customization, the picture folder, the roll list,
    // the toolbars, skin stage 1, branding. With no picture folder at all the
    // terminating error is shown and NoRolls is set.
    explicit TLumoraFrm(QWidget* parent = nullptr);
    // The destroy handler: loaders stopped, rolls freed.
    ~TLumoraFrm() override;

    TMainForm Form;
    TRollList RollList;
    QString PictureDir;
    THvAnimatedImage* HoverButton = nullptr;
    int LogoFrames = 0;
    bool MultiRoll = false;
    bool IdleDone = false;
    bool NoRolls = false;
    // The create handler found no picture folder and told the user; the
    // program ends without showing the window.
    bool Terminated = false;

    // The roll shown on the thumbnails page and in the full view; none
    // before the first is chosen and after the window closed.
    TRoll* CurrentRoll() const { return FCurrentRoll; }
    // Shows a roll's thumbnails (page 1); raises "Unable to find any images."
    // for none.
    void SelectRoll(TRoll* roll);
    void SetPage(TViewPage page);
    TViewPage Page() const;
    // Loads the skins of a start-up stage (1: the page shown first, 2: the rest).
    void SkinStage(int stage);
    TRollPage& RollPage() const { return *FRollPage; }
    TThumbsPage& ThumbsPage() const { return *FThumbsPage; }
    TFullViewPage& FullViewPage() const { return *FFullView; }
    // Waits for the full view's load to end, letting no user input through;
    // false when the window was closed meanwhile (it closes once the wait
    // is over) or the loader gave up.
    bool WaitForFullView();

    // What another copy of the program asks for (the single-instance
    // guard's handlers): the window raised, and the named roll opened.
    // While a modal loop runs (the slideshow, a message box, a wait of the
    // window's own) only the last request is kept, and served once it ends.
    void InstanceShowRequest();
    // False when Name names no roll.
    bool InstanceRollRequest(const QString& name);
    bool InstanceRequestHeld() const { return FHeldRequest.has_value(); }
    // How often a held request looks whether it can be served.
    static constexpr int HeldRequestCheckMs = 100;
    // The linked header of a toolbar button, or none.
    THalvornBmpButton* HeaderOf(THvAnimatedImage* button) const { return FHeaders.value(button); }

    // Click handlers.
    void RollContainerIconClick(int index);
    void ThumbContainerIconClick(int index);
    void FullViewContainerIconClick(int index);
    void NewRollButtonClick();
    void ThumbnailsButtonClick();
    void PrintButtonClick();
    void FullViewPrintButtonClick();
    void RunSlideShow();
    void ThumbViewInstallButtonClick();
    void ThumbViewUploadButtonClick();
    void PreviousButtonClick();
    void NextButtonClick();
    void ZoomInTestClick();
    void ZoomOutButtonClick();
    void RotateLeftButtonClick();
    void RotateRightButtonClick();
    void QuitButtonClick();

    // The thumbnail of Task's photo is ready (the roll calls this on the main thread).
    void ThumbnailReady(TTask* task);
    // The window is shown at another device pixel ratio than before.
    void DensityChanged();
    // The hover of the toolbar buttons, the quit caption and the brand logo.
    void AnimatedImage1MouseMove(THvAnimatedImage* sender);
    void MouseOverTimerTimer();
    void QuitCaptionMouseMove();
    void QuitButtonTimerTimer();
    void LogoTimerTimer();
    void FotavoLogoFrameChanged();
    // Whether the mouse is over Widget, its edges counted as inside.
    static bool CursorInside(const QWidget* widget);

signals:
    // The first-idle stage has run (tests wait for it).
    void IdleStageDone();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FirstIdle();
    void ViewNotebookPageChanged(int page);
    void ConnectHandlers();
    void PlaceToolbars();
    void LinkHeader(THvAnimatedImage* button, THalvornBmpButton* header);
    void RecomputeScrollRanges();
    void CentreProgressPanel();
    // A feature whose window is not built yet: says so.
    void NotAvailableYet(int featureText);
    // The user leaves the roll shown: its loader pauses and its changed
    // rotations are written.
    void LeaveCurrentRoll();
    void CloseWindow();
    // A component the disc did not hide is shown or hidden.
    static void ShowComponent(QWidget* component, bool visible);
    // Requests of other copies: served now when no modal loop runs, else held.
    struct THeldRequest {
        QString Roll;  // empty: the window raised only
    };
    void HoldOrServe(const THeldRequest& request);
    bool CanServeRequests() const;
    void ServeHeldRequest();
    // The window reports what it does on its standard output (LUMORA_REPORT).
    void ReportFirstPaint();

    std::unique_ptr<TRollPage> FRollPage;
    std::unique_ptr<TThumbsPage> FThumbsPage;
    std::unique_ptr<TFullViewPage> FFullView;
    QHash<THvAnimatedImage*, THalvornBmpButton*> FHeaders;
    std::mt19937 FRandom;
    TRoll* FCurrentRoll = nullptr;
    bool FShown = false;
    bool FClosed = false;
    // Waits of the window's own that let events run (WaitForFullView).
    int FWaiting = 0;
    bool FCloseDeferred = false;
    std::optional<THeldRequest> FHeldRequest;
    QTimer FHeldRequestTimer;
};

// Runs Step; an error it raises is shown in the standard error box, and the
// rest of Step does not run (as for an error reaching the event loop).
void RunGuarded(const std::function<void()>& step);

// What the sharing buttons do. The sharing features sit above the viewer
// and put their handlers here at start; a button whose handler is not set
// says its feature is not available yet.
struct TSharingHandlers {
    // The thumbnails page's print button: the roll's photos in display order.
    std::function<void(TLumoraFrm& window, const QStringList& files)> PrintIndex;
    // The full view's print button, once its load has ended: the photo shown.
    std::function<void(TLumoraFrm& window, TMedia* photo)> PrintPhoto;
    // The thumbnails page's install button: the roll shown.
    std::function<void(TLumoraFrm& window, TRoll* roll)> Install;
    // The thumbnails page's upload button: the roll shown.
    std::function<void(TLumoraFrm& window, TRoll* roll)> Upload;
};
void SetSharingHandlers(TSharingHandlers handlers);
const TSharingHandlers& SharingHandlers();
