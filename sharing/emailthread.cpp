#include "sharing/emailthread.h"
#include "shell/tracelog.h"

namespace {

const TEmailLibrary RealLibrary;
std::atomic<const TEmailLibrary*> CurrentLibrary{&RealLibrary};

} // namespace

const TEmailLibrary& EmailLibrary() { return *CurrentLibrary.load(); }

void SetEmailLibrary(const TEmailLibrary* library) { CurrentLibrary.store(library ? library : &RealLibrary); }

TEmailThread::TEmailThread(EMAILHANDLE handle, QObject* parent) : QThread(parent), MailHandle(handle) {
    FHandle.store(handle);
}

TEmailThread::~TEmailThread() {
    Cancel();
    wait();
}

void TEmailThread::Cancel() {
    if (const EMAILHANDLE handle = FHandle.load()) EmailLibrary().Cancel(handle);
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
    const TEmailLibrary& library = EmailLibrary();
    library.SetProgressCallback(h, &TEmailThread::MailProgress, this);
    library.SetStatusCallback(h, &TEmailThread::MailStatus, this);
    AttachmentCount = library.GetAttachmentNumber(h);
    Result = library.Send(h);
    FHandle.store(0);
    library.Destroy(h);
    MailHandle = 0;
    emit SendEnded(Result, StatusText);
}
