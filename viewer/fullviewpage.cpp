#include "viewer/fullviewpage.h"
#include "collection/roll.h"
#include "imaging/animatedimage.h"
#include "imaging/hv3dprogressbar.h"
#include "imaging/smoothlabel3d.h"
#include "shell/customize.h"
#include "shell/tracelog.h"
#include "viewer/fullviewgeometry.h"
#include "viewer/fullviewimage.h"
#include "viewer/fullviewtext.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <cmath>

TFullViewPage::TFullViewPage(TLumoraFrm& window) : W(window) {
    TMainForm& f = W.Form;
    for (QObject* watched : {static_cast<QObject*>(f.FullView), static_cast<QObject*>(f.FullViewPanel),
                             static_cast<QObject*>(f.FullViewContainer), static_cast<QObject*>(f.FullViewContainer->viewport()),
                             static_cast<QObject*>(f.WarningLabel)})
        watched->installEventFilter(this);
    f.FullViewPanel->setFocusPolicy(Qt::StrongFocus);
}

TFullViewPage::~TFullViewPage() = default;

void TFullViewPage::CreateLoader() {
    TMainForm& f = W.Form;
    TImageLoaderThread::TEvents events;
    events.OnProgressShow = [&f](int index) {
        f.LoadProgressBar->SetProgress(0);
        f.ProgressLabel->setText(LoadingImageText(index));
        f.ProgressPanel->show();
    };
    events.OnProgress = [&f](int percent) { f.LoadProgressBar->SetProgress(std::clamp(percent, 0, 100)); };
    events.OnProgressHide = [&f] {
        f.ProgressPanel->hide();
        f.ProgressLabel->clear();
    };
    events.OnDeliver = [this](TLoadedImage& image) { DeliverImage(image); };
    FLoader = std::make_unique<TImageLoaderThread>(std::move(events));
    FLoader->SetRoll(W.CurrentRoll());
}

void TFullViewPage::FreeLoader() {
    if (!FLoader) return;
    FLoader->SetRoll(nullptr);
    FLoader.reset();
}

void TFullViewPage::SetRoll(TRoll* roll) {
    if (FLoader) FLoader->SetRoll(roll);
}

void TFullViewPage::Close() {
    if (FPhoto) FPhoto->StoreRotation();
    FreeLoader();
    FLoading = FQuickLoad = false;
    FPhoto = nullptr;
    FIndex = -1;
}

// ---- showing a photo ---------------------------------------------------------

void TFullViewPage::ShowPhoto(int index) {
    TRoll* roll = W.CurrentRoll();
    if (!roll || index < 0 || index >= roll->Count()) return;
    TMainForm& f = W.Form;
    FitPending = true;
    Zoomed = false;
    TMedia* old = FPhoto;
    FPhoto = roll->Items(index);
    FIndex = index;
    f.ZoomInButton->SetEnabled(true);
    f.ZoomOutButton->SetEnabled(true);
    if (old) {
        old->ResetZoom();
        old->StoreRotation();
    }
    f.PreviousButton->SetEnabled(index != 0);
    f.NextButton->SetEnabled(index != roll->Count() - 1);
    if (W.Page() != TViewPage::FullView) {
        W.SetPage(TViewPage::FullView);
        // Shown again when the picture arrives.
        f.FullViewPanel->hide();
    }
    f.ItemIndexLabel->SetCaption(ItemIndexText(roll, index));
    SetWarning(QString());
    // On a screen of a higher density the photo shows first as it would at
    // 1x, which is quick, and the picture read for the device pixels
    // replaces it where it is when it arrives.
    RequestLoad(true, false, QSize(), Ratio() > 1.0 ? TLoadKind::Quick : TLoadKind::Plain);
    f.FullViewPanel->setFocus();
}

void TFullViewPage::RequestLoad(bool showProgress, bool fullSize, QSize view, TLoadKind kind) {
    TMedia* photo = FPhoto;
    if (!photo || !FLoader) return;
    // Only the newest request delivers; it says what the delivery is.
    FLoading = true;
    FQuickLoad = kind == TLoadKind::Quick;
    // A fitted picture is never larger than the panel, so a short side as
    // long as the panel's shorter side covers it at any aspect; counted in
    // the screen's device pixels (in logical pixels for a quick load).
    const QSize panel = W.Form.FullViewPanel->size();
    const qreal ratio = FQuickLoad ? 1.0 : Ratio();
    const int minShortSide = fullSize ? 0 : std::max(0, int(std::lround(std::min(panel.width(), panel.height()) * ratio)));
    TImageLoadRequest request{photo->FullPath(), FIndex, showProgress, photo->Rotation, minShortSide};
    request.AtOnce = kind == TLoadKind::FollowUp;
    if (ratio > 1.0) {
        request.Ratio = ratio;
        request.Sharper = photo->SharperPaths();
        request.Panel = panel;
        request.View = view;
    }
    FLoader->Load(request);
}

qreal TFullViewPage::Ratio() const { return W.Form.FullViewPanel->devicePixelRatioF(); }

QSize TFullViewPage::LevelSize() const {
    return FLevelSize.isEmpty() ? W.Form.FullView->Picture().SourceSize() : FLevelSize;
}

bool TFullViewPage::PictureReduced() const {
    const TIEBitmapGraphic& picture = W.Form.FullView->Picture();
    return !picture.Empty() && picture.SourceSize() != QSize(picture.Width(), picture.Height());
}

void TFullViewPage::LoadFullSizeIfStretched(TLoadKind kind) {
    const TFullViewImage& view = *W.Form.FullView;
    if (!PictureReduced()) return;
    const qreal ratio = Ratio();
    if (view.width() * ratio <= view.Picture().Width() && view.height() * ratio <= view.Picture().Height()) return;
    RequestLoad(false, true, view.size(), kind);
}

void TFullViewPage::DensityChanged() {
    if (!FPhoto || W.Form.FullView->Picture().Empty() || Ratio() == FLoadedRatio) return;
    // The picture of the new density replaces the shown one where it is.
    RequestLoad(false, Zoomed, Zoomed ? W.Form.FullView->size() : QSize());
}

void TFullViewPage::DeliverImage(TLoadedImage& image) {
    TMainForm& f = W.Form;
    // A zoom animation keeps its picture until its last frame.
    while (LoadBusy) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(1);
    }
    ++Deliveries;
    const bool quick = FQuickLoad;
    FLoading = false;
    FQuickLoad = false;
    // A picture that arrives after the user left the full view (a load the
    // page could not call off in time) is not shown: the page's caption and
    // panels belong to the page shown.
    if (W.Page() != TViewPage::FullView) {
        emit Delivered();
        return;
    }
    // The filmstrip first: its icons are repainted at once, and that paint
    // must not take the new picture with it only to paint it again below.
    if (FIndex >= 0 && FIndex < f.FullViewContainer->IconCount()) {
        f.FullViewContainer->Selector().SelectOnly(FIndex);
        f.FullViewContainer->Selector().Notify();
        f.FullViewContainer->ScrollIntoView(FIndex);
    }
    TMedia* photo = FPhoto;
    const bool arrived = image.Bitmap && photo;
    if (arrived) {
        // The photo may have been turned while it loaded.
        const int turn = (photo->Rotation - image.Rotation) % 360;
        if (turn != 0) {
            try {
                image.Bitmap->Rotate(turn);
            } catch (const EError& e) {
                TraceLog::WarningMsg(QStringLiteral("Photo shown unturned: ") + e.Message());
            }
        }
        f.FullView->Picture().SetBitmap(std::move(image.Bitmap));
        FLevelSize = turn % 180 != 0 ? image.LevelSize.transposed() : image.LevelSize;
        FLoadedRatio = quick ? 1.0 : Ratio();
    }
    if (FitPending) {
        FitPending = false;
        FitImage();
        if (quick && arrived)
            RequestLoad(false, false, QSize(), TLoadKind::FollowUp);  // the picture for the device pixels
        else
            LoadFullSizeIfStretched(TLoadKind::FollowUp);
    }
    // The quick picture is there for a moment: painted fast, as the zoom's
    // frames are; the sharp one that replaces it smoothly.
    f.FullView->SetQuality(quick && arrived ? TIEBitmapGraphic::TQuality::Fast : TIEBitmapGraphic::TQuality::Smooth);
    if (photo) W.setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + photo->FullPath());
    SetWarning(image.Warning);
    f.FullView->update();
    f.FullViewPanel->show();
    emit Delivered();
}

// ---- placing -------------------------------------------------------------------

void TFullViewPage::FitImage() {
    TMainForm& f = W.Form;
    Zoomed = false;
    // Placed by the size in the file, also when the picture was read reduced
    // or from a sharper size folder for a screen of a higher density.
    const QSize image = LevelSize();
    const QRect placed = TFullViewGeometry::FitImage(image, f.FullViewPanel->size());
    if (FPhoto) FPhoto->DisplaySize = placed.size();
    f.FullView->setGeometry(placed);
}

void TFullViewPage::CentreImage() {
    TMainForm& f = W.Form;
    f.FullView->setGeometry(TFullViewGeometry::CentreImage(f.FullView->size(), f.FullViewPanel->size()));
}

void TFullViewPage::PanelResized() {
    if (W.Form.FullView->Picture().Empty()) return;
    if (Zoomed) {
        CentreImage();
    } else {
        FitImage();
        LoadFullSizeIfStretched(TLoadKind::Plain);
    }
}

void TFullViewPage::SetWarning(const QString& text) {
    FWarning = text;
    W.Form.WarningLabel->setToolTip(text);
    W.Form.WarningLabel->setVisible(!text.isEmpty());
    PlaceWarning();
}

void TFullViewPage::PlaceWarning() {
    QLabel* label = W.Form.WarningLabel;
    label->setText(label->fontMetrics().elidedText(FWarning, Qt::ElideRight, label->width()));
}

// ---- zoom and turn -------------------------------------------------------------

void TFullViewPage::Zoom(int delta) {
    TMedia* photo = FPhoto;
    TMainForm& f = W.Form;
    if (!photo) return;
    Zoomed = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LoadBusy = true;
    const TZoomPlan plan = PlanZoom(*photo, delta, f.FullView->geometry(), f.FullViewPanel->size());
    f.ZoomInButton->SetEnabled(plan.CanZoomIn);
    f.ZoomOutButton->SetEnabled(plan.CanZoomOut);
    // The sharper copy loads in the background and replaces the stretched
    // picture when it arrives, in the bounds the animation leaves.
    // A picture read reduced is read at full size for any zoom.
    if (plan.Reload || PictureReduced()) RequestLoad(false, true, plan.To.size());
    // Every frame is painted before the next one starts, pixel by pixel so
    // that each keeps pace; the last is then drawn smoothly.
    LastZoomFrameMs.clear();
    f.FullView->SetQuality(TIEBitmapGraphic::TQuality::Fast);
    QElapsedTimer clock;
    clock.start();
    for (int k = 1; k <= TFullViewGeometry::ZoomFrameCount; ++k) {
        const qint64 frameStart = clock.nsecsElapsed();
        f.FullView->setGeometry(plan.Frame(k));
        f.FullView->repaint();
        LastZoomFrameMs.push_back((clock.nsecsElapsed() - frameStart) / 1e6);
        const qint64 due = qint64(k) * FrameMs * 1000000;
        if (clock.nsecsElapsed() < due) QThread::usleep(quint64((due - clock.nsecsElapsed()) / 1000));
    }
    f.FullView->SetQuality(TIEBitmapGraphic::TQuality::Smooth);
    f.FullView->repaint();
    LoadBusy = false;
    QApplication::restoreOverrideCursor();
}

void TFullViewPage::Rotate(int degrees) {
    TMedia* photo = FPhoto;
    TMainForm& f = W.Form;
    if (!photo) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (TIEBitmap* bitmap = f.FullView->Picture().Bitmap()) {
        try {
            bitmap->Rotate(degrees);
            f.FullView->Picture().Changed();
            FLevelSize.transpose();
        } catch (const EError& e) {
            TraceLog::WarningMsg(QStringLiteral("Photo not turned: ") + e.Message());
        }
    }
    photo->Rotate(degrees);
    f.FullView->setGeometry(TFullViewGeometry::Rotated(f.FullView->geometry(), f.FullViewPanel->size()));
    f.FullView->repaint();
    if (FIndex >= 0 && FIndex < f.FullViewContainer->IconCount())
        f.FullViewContainer->InvalidateIcon(FIndex, true);
    QApplication::restoreOverrideCursor();
}

bool TFullViewPage::WaitIdle() { return !FLoader || FLoader->WaitIdle(); }

// ---- keys, wheel and mouse --------------------------------------------------------

TFullViewKeyState TFullViewPage::KeyState() const {
    const TMainForm& f = W.Form;
    TFullViewKeyState state;
    state.PreviousEnabled = f.PreviousButton->Enabled();
    state.NextEnabled = f.NextButton->Enabled();
    state.ZoomInEnabled = f.ZoomInButton->Enabled();
    state.ZoomOutEnabled = f.ZoomOutButton->Enabled();
    state.PictureLarger = TFullViewGeometry::LargerThanPanel(f.FullView->size(), f.FullViewPanel->size());
    return state;
}

void TFullViewPage::Act(TFullViewAction action) {
    TRoll* roll = W.CurrentRoll();
    if (!roll) return;
    const QSize step = TFullViewGeometry::KeyPanStep(W.Form.FullViewPanel->size());
    switch (action) {
    case TFullViewAction::Previous: W.PreviousButtonClick(); break;
    case TFullViewAction::Next: W.NextButtonClick(); break;
    case TFullViewAction::First: ShowPhoto(0); break;
    case TFullViewAction::Last: ShowPhoto(roll->Count() - 1); break;
    case TFullViewAction::ZoomIn: Zoom(+1); break;
    case TFullViewAction::ZoomOut: Zoom(-1); break;
    case TFullViewAction::PanLeft: PanBy(step.width(), 0); break;
    case TFullViewAction::PanRight: PanBy(-step.width(), 0); break;
    case TFullViewAction::PanUp: PanBy(0, step.height()); break;
    case TFullViewAction::PanDown: PanBy(0, -step.height()); break;
    case TFullViewAction::BackToThumbnails: W.ThumbnailsButtonClick(); break;
    case TFullViewAction::None: break;
    }
}

void TFullViewPage::PanBy(int dx, int dy) {
    TMainForm& f = W.Form;
    f.FullView->setGeometry(TFullViewGeometry::PanBy(f.FullView->geometry(), f.FullViewPanel->size(), dx, dy));
}

bool TFullViewPage::KeyPress(QKeyEvent* event) {
    if (W.Page() != TViewPage::FullView) return false;
    const TFullViewAction action = FullViewKeyAction(event->key(), event->modifiers(), KeyState());
    if (action == TFullViewAction::None) return false;
    RunGuarded([&] { Act(action); });
    return true;
}

bool TFullViewPage::Wheel(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) return false;
    const TFullViewAction action = FWheel.Wheel(event->angleDelta().y(), event->modifiers(), KeyState());
    if (action != TFullViewAction::None) RunGuarded([&] { Act(action); });
    return true;
}

void TFullViewPage::MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
    W.Form.FullView->setCursor(Qt::ClosedHandCursor);
    Panning = true;
    PanStart = event->position().toPoint();
}

void TFullViewPage::MouseMove(QMouseEvent* event) {
    if (!Panning) return;
    if (!(event->buttons() & (Qt::LeftButton | Qt::RightButton))) {
        MouseUp();
        return;
    }
    TMainForm& f = W.Form;
    f.FullView->setGeometry(TFullViewGeometry::PanMove(f.FullView->geometry(), event->position().toPoint(), PanStart));
}

void TFullViewPage::MouseUp() {
    TMainForm& f = W.Form;
    Panning = false;
    f.FullView->setCursor(Qt::OpenHandCursor);
    f.FullView->setGeometry(TFullViewGeometry::PanRelease(f.FullView->geometry(), f.FullViewPanel->size()));
}

bool TFullViewPage::eventFilter(QObject* watched, QEvent* event) {
    TMainForm& f = W.Form;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (KeyPress(static_cast<QKeyEvent*>(event))) return true;
        break;
    case QEvent::Wheel:
        if ((watched == f.FullView || watched == f.FullViewPanel) && Wheel(static_cast<QWheelEvent*>(event)))
            return true;
        break;
    case QEvent::MouseButtonPress:
        if (watched == f.FullView) MouseDown(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseMove:
        if (watched == f.FullView) MouseMove(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        if (watched == f.FullView && Panning) MouseUp();
        break;
    case QEvent::Resize:
        if (watched == f.FullViewPanel) PanelResized();
        if (watched == f.WarningLabel) PlaceWarning();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
