#pragma once
// The thread that sends one e-mail: it owns the library handle the wizard
// prepared, sends it and destroys it. It never touches a window: what it
// learns (the status line, the bytes sent, the end) goes to the main thread
// as queued calls carrying copies of the values.
#include "suite/email/email.h"
#include <QString>
#include <QThread>

// The e-mail library's entries as the wizard and its thread call them;
// tests put a recording stand-in in their place.
struct TEmailLibrary {
    EMAILHANDLE (*Create)() = EmailCreate;
    int32_t (*SetFromAddress)(EMAILHANDLE, const char*) = EmailSetFromAddress;
    int32_t (*SetToAddress)(EMAILHANDLE, const char*) = EmailSetToAddress;
    int32_t (*SetCCAddress)(EMAILHANDLE, const char*) = EmailSetCCAddress;
    int32_t (*SetBCCAddress)(EMAILHANDLE, const char*) = EmailSetBCCAddress;
    int32_t (*SetSubject)(EMAILHANDLE, const char*) = EmailSetSubject;
    int32_t (*SetBody)(EMAILHANDLE, const char*) = EmailSetBody;
    int32_t (*SetServer)(EMAILHANDLE, const char*) = EmailSetServer;
    int32_t (*SetAccount)(EMAILHANDLE, const char*) = EmailSetAccount;
    int32_t (*SetPassword)(EMAILHANDLE, const char*) = EmailSetPassword;
    int32_t (*SetPort)(EMAILHANDLE, int32_t) = EmailSetPort;
    int32_t (*SetPlainAuth)(EMAILHANDLE, int32_t) = EmailSetPlainAuth;
    int32_t (*AddAttachment)(EMAILHANDLE, const char*) = EmailAddAttachment;
    int32_t (*SetProgressCallback)(EMAILHANDLE, TEmailProgressCallback, void*) = EmailSetProgressCallback;
    int32_t (*SetStatusCallback)(EMAILHANDLE, TEmailStatusCallback, void*) = EmailSetStatusCallback;
    int32_t (*GetAttachmentNumber)(EMAILHANDLE) = EmailGetAttachmentNumber;
    int32_t (*Send)(EMAILHANDLE) = EmailSend;
    int32_t (*Destroy)(EMAILHANDLE) = EmailDestroy;
    int32_t (*Cancel)(EMAILHANDLE) = EmailCancel;
};
const TEmailLibrary& EmailLibrary();
// Null puts the real library back.
void SetEmailLibrary(const TEmailLibrary* library);

class TEmailThread : public QThread {
    Q_OBJECT
public:
    explicit TEmailThread(EMAILHANDLE handle, QObject* parent = nullptr);
    ~TEmailThread() override;

    // Written by the thread alone while it runs; read after it ended.
    EMAILHANDLE MailHandle = 0;
    int32_t MailTotalBytes = 0;
    int32_t MailBytesSent = 0;
    int32_t AttachmentCount = 0;
    QString StatusText;
    int32_t LastImage = 0;
    int32_t Result = EMAIL_E_BAD_HANDLE;

    // Any thread: asks a running send to stop soon.
    void Cancel();

    static void MailStatus(const char* text, void* userData);
    static void MailProgress(uint8_t kind, int32_t value, void* userData);

signals:
    // Queued to the receiver's thread.
    void StatusChanged(const QString& text);
    void ProgressChanged(qint64 totalBytes, qint64 bytesSent, int attachments);
    // The send ended; Result's low 16 bits are 0 when it was sent.
    void SendEnded(int result, const QString& lastStatus);

protected:
    void run() override;

private:
    // The handle while the library holds it, for Cancel from another thread.
    std::atomic<EMAILHANDLE> FHandle{0};
};
