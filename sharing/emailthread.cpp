#include "sharing/emailthread.h"
#include "shell/tracelog.h"

TEmailThread::TEmailThread(EMAILHANDLE handle, QObject* parent) : QThread(parent), MailHandle(handle) {
    FHandle.store(handle);
}

TEmailThread::~TEmailThread() {
    Cancel();
    wait();
}

void TEmailThread::Cancel() {
    if (const EMAILHANDLE handle = FHandle.load()) EmailCancel(handle);
}

void TEmailThread::MailStatus(const char* text, void* userData) {
    auto* thread = static_cast<TEmailThread*>(userData);
    thread->StatusText = QString::fromUtf8(text);
    emit thread->StatusChanged(thread->StatusText);
}

void TEmailThread::MailProgress(uint8_t kind, int32_t value, void* userData) {
    auto* thread = static_cast<TEmailThread*>(userData);
    switch (kind) {
    case EMAIL_PROGRESS_SIZE:
        thread->MailTotalBytes = value;
        thread->MailBytesSent = 0;
        break;
    case EMAIL_PROGRESS_SENT:
        thread->MailBytesSent = value;
        break;
    case EMAIL_PROGRESS_ACCEPTED:
        thread->MailBytesSent = thread->MailTotalBytes;
        break;
    default:
        return;
    }
    emit thread->ProgressChanged(thread->MailTotalBytes, thread->MailBytesSent, thread->AttachmentCount);
}

void TEmailThread::run() {
    LastImage = 0;
    const EMAILHANDLE h = MailHandle;
    if (h == 0) {
        emit SendEnded(Result, StatusText);
        return;
    }
    EmailSetProgressCallback(h, &TEmailThread::MailProgress, this);
    EmailSetStatusCallback(h, &TEmailThread::MailStatus, this);
    AttachmentCount = EmailGetAttachmentNumber(h);
    Result = EmailSend(h);
    FHandle.store(0);
    EmailDestroy(h);
    MailHandle = 0;
    emit SendEnded(Result, StatusText);
}
