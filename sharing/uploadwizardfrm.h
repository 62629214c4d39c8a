#pragma once
// The upload wizard: the user picks photos of a roll on page "Select", and
// either logs in to the online photo service, chooses or names a shoebox
// and uploads them (upload mode), or writes an e-mail that carries them
// (e-mail mode). Progress shows on page "Upload".
//
// The photos leave as the user sees them: a turned photo goes as a turned
// copy made in a private folder of the wizard's own, removed after each
// attempt and with the wizard. A failure is never reported as success: it
// shows its text and leaves the user on the page that can try again.
#include "forms/uploadwizardform.h"
#include "sharing/wizardlogic.h"
#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <memory>

class TEmailAddresser;
class TEmailThread;
class TRoll;
class TTempRotationFiles;
class TVantuUploader;

class TUploadWizardFrm : public QDialog {
    Q_OBJECT
public:
    enum TWizardMode : uint8_t { UploadMode = 0, EmailMode = 1 };

    explicit TUploadWizardFrm(QWidget* parent = nullptr);
    ~TUploadWizardFrm() override;

    TUploadWizardForm Form;
    TEmailAddresser* EmailAddresser = nullptr;  // on page "Email"
    // [Upload]
    QString LabGroup, Server;
    int Port = 9501;
    QString NewAccountSite, AccountType, BaseURL;
    bool AllowPlainHTTP = false;
    // [Email]
    QString MailServer, MailAccount, MailPassword;
    int MailPort = 25;
    bool MailPlainAuth = false;

    TRoll* WizardRoll = nullptr;
    QString CustomerID;
    std::unique_ptr<TVantuUploader> Uploader;
    int CurrentIcon = -1;
    bool WizardCancelled = false;
    bool WizardBusy = false;
    std::unique_ptr<TTempRotationFiles> TempFiles;
    QStringList ShoeboxIDs;
    int ScrollY = 0;
    QPoint DragOrigin;
    uint8_t MouseState = 0;  // 0 idle, 1 pressed, 2 rubber band
    uint8_t WizardMode = UploadMode;

    // Offers Roll's photos in Mode; nothing changes when Roll is the roll
    // the wizard has.
    void SetRoll(TRoll* roll, int mode);
    void ApplyMode();
    void LoadLogin();
    void SaveLogin();
    void UpdatePageButtons();
    void ShowPage(int index);
    int PageIndex() const;

    // The buttons. Each raises EError with the text to show; the wizard's
    // own clicks show it in the standard error box.
    void NextButtonClick();
    void PreviousButtonClick();
    void SelectAllButtonClick();
    void SelectNoneButtonClick();
    void LoginButtonClick();
    void Button1Click();  // New Account
    void UploadButtonClick();
    void CancelButtonClick();
    // Next on page "Email": the message built and handed to its thread.
    void SendEmail();

    // The upload's progress callback (UserData: the wizard).
    static bool UploadProgress(int32_t code, int32_t percent, void* userData);

    // Selected photos in roll order.
    int SelectedCount() const;
    // The N-th selected photo (from 0), or -1.
    int SelectedPhoto(int n) const;
    // Shows the N-th selected photo's thumbnail in the paint box.
    void UpdateUploadWizardThumbnail(int n);
    // The send's progress on page "Upload".
    void ShowSendProgress(qint64 totalBytes, qint64 bytesSent, int attachments);
    // A send that failed: the box, then back to page "Email".
    void SendFailed();
    // The send running, if any.
    TEmailThread* EmailThread() const { return FEmailThread.get(); }

    // Tests: called with each message's handle after the wizard's settings,
    // before the photos are attached (a CA file, shorter timeouts).
    static void SetEmailHandleHook(std::function<void(int32_t handle)> hook);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SelectionChange();
    void IconDraw(int index, QPainter* canvas, const QRect& rect);
    void IconMouseDown(QMouseEvent* event);
    void IconMouseMove(QMouseEvent* event);
    void IconMouseUp(QMouseEvent* event);
    void AutoScrollCheck(int y);
    void ScrollTimerTick();
    void PaintThumbnail();
    // Page "Upload" given up: back to "Config" with Upload and Previous
    // enabled for another try.
    void BackToConfig();
    // The file a chosen photo is uploaded from, made now when it is turned.
    QString UploadFileOf(int index);
    void RunClick(void (TUploadWizardFrm::*handler)());
    void EmailNext();
    void SendEnded(int result, const QString& lastStatus);
    // Stops a running send and waits for its thread, letting events run.
    void StopSending();

    std::vector<WizardLogic::TRecipient> Recipients() const;

    bool FClosing = false;
    std::unique_ptr<TEmailThread> FEmailThread;
    int FLastImage = 0;
};

// The wizard for Roll in Mode, run modally over Owner.
void OpenWizard(TRoll* roll, int mode, QWidget* owner);
// The thumbnails page's upload button opens the wizard from now on, in the
// mode the disc's [Upload] WizardMode gives (1, e-mail, unless it says 0).
void RegisterUploadWizard();
