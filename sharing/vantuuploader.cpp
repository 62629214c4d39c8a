#include "sharing/vantuuploader.h"
#include "platform/errors.h"
#include "shell/strings.h"
#include "suite/upload/uploaderrors.h"
#include <QFile>
#include <memory>

QString UploadResultText(int code) {
    if (code >= 0 && code <= 10) return ResString(TStr(int(TStr::UploadResult0) + code));
    return QString::fromUtf8(UploadErrorText(code));
}

void CheckUploadResult(uint8_t code) {
    if (code != UploadOK) throw EError(UploadResultText(code));
}

void TVantuUploader::InitSocket() { CheckUploadResult(VantuInitSocket()); }

void TVantuUploader::InitServer(const QString& server, int port, int timeoutMs) {
    CheckUploadResult(VantuInitServer(server.toUtf8().constData(), port, timeoutMs));
}

QString TVantuUploader::GetCustomerID(const QString& labGroup, const QString& userName, const QString& password) {
    constexpr int BufferSize = 254;
    char buffer[BufferSize + 1] = {};
    QByteArray secret = password.toUtf8();
    const uint8_t code = VantuGetCustomerID(labGroup.toUtf8().constData(), userName.toUtf8().constData(),
                                            secret.constData(), buffer, BufferSize);
    secret.fill('\0');
    CheckUploadResult(code);
    return QString::fromUtf8(buffer);
}

void TVantuUploader::GetShoeboxes(const QString& customerID, QStringList& ids, QStringList& names) {
    ids.clear();
    names.clear();
    TVantuShoeboxList* list = nullptr;
    CheckUploadResult(VantuGetShoeboxes(customerID.toUtf8().constData(), &list));
    if (!list) return;
    const std::unique_ptr<TVantuShoeboxList, uint8_t (*)(TVantuShoeboxList*)> owned(list, VantuFreeShoeboxes);
    for (int i = 0; i < list->Count; ++i) {
        ids << QString::fromUtf8(list->Ids[i]);
        names << QString::fromUtf8(list->Names[i]);
    }
}

void TVantuUploader::CreateUpload(const QString& customerID, const QString& shoeboxName, const QString& shoeboxID) {
    CheckUploadResult(VantuCreateUpload(customerID.toUtf8().constData(), shoeboxName.toUtf8().constData(),
                                        shoeboxID.toUtf8().constData()));
}

void TVantuUploader::AddImage(const QString& fileName) {
    CheckUploadResult(VantuAddImage(QFile::encodeName(fileName).constData()));
}

QString TVantuUploader::Upload(TVantuUploadCallback callback, void* userData) {
    constexpr int BufferSize = 100;
    char buffer[BufferSize + 1] = {};
    CheckUploadResult(VantuUpload(callback, userData, buffer, BufferSize));
    return QString::fromUtf8(buffer);
}
