// Replies of a photo service, as the upload library reads them: every kind
// of reply, and the bounds a reply that is taken must hold.
#include "suite/upload/replies.h"
#include "suite/upload/upload.h"
#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    TLoginReply login;
    if (ParseLoginReply(body, login)) {
        if (login.CustomerID.empty() || login.CustomerID.size() > size_t(UploadMaxCustomerIDChars)) __builtin_trap();
        if (!IsTokenText(login.Token, 128)) __builtin_trap();
    }
    std::vector<TShoeboxEntry> list;
    if (ParseShoeboxListReply(body, list)) {
        if (list.size() > size_t(UploadMaxShoeboxes)) __builtin_trap();
        for (const TShoeboxEntry& e : list)
            if (!IsValidName(QByteArray::fromStdString(e.Name)) || !IsTokenText(e.Id, 64)) __builtin_trap();
    }
    TShoeboxReply shoebox;
    if (ParseShoeboxReply(body, shoebox) && shoebox.Page.size() > size_t(UploadMaxResultTextChars)) __builtin_trap();
    TPhotoReply photo;
    if (ParsePhotoReply(body, photo) && (photo.Seq < 1 || photo.Page.size() > size_t(UploadMaxResultTextChars)))
        __builtin_trap();
    return 0;
}
