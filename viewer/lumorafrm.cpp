#include "viewer/lumorafrm.h"
#include "collection/roll.h"
#include "collection/rotation.h"
#include "imaging/animatedimage.h"
#include "imaging/ilib.h"
#include "imaging/smoothfontmanager.h"
#include "imaging/smoothlabel3d.h"
#include "platform/errors.h"
#include "shell/application.h"
#include "shell/broadcast.h"
#include "shell/foreground.h"
#include "shell/instanceguard.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "viewer/densitywatch.h"
#include "viewer/displayform.h"
#include "viewer/fullviewpage.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/rollpage.h"
#include "viewer/thumbspage.h"
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

// With LUMORA_REPORT set, the window says on its standard output what it
// does (the start-up benchmark and the tests of separate copies read it).
void Report(const QString& line) {
    static const bool on = qEnvironmentVariableIsSet("LUMORA_REPORT");
    if (!on) return;
    std::fputs((line + '\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

namespace {

TSharingHandlers& SharingSlot() {
    static TSharingHandlers handlers;
    return handlers;
}

} // namespace

void SetSharingHandlers(TSharingHandlers handlers) { SharingSlot() = std::move(handlers); }
const TSharingHandlers& SharingHandlers() { return SharingSlot(); }

void RunGuarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const EError& e) {
        TLumoraApplication::ShowUnhandledError(e.Message());
    }
}

bool TLumoraFrm::CursorInside(const QWidget* widget) {
    const QPoint at = widget->mapFromGlobal(QCursor::pos());
    return at.x() >= 0 && at.y() >= 0 && at.x() <= widget->width() && at.y() <= widget->height();
}

void TLumoraFrm::ShowComponent(QWidget* component, bool visible) {
    component->setVisible(visible && !HiddenByCustomization(component));
}

namespace {

// Skinning a still picture, with its twin for screens of a ratio above 1:
// a missing one leaves the button without it.
void SkinStill(THalvornBmpButton* button, const char* group, const char* name) {
    const TSkinPicture picture = GetSkinPicture(QString::fromLatin1(group), QString::fromLatin1(name));
    button->SetPictureUp(picture.Image, picture.Sharp);
}

// A header or the main-menu button: up, and the pressed picture also lit.
void SkinPressable(THalvornBmpButton* button, const char* up, const char* pressed) {
    SkinStill(button, XLumResGroup, up);
    const TSkinPicture down = GetSkinPicture(XLumResGroup, QString::fromLatin1(pressed));
    button->SetPictureDown(down.Image, down.Sharp);
    button->SetPictureHighlight(down.Image, down.Sharp);
}

} // namespace

TLumoraFrm::TLumoraFrm(QWidget* parent) : QWidget(parent), FRandom(std::random_device{}()) {
    BuildMainForm(this, Form);
    FRollPage = std::make_unique<TRollPage>(*this);
    FThumbsPage = std::make_unique<TThumbsPage>(*this);
    FFullView = std::make_unique<TFullViewPage>(*this);
    SetMessageBoxMainWindow(this);
    // The final save of the rotations reports a failure here, once.
    SetRotationSaveFailureReport([](const QString& text) {
        WarningBox(ResString(TStr::RotationsNotSaved), {text});
    });
    ConnectHandlers();
    // A held request of another copy is looked at until it can be served.
    FHeldRequestTimer.setInterval(HeldRequestCheckMs);
    connect(&FHeldRequestTimer, &QTimer::timeout, this, &TLumoraFrm::ServeHeldRequest);
    RunGuarded([this] { FormCreate(); });
    // Another copy started by the disc's viewer raises this window and may
    // ask for a roll; nothing comes when there is no guard.
    RegisterInstanceHandlers({this, [this] { InstanceShowRequest(); },
                              [this](const QString& name) { return InstanceRollRequest(name); }});
    new TDensityWatch(this, [this] { DensityChanged(); });
}

TLumoraFrm::~TLumoraFrm() {
    BroadcastTakeFocus();
    // The full-image loader goes first: it may be using a roll.
    FFullView->FreeLoader();
    // Each roll stops its loader and writes its rotations; a failure was
    // already reported by the close handler when it could be.
    RollList.Clear();
    SetRotationSaveFailureReport(nullptr);
    SetMessageBoxMainWindow(nullptr);
}

void TLumoraFrm::FormCreate() {
    TraceScope trace("TLumoraFrm.FormCreate");
    TAppState& state = AppState();
    IdleDone = false;
    NoRolls = false;
    FixupForm(this);
    setWindowTitle(ApplicationTitle());
    // The glyph cache beside the program (a per-user folder when that is read-only).
    Form.SmoothFontManager->SetDiskCacheDirectory(state.AppDir + QStringLiteral("FontCache3D"));
    Form.FullViewPanel->setCursor(Qt::OpenHandCursor);
    if (state.InstanceMode) {
        SetSubstitution(QStringLiteral("%Fotavo%"), ResolveDiscAppName(state));
        Form.QuitCaption->SetCaption(ResString(TStr::ReturnToFotavo) + QStringLiteral("        "));
        ShowComponent(Form.MainMenuBtn, true);
    }
    Form.QuitCaption->resize(Form.QuitCaption->TextSize());
    // The icon margin's write rule would pull the top margin up to it; the
    // film cans keep the top margin the page is designed with.
    Form.RollContainer->SetIconMargin(MainFormMetrics::RollIconMargin);
    Form.RollContainer->SetIconTopMargin(MainFormMetrics::RollTopMargin);
    Form.ToolBarNoteBook->setCurrentIndex(0);

    const TPictureFolder folder = ResolvePictureFolder(state);
    PictureDir = state.PictureDir;
    OpenRotationFile(QString());
    if (folder == TPictureFolder::NotFound) {
        NoRolls = true;
        Terminated = true;
        ErrorBox(ResString(TStr::NoImagesTerminating));
    } else {
        const TRollScan scan = BuildRollList(RollList, state, [this](TTask* task) { ThumbnailReady(task); });
        NoRolls = scan.NoRolls;
        MultiRoll = scan.MultiRoll;
        FCurrentRoll = scan.CurrentRoll;
    }
    PlaceToolbars();
    SkinStage(1);
    const TBranding branding = LoadBranding();
    ApplyBrandLogo(*Form.FotavoLogo, branding);
    if (!branding.Extra.isNull()) {
        Form.ExtraBranding->SetPictureUp(branding.Extra);
        ShowComponent(Form.ExtraBranding, true);
    }
    LinkHeader(Form.PreviousButton, Form.GotoHeader);
    LinkHeader(Form.NextButton, Form.GotoHeader);
    LinkHeader(Form.ZoomInButton, Form.ZoomHeader);
    LinkHeader(Form.ZoomOutButton, Form.ZoomHeader);
    LinkHeader(Form.RotateLeftButton, Form.RotateHeader);
    LinkHeader(Form.RotateRightButton, Form.RotateHeader);
    LayoutMainForm(Form, size());
}

void TLumoraFrm::PlaceToolbars() {
    const TAppState& state = AppState();
    const bool install = state.FotavoLayout && !state.InstalledCopy && !state.InstallButtonHidden;
    ShowComponent(Form.InstallButton, install);
    ShowComponent(Form.ThumbViewInstallButton, install);
    ShowComponent(Form.ThumbViewRollButton, MultiRoll);
    // The visible buttons close up from the top, so no gap remains.
    const QList<int> places = ToolBarSlots();
    const QList<QWidget*> rollBar = {Form.ViewRollDisabledImage, Form.PrintDisabledImage, Form.SlideshowDisabledImage,
                                     Form.InstallButton, Form.UploadDisabled};
    const QList<QWidget*> thumbBar = {Form.ThumbViewRollButton, Form.ThumbViewPrintButton,
                                      Form.ThumbViewSlideshowButton, Form.ThumbViewInstallButton,
                                      Form.ThumbViewUploadButton};
    // The roll page keeps its stills where they are but for the install move-up.
    const auto shown = [](const QList<QWidget*>& bar) {
        QList<bool> visible;
        for (const QWidget* button : bar) visible << !button->isHidden();
        return visible;
    };
    QList<bool> rollShown = shown(rollBar);
    rollShown[0] = rollShown[1] = rollShown[2] = true;
    const QList<int> rollTops = StackVisibleButtons(places, rollShown);
    const QList<int> thumbTops = StackVisibleButtons(places, shown(thumbBar));
    for (int i = 0; i < 5; ++i) {
        rollBar[i]->move(rollBar[i]->x(), rollTops[i]);
        thumbBar[i]->move(thumbBar[i]->x(), thumbTops[i]);
    }
}

void TLumoraFrm::SkinStage(int stage) {
    TraceScope trace("TLumoraFrm.SkinStage");
    const bool rollPageFirst = AppState().RollArgument.isEmpty() && MultiRoll;
    const auto rollPage = [this] {
        SkinStill(Form.ViewRollDisabledImage, XLumResGroup, "0001");
        SkinStill(Form.PrintDisabledImage, XLumResGroup, "0002");
        SkinStill(Form.SlideshowDisabledImage, XLumResGroup, "0003");
        SkinStill(Form.InstallButton, XLumResGroup, "0004");
        SkinStill(Form.UploadDisabled, XLumResGroup, "0006");
    };
    const auto thumbsPage = [this] {
        SkinAnimatedButton(*Form.ThumbViewRollButton, "0031", "0011");
        SkinAnimatedButton(*Form.ThumbViewPrintButton, "0032", "0012");
        SkinAnimatedButton(*Form.ThumbViewSlideshowButton, "0033", "0013");
        SkinAnimatedButton(*Form.ThumbViewInstallButton, "0034", "0014");
        SkinAnimatedButton(*Form.ThumbViewUploadButton, "0036", "0016");
    };
    // A missing skin file leaves the buttons bare; the window still works.
    const auto guarded = [](const std::function<void()>& load) {
        try {
            load();
        } catch (const EError& e) {
            TraceLog::WarningMsg(QStringLiteral("Skin not loaded: ") + e.Message());
        }
    };
    if (stage == 1) {
        guarded([this] {
            SkinStill(Form.ToolBarLeftImage, CustomGroup, "0094");
            SkinStill(Form.LumoraImage, CustomGroup, "0095");
            const TSkinPicture logo = GetAnimatedSkinPicture(CustomGroup, "0091");
            if (!logo.Image.isNull()) {
                Form.FotavoLogo->SetGlyph(logo.Image, logo.Sharp);
                Form.FotavoLogo->SetNumGlyphs(std::max(logo.Frames, 1));
            }
        });
        if (AppState().InstanceMode) guarded([this] { SkinPressable(Form.MainMenuBtn, "0096", "0097"); });
        guarded(rollPageFirst ? std::function<void()>(rollPage) : std::function<void()>(thumbsPage));
        return;
    }
    if (MultiRoll) guarded(rollPageFirst ? std::function<void()>(thumbsPage) : std::function<void()>(rollPage));
    guarded([this] {
        SkinAnimatedButton(*Form.HvThumbButton, "0080", "0070");
        SkinAnimatedButton(*Form.FullViewPrintButton, "0032", "0012");
        SkinAnimatedButton(*Form.PreviousButton, "0081", "0071", "0061");
        SkinAnimatedButton(*Form.NextButton, "0082", "0072", "0062");
        SkinAnimatedButton(*Form.ZoomInButton, "0083", "0073", "0063");
        SkinAnimatedButton(*Form.ZoomOutButton, "0084", "0074", "0064");
        SkinAnimatedButton(*Form.RotateLeftButton, "0085", "0075", "0065");
        SkinAnimatedButton(*Form.RotateRightButton, "0086", "0076", "0066");
        SkinPressable(Form.GotoHeader, "0041", "0051");
        SkinPressable(Form.ZoomHeader, "0042", "0052");
        SkinPressable(Form.RotateHeader, "0043", "0053");
    });
    CloseSkin();
}

void TLumoraFrm::LinkHeader(THvAnimatedImage* button, THalvornBmpButton* header) { FHeaders.insert(button, header); }

void TLumoraFrm::ConnectHandlers() {
    TMainForm& f = Form;
    connect(f.ViewNotebook, &QStackedWidget::currentChanged, this, &TLumoraFrm::ViewNotebookPageChanged);
    connect(f.RollContainer, &TIconContainer::OnIconDraw, this,
            [this](TIconContainer*, int index, QPainter* canvas, const QRect& rect) {
                FRollPage->RollContainerIconDraw(index, *canvas, rect);
            });
    connect(f.RollContainer, &TIconContainer::OnIconClick, this,
            [this](TIconContainer*, int index, int, int) { RunGuarded([&] { RollContainerIconClick(index); }); });
    connect(f.RollContainer, &TIconContainer::OnMouseMove, this,
            [this](TIconContainer*, QMouseEvent* event) { FRollPage->RollContainerMouseMove(event); });
    connect(f.RollContainer, &TIconContainer::OnResize, this, [this](TIconContainer*) { FRollPage->RollContainerResize(); });
    for (TIconContainer* c : {f.ThumbContainer, f.FullViewContainer}) {
        connect(c, &TIconContainer::OnIconDraw, this,
                [this](TIconContainer* sender, int index, QPainter* canvas, const QRect& rect) {
                    FThumbsPage->ThumbContainerIconDraw(sender, index, *canvas, rect);
                });
        connect(c, &TIconContainer::OnMouseMove, this,
                [this](TIconContainer*, QMouseEvent* event) { FThumbsPage->ThumbContainerMouseMove(event); });
        connect(c, &TIconContainer::OnResize, this,
                [](TIconContainer* sender) { sender->SetVertScrollRange(sender->ContentHeight()); });
    }
    connect(f.ThumbContainer, &TIconContainer::OnIconClick, this,
            [this](TIconContainer*, int index, int, int) { RunGuarded([&] { ThumbContainerIconClick(index); }); });
    connect(f.FullViewContainer, &TIconContainer::OnIconClick, this,
            [this](TIconContainer*, int index, int, int) { RunGuarded([&] { FullViewContainerIconClick(index); }); });
    connect(f.ThumbHilightTimer, &QTimer::timeout, this, [this] { FThumbsPage->ThumbHilightTimerTimer(); });
    connect(f.MouseOverTimer, &QTimer::timeout, this, &TLumoraFrm::MouseOverTimerTimer);
    connect(f.QuitButtonTimer, &QTimer::timeout, this, &TLumoraFrm::QuitButtonTimerTimer);
    connect(f.LogoTimer, &QTimer::timeout, this, &TLumoraFrm::LogoTimerTimer);
    connect(f.FotavoLogo, &THvImageControl::OnFrameChanged, this, &TLumoraFrm::FotavoLogoFrameChanged);
    connect(f.FotavoLogo, &THvImageControl::OnMouseMove, this, [this] {
        if (!Form.FotavoLogo->Active()) LogoTimerTimer();
    });

    const auto click = [this](THvAnimatedImage* button, void (TLumoraFrm::*handler)()) {
        connect(button, &THvImageControl::OnClick, this, [this, button, handler] {
            if (button->Enabled()) RunGuarded([&] { (this->*handler)(); });
        });
        connect(button, &THvImageControl::OnMouseMove, this, [this, button] { AnimatedImage1MouseMove(button); });
    };
    click(f.ThumbViewRollButton, &TLumoraFrm::NewRollButtonClick);
    click(f.ThumbViewPrintButton, &TLumoraFrm::PrintButtonClick);
    click(f.ThumbViewSlideshowButton, &TLumoraFrm::RunSlideShow);
    click(f.ThumbViewInstallButton, &TLumoraFrm::ThumbViewInstallButtonClick);
    click(f.ThumbViewUploadButton, &TLumoraFrm::ThumbViewUploadButtonClick);
    click(f.HvThumbButton, &TLumoraFrm::ThumbnailsButtonClick);
    click(f.FullViewPrintButton, &TLumoraFrm::FullViewPrintButtonClick);
    click(f.PreviousButton, &TLumoraFrm::PreviousButtonClick);
    click(f.NextButton, &TLumoraFrm::NextButtonClick);
    click(f.ZoomInButton, &TLumoraFrm::ZoomInTestClick);
    click(f.ZoomOutButton, &TLumoraFrm::ZoomOutButtonClick);
    click(f.RotateLeftButton, &TLumoraFrm::RotateLeftButtonClick);
    click(f.RotateRightButton, &TLumoraFrm::RotateRightButtonClick);
    connect(f.QuitButton, &THalvornBmpButton::OnClick, this, &TLumoraFrm::QuitButtonClick);
    connect(f.MainMenuBtn, &THalvornBmpButton::OnClick, this, &TLumoraFrm::QuitButtonClick);
    f.QuitCaption->setMouseTracking(true);
    f.QuitCaption->installEventFilter(this);
}

bool TLumoraFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Form.QuitCaption) {
        if (event->type() == QEvent::MouseMove) QuitCaptionMouseMove();
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            QuitButtonClick();
    }
    return QWidget::eventFilter(watched, event);
}

void TLumoraFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (FShown) return;
    FShown = true;
    // Once the window is on screen, as its show handler runs after the show.
    QTimer::singleShot(0, this, [this] { RunGuarded([this] { FormShow(); }); });
}

void TLumoraFrm::ReportFirstPaint() {
    // Said once, for the page that comes up first: the roll page on a disc
    // of several rolls, the thumbnails of the one roll otherwise.
    auto* once = new QObject(this);
    for (TIconContainer* page : {Form.RollContainer, Form.ThumbContainer}) {
        connect(page, &TIconContainer::OnAfterPaint, once, [once] {
            if (once->property("said").toBool()) return;
            once->setProperty("said", true);
            Report(QStringLiteral("first page painted"));
            once->deleteLater();
        });
    }
}

void TLumoraFrm::FormShow() {
    TraceScope trace("TLumoraFrm.FormShow");
    BroadcastHideSplash();
    ReportFirstPaint();
    unsetCursor();
    if (NoRolls) {
        ErrorBox(ResString(TStr::NoImagesTerminating));
        CloseWindow();
        return;
    }
    CentreProgressPanel();
    FFullView->CreateLoader();
    SetPage(TViewPage::Rolls);
    ViewNotebookPageChanged(0);
    FRollPage->RollContainerResize();
    RecomputeScrollRanges();
    // The first-idle stage runs whatever else happens below.
    QTimer::singleShot(0, this, &TLumoraFrm::FirstIdle);
    if (!MultiRoll) SelectRoll(FCurrentRoll);
    const QString rollArgument = AppState().RollArgument;
    if (!rollArgument.isEmpty()) {
        QCoreApplication::processEvents();
        SelectRoll(RollList.FindRoll(rollArgument));
    }
}

void TLumoraFrm::FirstIdle() {
    if (IdleDone) return;
    IdleDone = true;
    SkinStage(2);
    emit IdleStageDone();
}

void TLumoraFrm::CloseWindow() {
    if (FClosed) return;
    close();
}

void TLumoraFrm::closeEvent(QCloseEvent* event) {
    // A wait below us on the stack still uses the loader and the rolls: the
    // window closes once it returns.
    if (FWaiting > 0) {
        FCloseDeferred = true;
        event->ignore();
        return;
    }
    if (!FClosed) {
        FClosed = true;
        FHeldRequestTimer.stop();
        FHeldRequest.reset();
        FFullView->Close();
        // Loaders stopped and rotations written while the window can still
        // own the box that tells of a failure.
        RollList.Clear();
        FCurrentRoll = nullptr;
    }
    event->accept();
}

bool TLumoraFrm::WaitForFullView() {
    ++FWaiting;
    const bool idle = FFullView->WaitIdle();
    --FWaiting;
    if (FCloseDeferred && FWaiting == 0) {
        FCloseDeferred = false;
        // After the caller has returned to the event loop.
        QTimer::singleShot(0, this, &TLumoraFrm::CloseWindow);
        return false;
    }
    return idle && !FClosed;
}

// ---- requests of other copies ------------------------------------------------

void TLumoraFrm::InstanceShowRequest() { HoldOrServe({}); }

bool TLumoraFrm::InstanceRollRequest(const QString& name) {
    if (!RollList.FindRoll(name)) return false;
    HoldOrServe({name});
    return true;
}

bool TLumoraFrm::CanServeRequests() const {
    // A dialog's exec, a message box, the slideshow: a modal widget up or an
    // event loop nested in the main one. The window's own waits count too.
    return !FClosed && FWaiting == 0 && !QApplication::activeModalWidget() && !QApplication::activePopupWidget() &&
           QThread::currentThread()->loopLevel() <= 1;
}

void TLumoraFrm::HoldOrServe(const THeldRequest& request) {
    FHeldRequest = request;
    ServeHeldRequest();
}

void TLumoraFrm::ServeHeldRequest() {
    if (!FHeldRequest) {
        FHeldRequestTimer.stop();
        return;
    }
    if (!CanServeRequests()) {
        if (!FClosed && !FHeldRequestTimer.isActive()) FHeldRequestTimer.start();
        return;
    }
    FHeldRequestTimer.stop();
    const THeldRequest request = *std::exchange(FHeldRequest, std::nullopt);
    BringToFront(this);
    Report(QStringLiteral("raised"));
    if (request.Roll.isEmpty()) return;
    // The roll list never changes while the program runs, but a name is
    // looked up again all the same.
    if (TRoll* roll = RollList.FindRoll(request.Roll)) RunGuarded([&] { SelectRoll(roll); });
}

void TLumoraFrm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutMainForm(Form, size());
    CentreProgressPanel();
    FRollPage->RollContainerResize();
}

void TLumoraFrm::CentreProgressPanel() {
    QWidget* panel = Form.ProgressPanel;
    panel->move((Form.BottomBar->width() - panel->width()) / 2, panel->y());
}

void TLumoraFrm::RecomputeScrollRanges() {
    Form.ThumbContainer->SetVertScrollRange(Form.ThumbContainer->ContentHeight());
    Form.FullViewContainer->SetVertScrollRange(Form.FullViewContainer->ContentHeight());
}

TViewPage TLumoraFrm::Page() const { return TViewPage(Form.ViewNotebook->currentIndex()); }

void TLumoraFrm::SetPage(TViewPage page) { Form.ViewNotebook->setCurrentIndex(int(page)); }

void TLumoraFrm::ViewNotebookPageChanged(int index) {
    const TViewPage page = TViewPage(index);
    Form.SectionLabel->SetCaption(SectionCaptionFor(page, FCurrentRoll ? FCurrentRoll->Name : QString(),
                                                    ResString(TStr::RollSelection), ResString(TStr::PhotoView)));
    Form.ToolBarNoteBook->setCurrentIndex(index);
    switch (page) {
    case TViewPage::Rolls:
        FThumbsPage->PageChanged(nullptr);
        setWindowTitle(ApplicationTitle());
        L_ReleaseSparePictureMemory();
        break;
    case TViewPage::Thumbs:
        FThumbsPage->PageChanged(Form.ThumbContainer);
        setWindowTitle(ApplicationTitle());
        L_ReleaseSparePictureMemory();
        break;
    case TViewPage::FullView:
        FThumbsPage->PageChanged(Form.FullViewContainer);
        CentreProgressPanel();
        break;
    }
    ShowComponent(Form.ItemIndexPanel, page == TViewPage::FullView);
}

void TLumoraFrm::SelectRoll(TRoll* roll) {
    if (!roll) throw EError(ResString(TStr::NoImages));
    FRollPage->ForgetHover();
    if (FCurrentRoll != roll) LeaveCurrentRoll();
    FCurrentRoll = roll;
    Report(QStringLiteral("roll ") + roll->Name);
    FFullView->SetRoll(roll);
    roll->SetThumbnailPixels(ThumbnailPixelsFor(devicePixelRatioF()));
    if (!roll->IsReady()) roll->Prepare();
    for (TIconContainer* c : {Form.ThumbContainer, Form.FullViewContainer}) {
        c->SetIconCount(roll->Count());
        c->SetVertScrollRange(c->ContentHeight());
    }
    SetPage(TViewPage::Thumbs);
    // The page may have been shown already for another roll.
    ViewNotebookPageChanged(int(TViewPage::Thumbs));
    Form.ThumbContainer->viewport()->update();
    roll->StartThumbLoader();
}

void TLumoraFrm::DensityChanged() {
    if (FClosed) return;
    // A skin read while every screen was of ratio 1 has no twins yet.
    if (devicePixelRatioF() > 1.0 && Form.ThumbViewPrintButton->SharpGlyph().isNull()) {
        SkinStage(1);
        if (IdleDone) SkinStage(2);
    }
    // Skin pictures and captions choose their density as they paint; the
    // open roll's thumbnails and the photo shown are read again for it.
    if (FCurrentRoll && Page() != TViewPage::Rolls) {
        FCurrentRoll->SetThumbnailPixels(ThumbnailPixelsFor(devicePixelRatioF()));
        if (!FCurrentRoll->IsReady()) FCurrentRoll->Prepare();
        FCurrentRoll->StartThumbLoader();
    }
    FFullView->DensityChanged();
    update();
}

void TLumoraFrm::ThumbnailReady(TTask* task) {
    if (!task || !FCurrentRoll || task->Media->Roll != FCurrentRoll) return;
    const int index = task->Index;
    if (index >= Form.ThumbContainer->IconCount()) return;
    if (Page() == TViewPage::Thumbs) Form.ThumbContainer->InvalidateIcon(index, false);
    else if (Page() == TViewPage::FullView) Form.FullViewContainer->InvalidateIcon(index, false);
}

void TLumoraFrm::LeaveCurrentRoll() {
    if (!FCurrentRoll) return;
    FCurrentRoll->PauseThumbLoader();
    QString reason;
    // A failure here is tried again, and reported, when the program closes.
    FCurrentRoll->SaveRotationsIfChanged(&reason);
}

// ---- clicks ------------------------------------------------------------------

void TLumoraFrm::RollContainerIconClick(int index) {
    if (index < 0 || index >= RollList.Count()) return;
    SelectRoll(RollList.Items(index));
}

void TLumoraFrm::ThumbContainerIconClick(int index) {
    if (index > -1) FFullView->ShowPhoto(index);
}

void TLumoraFrm::FullViewContainerIconClick(int index) {
    if (index < 0) return;
    Form.FullViewContainer->Selector().SelectOnly(index);
    Form.FullViewContainer->Selector().Notify();
    FFullView->ShowPhoto(index);
}

void TLumoraFrm::NewRollButtonClick() {
    LeaveCurrentRoll();
    SetPage(TViewPage::Rolls);
}

void TLumoraFrm::ThumbnailsButtonClick() { SetPage(TViewPage::Thumbs); }
void TLumoraFrm::PrintButtonClick() {
    if (!SharingHandlers().PrintIndex) return NotAvailableYet(int(TStr::FeaturePrinting));
    if (FCurrentRoll) SharingHandlers().PrintIndex(*this, FCurrentRoll->FileList());
}
void TLumoraFrm::FullViewPrintButtonClick() {
    if (!WaitForFullView()) return;
    if (!SharingHandlers().PrintPhoto) return NotAvailableYet(int(TStr::FeaturePrinting));
    if (TMedia* photo = FFullView->CurrentPhoto()) SharingHandlers().PrintPhoto(*this, photo);
}
void TLumoraFrm::RunSlideShow() {
    TRoll* shown = FCurrentRoll;
    if (!shown) return;
    shown->PauseThumbLoader();
    // Afterwards only the open roll's loader runs, also when the show fails.
    struct TResume {
        TLumoraFrm* Window;
        TRoll* Shown;
        ~TResume() {
            if (Window->FClosed) return;
            if (Window->FCurrentRoll != Shown) Shown->PauseThumbLoader();
            if (Window->FCurrentRoll) Window->FCurrentRoll->StartThumbLoader();
            // A request held during the show is served now.
            QTimer::singleShot(0, Window, &TLumoraFrm::ServeHeldRequest);
        }
    } resume{this, shown};
    TDisplayForm show;
    show.RunShow(shown);
}
void TLumoraFrm::ThumbViewInstallButtonClick() {
    if (!SharingHandlers().Install) return NotAvailableYet(int(TStr::FeatureInstall));
    if (FCurrentRoll) SharingHandlers().Install(*this, FCurrentRoll);
}
void TLumoraFrm::ThumbViewUploadButtonClick() {
    if (!SharingHandlers().Upload) return NotAvailableYet(int(TStr::FeatureUpload));
    if (FCurrentRoll) SharingHandlers().Upload(*this, FCurrentRoll);
    QCoreApplication::processEvents();
    QApplication::restoreOverrideCursor();
}
void TLumoraFrm::PreviousButtonClick() { FFullView->ShowPhoto(FFullView->CurrentIndex() - 1); }
void TLumoraFrm::NextButtonClick() { FFullView->ShowPhoto(FFullView->CurrentIndex() + 1); }
void TLumoraFrm::ZoomInTestClick() { FFullView->Zoom(+1); }
void TLumoraFrm::ZoomOutButtonClick() { FFullView->Zoom(-1); }
void TLumoraFrm::RotateLeftButtonClick() { FFullView->Rotate(-90); }
void TLumoraFrm::RotateRightButtonClick() { FFullView->Rotate(+90); }
void TLumoraFrm::QuitButtonClick() { CloseWindow(); }

void TLumoraFrm::NotAvailableYet(int featureText) {
    InfoBox(ResString(TStr::FeatureNotAvailable), {ResString(TStr(featureText))});
}

// ---- hover -------------------------------------------------------------------

void TLumoraFrm::AnimatedImage1MouseMove(THvAnimatedImage* sender) {
    if (HoverButton && HoverButton != sender) {
        if (THalvornBmpButton* header = HeaderOf(HoverButton)) header->SetDown(false);
        HoverButton->SetActive(false);
    }
    if (sender->Enabled()) sender->SetActive(true);
    if (THalvornBmpButton* header = HeaderOf(sender)) header->SetDown(true);
    HoverButton = sender;
    Form.MouseOverTimer->start();
}

void TLumoraFrm::MouseOverTimerTimer() {
    if (!HoverButton) {
        Form.MouseOverTimer->stop();
        return;
    }
    const bool inside = HoverButton->isVisible() && CursorInside(HoverButton);
    if (HoverButton->Active() || !inside) {
        HoverButton->SetActive(inside && HoverButton->Enabled());
        if (THalvornBmpButton* header = HeaderOf(HoverButton)) header->SetDown(inside);
    }
}

void TLumoraFrm::QuitCaptionMouseMove() {
    Form.QuitButton->SetDown(true);
    Form.QuitButtonTimer->start();
}

void TLumoraFrm::QuitButtonTimerTimer() {
    if (CursorInside(Form.QuitCaption)) return;
    Form.QuitButton->SetDown(false);
    Form.QuitButtonTimer->stop();
}

void TLumoraFrm::LogoTimerTimer() {
    LogoFrames = 0;
    Form.FotavoLogo->SetActive(true);
}

void TLumoraFrm::FotavoLogoFrameChanged() {
    if (!Form.FotavoLogo->Active()) return;
    if (++LogoFrames < LogoFramesPlayed) return;
    Form.FotavoLogo->SetActive(false);
    Form.LogoTimer->setInterval(LogoPauseMs(std::uniform_int_distribution<int>(0, 12)(FRandom)));
    LogoFrames = 0;
}
