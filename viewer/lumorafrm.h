#pragma once
// TLumoraFrm: the main window. It owns the roll list, the pages and the
// shared parts (header, command column, exit bar, timers); its handlers are
// thin and pass the work to the page classes beside it (roll page,
// thumbnails page). The widget tree comes from forms/mainform.
#include "collection/rolllist.h"
#include "forms/mainform.h"
#include "viewer/mainlogic.h"
#include <QHash>
#include <QWidget>
#include <memory>
#include <random>

class TFullViewPage;
class TRollPage;
class TThumbsPage;
class TIconContainer;
class TTask;

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
    TRoll* CurrentRoll = nullptr;
    int CurrentIndex = -1;
    TMedia* CurrentPhoto = nullptr;
    QString PictureDir;
    THvAnimatedImage* HoverButton = nullptr;
    THoverTracker HoverThumb{-9};
    THoverTracker HoverRoll{0};
    int LogoFrames = 0;
    bool MultiRoll = false;
    bool IdleDone = false;
    bool NoRolls = false;
    // The create handler found no picture folder and told the user; the
    // program ends without showing the window.
    bool Terminated = false;
    TIconContainer* ActiveContainer = nullptr;

    // Shows a roll's thumbnails (page 1); raises "Unable to find any images."
    // for none.
    void SelectRoll(TRoll* roll);
    void SetPage(TViewPage page);
    TViewPage Page() const;
    // Loads the skins of a start-up stage (1: the page shown first, 2: the rest).
    void SkinStage(int stage);
    TFullViewPage& FullViewPage() const { return *FFullView; }
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
    // The hover of the toolbar buttons, the quit caption and the brand logo.
    void AnimatedImage1MouseMove(THvAnimatedImage* sender);
    void MouseOverTimerTimer();
    void QuitCaptionMouseMove();
    void QuitButtonTimerTimer();
    void LogoTimerTimer();
    void FotavoLogoFrameChanged();

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
    // The user leaves the roll shown: its changed rotations are written.
    void LeaveCurrentRoll();
    void CloseWindow();

    std::unique_ptr<TRollPage> FRollPage;
    std::unique_ptr<TThumbsPage> FThumbsPage;
    std::unique_ptr<TFullViewPage> FFullView;
    QHash<THvAnimatedImage*, THalvornBmpButton*> FHeaders;
    std::mt19937 FRandom;
    bool FShown = false;
    bool FClosed = false;
};

// Runs Step; an error it raises is shown in the standard error box, and the
// rest of Step does not run (as for an error reaching the event loop).
void RunGuarded(const std::function<void()>& step);
