#include "sharing/uploadwizardfrm.h"
#include "collection/roll.h"
#include "imaging/hv3dprogressbar.h"
#include "imaging/loading.h"
#include "imaging/smoothlabel3d.h"
#include "platform/errors.h"
#include "sharing/emailaddresser.h"
#include "sharing/emailthread.h"
#include "sharing/temprotation.h"
#include "sharing/vantuuploader.h"
#include "sharing/wizardlogic.h"
#include "shell/customize.h"
#include "shell/inifile.h"
#include "shell/messages.h"
#include "shell/registry.h"
#include "shell/skin.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include "viewer/statusfrm.h"
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <cmath>

namespace {

constexpr int UploadTimeoutMs = 60000;
// Reserved names (RFC 2606): a disc that names no service sends nothing anywhere.
constexpr const char* DefaultServer = "upload.photo-service.invalid";
constexpr const char* DefaultNewAccountSite = "https://www.photo-service.invalid/sign_up.asp";
constexpr const char* DefaultBaseURL =
    "https://www.photo-service.invalid/photo_index.asp?H=start.asp&CustomerID=%s&L=shoebox&R=%s&P=%s&Img=001&N=%s/&M=y";
// Selected cells: yellow under a frame of RGB 135, 143, 171.
const QColor SelectedColour(255, 255, 0);
const QColor FrameColour(135, 143, 171);
std::function<void(int32_t)>& EmailHandleHook() {
    static std::function<void(int32_t)> hook;
    return hook;
}

// While photos still lack their thumbnails the list looks again this often.
constexpr int ThumbnailPollMs = 250;

QString UploadKey(const TIniFile* ini, const char* key, const char* def) {
    return ini ? ini->ReadString(QStringLiteral("Upload"), QLatin1String(key), QLatin1String(def)) : QLatin1String(def);
}

// The hourglass from here to the end of the scope, whatever way it ends.
struct THourglass {
    THourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~THourglass() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TUploadWizardFrm::TUploadWizardFrm(QWidget* parent) : QDialog(parent) {
    TraceScope trace("TUploadWizardFrm.Create");
    BuildUploadWizardForm(this, Form);
    setModal(true);

    const TIniFile* ini = CustomIni();
    Port = ini ? ini->ReadInteger(QStringLiteral("Upload"), QStringLiteral("Port"), 9501) : 9501;
    LabGroup = UploadKey(ini, "LabGroup", "vantu");
    Server = UploadKey(ini, "Server", DefaultServer);
    NewAccountSite = UploadKey(ini, "NewAccountSite", DefaultNewAccountSite);
    AccountType = UploadKey(ini, "AccountType", "Vantu");
    BaseURL = UploadKey(ini, "BaseURL", DefaultBaseURL);
    AllowPlainHTTP = ini && ini->ReadInteger(QStringLiteral("Upload"), QStringLiteral("AllowPlainHTTP"), 0) == 1;
    const QString mail = QStringLiteral("Email");
    MailServer = ini ? ini->ReadString(mail, QStringLiteral("MailServer"), QStringLiteral("localhost")) : QStringLiteral("localhost");
    MailAccount = ini ? ini->ReadString(mail, QStringLiteral("MailAccount"), QStringLiteral("lumora@localhost"))
                      : QStringLiteral("lumora@localhost");
    MailPassword = ini ? ini->ReadString(mail, QStringLiteral("MailPassword"), QStringLiteral("tarn518")) : QStringLiteral("tarn518");
    MailPort = ini ? ini->ReadInteger(mail, QStringLiteral("MailPort"), 25) : 25;
    MailPlainAuth = ini && ini->ReadInteger(mail, QStringLiteral("MailPlainAuth"), 0) == 1;

    Form.LoginPrompt->SetCaption(ResText(TStr::LoginPromptText, {AccountType}));
    // The banner shows a shoebox name with its ampersands doubled.
    Form.UploadingBanner->SetShowAccelChar(true);
    WizardBusy = false;
    CurrentIcon = -1;
    ShowPage(WizardPage::Select);
    Form.ProgressLabel->clear();

    Uploader = std::make_unique<TVantuUploader>();
    RunGuarded([this] { Uploader->InitSocket(); });

    Form.ImageProgressBar->hide();
    MouseState = 0;
    TempFiles = std::make_unique<TTempRotationFiles>();
    Form.UploadButton->setEnabled(false);
    Form.NextButton->setEnabled(false);

    TIconContainer* icons = Form.IconContainer;
    // The wizard keeps the selection rules of its page itself.
    icons->SetIconCUASelect(false);
    connect(icons, &TIconContainer::OnIconDraw, this,
            [this](TIconContainer*, int index, QPainter* canvas, const QRect& rect) { IconDraw(index, canvas, rect); });
    connect(icons, &TIconContainer::OnSelectionChange, this, [this](TIconContainer*) { SelectionChange(); });
    connect(icons, &TIconContainer::OnMouseDown, this, [this](TIconContainer*, QMouseEvent* e) { IconMouseDown(e); });
    connect(icons, &TIconContainer::OnMouseMove, this, [this](TIconContainer*, QMouseEvent* e) { IconMouseMove(e); });
    connect(icons, &TIconContainer::OnMouseUp, this, [this](TIconContainer*, QMouseEvent* e) { IconMouseUp(e); });
    connect(Form.ScrollTimer, &QTimer::timeout, this, &TUploadWizardFrm::ScrollTimerTick);
    auto* poll = new QTimer(this);
    poll->setInterval(ThumbnailPollMs);
    connect(poll, &QTimer::timeout, this, [this] {
        if (!WizardRoll) return;
        for (int i = 0; i < WizardRoll->Count(); ++i)
            if (!WizardRoll->Items(i)->HasThumbnail()) return Form.IconContainer->viewport()->update();
    });
    poll->start();

    const auto click = [this](THalvornBmpButton* button, void (TUploadWizardFrm::*handler)()) {
        connect(button, &THalvornBmpButton::OnClick, this, [this, handler] { RunClick(handler); });
    };
    click(Form.NextButton, &TUploadWizardFrm::NextButtonClick);
    click(Form.PreviousButton, &TUploadWizardFrm::PreviousButtonClick);
    click(Form.UploadButton, &TUploadWizardFrm::UploadButtonClick);
    click(Form.CancelButton, &TUploadWizardFrm::CancelButtonClick);
    click(Form.SelectAllButton, &TUploadWizardFrm::SelectAllButtonClick);
    click(Form.SelectNoneButton, &TUploadWizardFrm::SelectNoneButtonClick);
    click(Form.LoginButton, &TUploadWizardFrm::LoginButtonClick);
    click(Form.NewAccountButton, &TUploadWizardFrm::Button1Click);
    connect(Form.PasswordEdit, &QLineEdit::returnPressed, this, [this] { RunClick(&TUploadWizardFrm::LoginButtonClick); });
    Form.ShoeboxEdit->installEventFilter(this);
    Form.ShoeboxCombo->installEventFilter(this);
    Form.PaintBox->installEventFilter(this);

    EmailAddresser = new TEmailAddresser(Form.EmailPage);
    EmailAddresser->setObjectName(QStringLiteral("EmailAddresser"));
    EmailAddresser->setGeometry(EmailAddresserLeft, EmailAddresserTop, EmailAddresserWidth, EmailAddresserHeight);
}

TUploadWizardFrm::~TUploadWizardFrm() {
    // The thread ends before the copies it reads go.
    if (FEmailThread) FEmailThread->Cancel();
    FEmailThread.reset();
}

void TUploadWizardFrm::RunClick(void (TUploadWizardFrm::*handler)()) {
    RunGuarded([this, handler] { (this->*handler)(); });
}

void TUploadWizardFrm::SetRoll(TRoll* roll, int mode) {
    if (roll == WizardRoll) return;
    WizardMode = mode == EmailMode ? EmailMode : UploadMode;
    LoadLogin();
    WizardRoll = roll;
    ApplyMode();
    Form.IconContainer->SetIconCount(roll ? roll->Count() : 0);
    Form.IconContainer->Arrange();
}

void TUploadWizardFrm::ApplyMode() {
    const bool upload = WizardMode == UploadMode;
    const QImage side = GetSkinImage(QLatin1String(XLumResGroup), upload ? QStringLiteral("0101") : QStringLiteral("0100"));
    Form.WizardImage->setPixmap(QPixmap::fromImage(side));
    Form.ImageSelectionLabel->SetCaption(ResString(upload ? TStr::SelectImagesToUpload : TStr::SelectImagesToEmail));
}

void TUploadWizardFrm::LoadLogin() {
    const QString key = Registry::ProductKey(GetAppTitle());
    if (!Registry::KeyExists(key)) return;
    if (WizardMode == UploadMode) {
        Form.UsernameEdit->setText(Registry::ReadString(key, QLatin1String(Registry::Username)));
        Form.PasswordEdit->setText(Registry::ReadString(key, QLatin1String(Registry::Password)));
    } else {
        Form.FromEmailAddress->setText(Registry::ReadString(key, QLatin1String(Registry::ReplyTo)));
    }
}

void TUploadWizardFrm::SaveLogin() {
    const QString key = Registry::ProductKey(GetAppTitle());
    if (WizardMode == UploadMode) {
        Registry::WriteString(key, QLatin1String(Registry::Username), Form.UsernameEdit->text());
        Registry::WriteString(key, QLatin1String(Registry::Password), Form.PasswordEdit->text());
    } else {
        Registry::WriteString(key, QLatin1String(Registry::ReplyTo), Form.FromEmailAddress->text());
    }
}

int TUploadWizardFrm::PageIndex() const { return Form.Pages->currentIndex(); }

void TUploadWizardFrm::ShowPage(int index) {
    Form.Pages->setCurrentIndex(index);
    UpdatePageButtons();
}

void TUploadWizardFrm::UpdatePageButtons() {
    switch (PageIndex()) {
    case WizardPage::Select:
        Form.NextButton->show();
        Form.UploadButton->hide();
        Form.PreviousButton->setEnabled(false);
        break;
    case WizardPage::Config:
        Form.NextButton->hide();
        Form.UploadButton->show();
        Form.PreviousButton->setEnabled(true);
        break;
    default:
        break;
    }
}

void TUploadWizardFrm::NextButtonClick() {
    if (WizardMode == EmailMode) {
        if (PageIndex() == WizardPage::Select) {
            Form.PreviousButton->setEnabled(true);
            ShowPage(WizardPage::Email);
        } else if (PageIndex() == WizardPage::Email) {
            EmailNext();
        }
        return;
    }
    if (PageIndex() < Form.Pages->count() - 1) ShowPage(PageIndex() + 1);
}

void TUploadWizardFrm::PreviousButtonClick() {
    if (PageIndex() <= 0) return;
    ShowPage(PageIndex() - 1);
    if (WizardMode != EmailMode) return;
    if (PageIndex() == WizardPage::Config) {
        ShowPage(WizardPage::Select);
        Form.PreviousButton->setEnabled(false);
    } else if (PageIndex() == WizardPage::Email) {
        Form.CancelButton->setEnabled(true);
        Form.NextButton->setEnabled(true);
        Form.PreviousButton->setEnabled(true);
    }
}

void TUploadWizardFrm::SelectAllButtonClick() {
    TSelector& selection = Form.IconContainer->Selector();
    selection.SelectAll();
    selection.Notify();
    Form.IconContainer->viewport()->update();
    SelectionChange();
}

void TUploadWizardFrm::SelectNoneButtonClick() {
    TSelector& selection = Form.IconContainer->Selector();
    selection.DeselectAll();
    selection.Notify();
    Form.IconContainer->viewport()->update();
    SelectionChange();
}

void TUploadWizardFrm::SelectionChange() { Form.NextButton->setEnabled(SelectedCount() > 0); }

int TUploadWizardFrm::SelectedCount() const {
    const TSelector& selection = Form.IconContainer->Selector();
    int count = 0;
    for (int i = 0; i < selection.Count(); ++i) count += selection.IsSelected(i) ? 1 : 0;
    return count;
}

int TUploadWizardFrm::SelectedPhoto(int n) const {
    const TSelector& selection = Form.IconContainer->Selector();
    for (int i = 0; i < selection.Count(); ++i)
        if (selection.IsSelected(i) && n-- == 0) return i;
    return -1;
}

void TUploadWizardFrm::IconDraw(int index, QPainter* canvas, const QRect& rect) {
    if (!WizardRoll || index < 0 || index >= WizardRoll->Count()) return;
    if (Form.IconContainer->Selector().IsSelected(index)) canvas->fillRect(rect, SelectedColour);
    canvas->fillRect(rect.adjusted(2, 2, -2, -2), FrameColour);
    WizardRoll->Items(index)->DrawThumbnail(*canvas, rect.adjusted(4, 4, -4, -4));
}

void TUploadWizardFrm::IconMouseDown(QMouseEvent* event) {
    TIconContainer* icons = Form.IconContainer;
    const QPoint p = event->position().toPoint();
    const int hit = icons->HitTest(p.x(), p.y());
    if (event->button() == Qt::LeftButton) {
        if (hit >= 0) return;
        DragOrigin = p;
        MouseState = 2;
        icons->BeginBand(QRect(p, QSize(1, 1)));
    } else if (event->button() == Qt::RightButton && (event->buttons() & Qt::RightButton)) {
        if (hit >= 0 && !icons->Selector().IsSelected(hit)) {
            icons->Selector().SelectOnly(hit);
            icons->Selector().Notify();
        }
        DragOrigin = event->globalPosition().toPoint();
        MouseState = 1;
    }
}

void TUploadWizardFrm::IconMouseMove(QMouseEvent* event) {
    if (MouseState == 2) AutoScrollCheck(event->position().toPoint().y());
}

void TUploadWizardFrm::IconMouseUp(QMouseEvent* event) {
    TIconContainer* icons = Form.IconContainer;
    Form.ScrollTimer->stop();
    if (MouseState == 2) {
        icons->EndBand();
    } else if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        WizardLogic::ButtonUp(icons->Selector(), icons->HitTest(p.x(), p.y()),
                              event->modifiers() & Qt::ShiftModifier, event->modifiers() & Qt::ControlModifier, false);
    }
    icons->Selector().Notify();
    MouseState = 0;
    icons->viewport()->update();
}

void TUploadWizardFrm::AutoScrollCheck(int y) {
    if (WizardLogic::AutoScrollStep(y, Form.IconContainer->viewport()->height()) == 0) {
        Form.ScrollTimer->stop();
        return;
    }
    ScrollY = y;
    if (Form.ScrollTimer->interval() == 0) Form.ScrollTimer->setInterval(WizardLogic::ScrollTickMs);
    if (!Form.ScrollTimer->isActive()) Form.ScrollTimer->start();
}

void TUploadWizardFrm::ScrollTimerTick() {
    QScrollBar* bar = Form.IconContainer->verticalScrollBar();
    bar->setValue(bar->value() + WizardLogic::AutoScrollStep(ScrollY, Form.IconContainer->viewport()->height()));
}

void TUploadWizardFrm::LoginButtonClick() {
    TraceScope trace("TUploadWizardFrm.LoginButtonClick");
    THourglass hourglass;
    CheckUploadResult(VantuAllowPlainHTTP(AllowPlainHTTP ? 1 : 0));
    Uploader->InitServer(Server, Port, UploadTimeoutMs);
    const QString password = Form.PasswordEdit->text().trimmed();
    const QString user = Form.UsernameEdit->text().trimmed();
    CustomerID = Uploader->GetCustomerID(LabGroup, user, password);
    QStringList names;
    Form.ShoeboxCombo->clear();
    ShoeboxIDs.clear();
    Uploader->GetShoeboxes(CustomerID, ShoeboxIDs, names);
    Form.ShoeboxCombo->addItems(names);
    Form.UploadDestPanel->show();
    Form.NewAccountPanel->hide();
    if (Form.ShoeboxCombo->count() > 0) {
        Form.ShoeboxCombo->setCurrentIndex(0);
        Form.ExistingShoeboxRB->setChecked(true);
    } else {
        Form.NewShoeboxRB->setChecked(true);
        Form.ShoeboxEdit->setFocus();
    }
    Form.CustomerIDLabel->setText(ResString(TStr::AccountNumber) + CustomerID);
    Form.UploadButton->setEnabled(true);
}

void TUploadWizardFrm::Button1Click() {
    QDesktopServices::openUrl(QUrl(NewAccountSite));
    close();
}

QString TUploadWizardFrm::UploadFileOf(int index) {
    TMedia* photo = WizardRoll->Items(index);
    // The plain layout has no size folders: the photo's own file.
    const QString best = photo->BestQualityPath();
    const QString path = best.isEmpty() ? photo->FullPath() : best;
    // A photo turned by the user, by its tag or wider than sRGB goes as shown.
    if (!NeedsUprightCopy(path, photo->Rotation)) return path;
    if (TProgressFrm* progress = ProgressFrm()) progress->StartProgress(ResString(TStr::PreparingImages));
    return TempFiles->AddRotatedFile(photo, path);
}

void TUploadWizardFrm::BackToConfig() {
    ShowPage(WizardPage::Config);
    Form.ImageProgressBar->hide();
    Form.UploadButton->setEnabled(true);
    Form.PreviousButton->setEnabled(true);
}

void TUploadWizardFrm::UploadButtonClick() {
    TraceScope trace("TUploadWizardFrm.UploadButtonClick");
    if (WizardBusy || !WizardRoll) return;
    QString name, id;
    if (Form.NewShoeboxRB->isChecked()) {
        name = Form.ShoeboxEdit->text().trimmed();
    } else {
        name = Form.ShoeboxCombo->currentText().trimmed();
        const int at = Form.ShoeboxCombo->currentIndex();
        if (at >= 0 && at < ShoeboxIDs.size()) id = ShoeboxIDs[at];
    }
    // Nothing is sent without a name; Upload and Previous stay for the next try.
    if (name.isEmpty()) {
        ShowPage(WizardPage::Config);
        throw EError(ResString(Form.ShoeboxCombo->count() == 0 ? TStr::EnterNewShoebox : TStr::ChooseShoebox));
    }

    struct TBusy {
        TUploadWizardFrm* Form;
        ~TBusy() {
            Form->WizardBusy = false;
            // The turned copies of this attempt go now, whatever happened.
            Form->TempFiles = std::make_unique<TTempRotationFiles>();
        }
    } busy{this};
    WizardBusy = true;
    Form.UploadButton->setEnabled(false);
    Form.PreviousButton->setEnabled(false);
    WizardCancelled = false;
    CurrentIcon = SelectedPhoto(0);

    Form.ImageProgressBar->SetProgress(0);
    Form.TotalProgressBar->SetProgress(0);
    Form.ImageProgressBar->show();
    Form.TotalProgressBar->show();
    Form.UploadingBanner->SetCaption(ResText(TStr::UploadingTo, {WizardLogic::DoubledAmpersands(name)}));
    QCoreApplication::processEvents();
    ShowPage(WizardPage::Upload);
    QCoreApplication::processEvents();
    PaintThumbnail();

    QString resultText;
    try {
        TVantuUploader uploader;
        // A fresh list each attempt, so a retry sends each photo once.
        uploader.CreateUpload(CustomerID, name, id);
        {
            TProgressFrm* progress = ProgressFrm();
            struct TProgressScope {
                TProgressFrm* Progress;
                Qt::WindowFlags Flags;
                ~TProgressScope() {
                    if (!Progress) return;
                    Progress->FinishProgress();
                    Progress->OnCancel = nullptr;
                    Progress->setParent(nullptr, Flags);
                }
            } scope{progress, progress ? progress->windowFlags() : Qt::WindowFlags()};
            if (progress) {
                // Its Cancel must be reachable while this modal window runs.
                progress->setParent(this, scope.Flags);
                progress->OnCancel = [this] { WizardCancelled = true; };
                progress->setWindowTitle(ApplicationTitle());
                progress->ShowBar(true);
                progress->SetBarProgress(0);
            }
            const int count = WizardRoll->Count();
            for (int i = 0; i < count && !WizardCancelled; ++i) {
                if (i > 0 && progress) progress->SetBarProgress(WizardLogic::PreparingPercent(i, count));
                if (!Form.IconContainer->Selector().IsSelected(i)) continue;
                uploader.AddImage(UploadFileOf(i));
            }
        }
        if (!WizardCancelled) resultText = uploader.Upload(&TUploadWizardFrm::UploadProgress, this);
    } catch (const EError&) {
        if (!WizardCancelled) {
            BackToConfig();
            throw;
        }
    }
    Form.ImageProgressBar->hide();
    if (WizardCancelled) {
        InfoBox(ResString(TStr::UploadCanceled));
        busy.Form->WizardBusy = false;
        close();
        return;
    }
    Form.TotalProgressBar->SetProgress(100);
    SaveLogin();
    if (ShowMessageBox(ResString(TStr::UploadComplete), TMessageIcon::Information, QMessageBox::Yes | QMessageBox::No) ==
        QMessageBox::Yes) {
        const QString url = WizardLogic::ShoeboxUrl(BaseURL, {CustomerID, LabGroup, resultText, QStringLiteral("EN")});
        THourglass hourglass;
        QCoreApplication::processEvents();
        QDesktopServices::openUrl(QUrl(url));
    }
    WizardBusy = false;
    close();
}

bool TUploadWizardFrm::UploadProgress(int32_t code, int32_t percent, void* userData) {
    auto* wizard = static_cast<TUploadWizardFrm*>(userData);
    if (code < 0) {
        const int n = -code;
        const int total = wizard->SelectedCount();
        wizard->Form.ImageProgressBar->SetProgress(std::clamp(percent, 0, 100));
        wizard->CurrentIcon = wizard->SelectedPhoto(n - 1);
        wizard->PaintThumbnail();
        QCoreApplication::processEvents();
        wizard->Form.ProgressLabel->setText(ResText(TStr::UploadingPicture, {n, total}));
        wizard->Form.TotalProgressBar->SetProgress(WizardLogic::UploadTotalPercent(n, total, percent));
    }
    return !wizard->WizardCancelled;
}

void TUploadWizardFrm::CancelButtonClick() {
    if (!WizardBusy) {
        close();
        return;
    }
    WizardCancelled = true;
}

void TUploadWizardFrm::UpdateUploadWizardThumbnail(int n) {
    CurrentIcon = SelectedPhoto(n);
    PaintThumbnail();
}

void TUploadWizardFrm::PaintThumbnail() { Form.PaintBox->repaint(); }

bool TUploadWizardFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Form.PaintBox && event->type() == QEvent::Paint) {
        QPainter painter(Form.PaintBox);
        painter.fillRect(Form.PaintBox->rect(), Qt::black);
        if (WizardRoll && CurrentIcon >= 0 && CurrentIcon < WizardRoll->Count())
            WizardRoll->Items(CurrentIcon)->DrawThumbnail(painter, Form.PaintBox->rect());
        return true;
    }
    if (event->type() == QEvent::FocusIn) {
        if (watched == Form.ShoeboxEdit) Form.NewShoeboxRB->setChecked(true);
        if (watched == Form.ShoeboxCombo) Form.ExistingShoeboxRB->setChecked(true);
    }
    return QDialog::eventFilter(watched, event);
}

void TUploadWizardFrm::closeEvent(QCloseEvent* event) {
    // Closing mid-send stops the send and waits for its thread.
    if (FEmailThread) StopSending();
    // Closing while busy is Cancel: the running step stops at its next turn.
    if (WizardBusy) {
        WizardCancelled = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TUploadWizardFrm::reject() {
    if (WizardBusy) {
        WizardCancelled = true;
        return;
    }
    QDialog::reject();
}

void TUploadWizardFrm::SetEmailHandleHook(std::function<void(int32_t handle)> hook) { EmailHandleHook() = std::move(hook); }

std::vector<WizardLogic::TRecipient> TUploadWizardFrm::Recipients() const {
    std::vector<WizardLogic::TRecipient> rows;
    for (int i = 0; i < EmailAddresser->Count(); ++i) {
        WizardLogic::TRecipient row;
        EmailAddresser->GetItem(i, row.Type, row.Entry, row.Address);
        rows.push_back(row);
    }
    return rows;
}

void TUploadWizardFrm::EmailNext() {
    // What is being typed in the list counts.
    EmailAddresser->FinishEditing();
    if (const std::optional<TStr> complaint = WizardLogic::CheckEmailPage(Form.FromEmailAddress->text(), Recipients())) {
        ShowMessageBox(ResString(*complaint), TMessageIcon::Warning, QMessageBox::Ok);
        return;
    }
    SendEmail();
}

void TUploadWizardFrm::SendEmail() {
    TraceScope trace("TUploadWizardFrm.SendEmail");
    if (WizardBusy || !WizardRoll) return;
    struct THandle {
        EMAILHANDLE H;
        ~THandle() {
            if (H) EmailLibrary().Destroy(H);
        }
    } message{EmailLibrary().Create()};
    const TEmailLibrary& library = EmailLibrary();
    const EMAILHANDLE h = message.H;
    library.SetFromAddress(h, Form.FromEmailAddress->text().trimmed().toUtf8().constData());
    const WizardLogic::TRecipientLists lists = WizardLogic::JoinRecipients(Recipients());
    library.SetToAddress(h, lists.To.toUtf8().constData());
    library.SetCCAddress(h, lists.Cc.toUtf8().constData());
    library.SetBCCAddress(h, lists.Bcc.toUtf8().constData());
    const QString subject = Form.EmailSubjectEdit->text();
    library.SetSubject(h, subject.toUtf8().constData());
    library.SetBody(h, Form.Memo1->toPlainText().split('\n').join(QStringLiteral("\r\n")).toUtf8().constData());
    library.SetServer(h, MailServer.toUtf8().constData());
    library.SetAccount(h, MailAccount.toUtf8().constData());
    library.SetPassword(h, MailPassword.toUtf8().constData());
    library.SetPort(h, MailPort);
    library.SetPlainAuth(h, MailPlainAuth ? 1 : 0);
    if (EmailHandleHook()) EmailHandleHook()(h);
    SaveLogin();
    CurrentIcon = SelectedPhoto(0);

    const TLevel level = WizardLogic::EmailLevel(WizardRoll->SizesPresent);
    for (int i = 0; i < WizardRoll->Count(); ++i) {
        if (!Form.IconContainer->Selector().IsSelected(i)) continue;
        TMedia* photo = WizardRoll->Items(i);
        const TLevel shown = photo->Level;
        photo->SetLevel(level);
        QString path = photo->FullPath();
        photo->SetLevel(shown);
        if (NeedsUprightCopy(path, photo->Rotation)) path = TempFiles->AddRotatedFile(photo, path);
        library.AddAttachment(h, QFile::encodeName(path).constData());
    }

    FEmailThread = std::make_unique<TEmailThread>(h);
    message.H = 0;
    connect(FEmailThread.get(), &TEmailThread::StatusChanged, this,
            [this](const QString& text) { Form.EmailStatus->setText(ResString(TStr::EmailStatusCaption) + ' ' + text); });
    connect(FEmailThread.get(), &TEmailThread::ProgressChanged, this, &TUploadWizardFrm::ShowSendProgress);
    connect(FEmailThread.get(), &TEmailThread::SendEnded, this, &TUploadWizardFrm::SendEnded);

    Form.ImageProgressBar->SetProgress(0);
    Form.TotalProgressBar->SetProgress(0);
    Form.ImageProgressBar->show();
    Form.ProgressLabel->clear();
    Form.UploadingBanner->SetCaption(ResString(TStr::SendingEmailTitled) + ' ' + WizardLogic::DoubledAmpersands(subject.simplified()));
    Form.EmailStatus->setText(ResString(TStr::EmailStatusCaption));
    Form.EmailStatus->show();
    Form.CancelButton->setEnabled(false);
    Form.NextButton->setEnabled(false);
    Form.PreviousButton->setEnabled(false);
    ShowPage(WizardPage::Upload);
    Form.UploadPage->repaint();
    FLastImage = 0;
    UpdateUploadWizardThumbnail(0);
    WizardBusy = true;
    FEmailThread->start();
}

void TUploadWizardFrm::ShowSendProgress(qint64 totalBytes, qint64 bytesSent, int attachments) {
    const WizardLogic::TSendProgress progress = WizardLogic::SendProgress(totalBytes, bytesSent, attachments);
    if (progress.Total) Form.TotalProgressBar->SetProgress(*progress.Total);
    if (progress.Photo < 0) return;
    if (progress.Photo != FLastImage) {
        FLastImage = progress.Photo;
        UpdateUploadWizardThumbnail(progress.Photo);
    }
    Form.ImageProgressBar->SetProgress(progress.PhotoPercent);
}

void TUploadWizardFrm::SendEnded(int result, const QString& lastStatus) {
    if (FEmailThread) {
        FEmailThread->wait();
        FEmailThread.reset();
    }
    WizardBusy = false;
    // The copies were read; they go now.
    TempFiles = std::make_unique<TTempRotationFiles>();
    TraceLog::InfoMsg(QStringLiteral("E-mail send ended with %1: %2").arg(result).arg(lastStatus));
    if (FClosing || EmailResultCode(result) == EMAIL_OK) {
        close();
        return;
    }
    SendFailed();
}

void TUploadWizardFrm::SendFailed() {
    ShowMessageBox(ResString(TStr::SendFailed), TMessageIcon::Warning, QMessageBox::Ok);
    PreviousButtonClick();
}

void TUploadWizardFrm::StopSending() {
    FClosing = true;
    while (FEmailThread) {
        FEmailThread->Cancel();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (FEmailThread && FEmailThread->isFinished()) SendEnded(FEmailThread->Result, FEmailThread->StatusText);
    }
}

void OpenWizard(TRoll* roll, int mode, QWidget* owner) {
    TUploadWizardFrm wizard(owner);
    wizard.SetRoll(roll, mode);
    wizard.exec();
}

void RegisterUploadWizard() {
    TSharingHandlers handlers = SharingHandlers();
    handlers.Upload = [](TLumoraFrm& window, TRoll* roll) {
        const TIniFile* ini = CustomIni();
        const int mode = ini ? ini->ReadInteger(QStringLiteral("Upload"), QStringLiteral("WizardMode"), 1) : 1;
        OpenWizard(roll, mode == 0 ? TUploadWizardFrm::UploadMode : TUploadWizardFrm::EmailMode, &window);
    };
    SetSharingHandlers(std::move(handlers));
}
