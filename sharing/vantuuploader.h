#pragma once
// The wizard's side of the upload library: each call raises EError with the
// text of its result code unless the code is 0.
#include "suite/upload/upload.h"
#include <QString>
#include <QStringList>
#include <string>

// The text of an upload result: the program's resource texts for codes 0
// to 10, the library's own above.
QString UploadResultText(int code);
// Raises EError(UploadResultText(Code)) for any code but 0.
void CheckUploadResult(uint8_t code);

class TVantuUploader {
public:
    void InitSocket();
    void InitServer(const QString& server, int port, int timeoutMs);
    // The customer ID of the login.
    QString GetCustomerID(const QString& labGroup, const QString& userName, const QString& password);
    // The account's shoeboxes: Ids[i] belongs to Names[i].
    void GetShoeboxes(const QString& customerID, QStringList& ids, QStringList& names);
    void CreateUpload(const QString& customerID, const QString& shoeboxName, const QString& shoeboxID);
    void AddImage(const QString& fileName);
    // Sends what was added; the shoebox's page token.
    QString Upload(TVantuUploadCallback callback, void* userData);
};
