#include "suite/upload/upload.h"
#include "suite/upload/connection.h"
#include "suite/upload/replies.h"

#include <curl/curl.h>

#include <QByteArray>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A shoebox list as handed out: the record and the texts it points to.
struct TOwnedShoeboxList : TVantuShoeboxList {
    std::vector<std::string> IdTexts, NameTexts;
    std::vector<char*> IdPointers, NamePointers;
};

// The library's state: one server, one login, one upload at a time, as the
// program's one wizard uses it.
struct TLibrary {
    bool SocketReady = false;
    std::string CAFile;
    bool AllowPlainHttp = false;
    std::unique_ptr<TUploadConnection> Connection;
    std::string CustomerID;
    bool LoggedIn = false;
    bool UploadStarted = false;
    std::string ShoeboxId, Page;
    std::vector<TPhotoPart> Photos;
    std::set<TVantuShoeboxList*> Lists;
    bool Busy = false;

    void DropLogin() {
        LoggedIn = false;
        CustomerID.clear();
        UploadStarted = false;
        ShoeboxId.clear();
        Page.clear();
        Photos.clear();
        if (Connection) Connection->SetToken({});
    }
};

TLibrary& Library() {
    static TLibrary library;
    return library;
}

// Marks the library busy for one entry; a call from inside the upload
// callback finds it busy and is refused.
class TBusy {
public:
    TBusy() : FWasBusy(Library().Busy) { Library().Busy = true; }
    ~TBusy() {
        if (!FWasBusy) Library().Busy = false;
    }
    bool Refused() const { return FWasBusy; }

private:
    bool FWasBusy;
};

QByteArray FormField(const char* key, const QByteArray& value) {
    return QByteArray(key) + '=' + value.toPercentEncoding();
}

// Zeroes a buffer that held a password before it is freed.
void Wipe(QByteArray& bytes) {
    if (!bytes.isEmpty()) std::memset(bytes.data(), 0, size_t(bytes.size()));
    bytes.clear();
}

bool CopyOut(const std::string& text, int limit, char* buffer, int32_t bufferSize) {
    if (int(text.size()) > limit || int(text.size()) > bufferSize) return false;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

bool SameCustomer(const char* customerID) {
    return Library().LoggedIn && customerID && Library().CustomerID == customerID;
}

// A regular file we may read: opened, not only looked at.
bool Readable(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool regular = QFileInfo(QString::fromStdString(path)).isFile();
    close(fd);
    return regular;
}

} // namespace

extern "C" {

uint8_t VantuInitSocket() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result != CURLE_OK) return UploadSocketInitFailed;
    Library().SocketReady = true;
    return UploadOK;
}

uint8_t VantuSetTrustedCA(const char* caFile) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    Library().CAFile = caFile ? caFile : "";
    return UploadOK;
}

uint8_t VantuAllowPlainHTTP(int32_t allow) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    Library().AllowPlainHttp = allow != 0;
    return UploadOK;
}

uint8_t VantuInitServer(const char* server, int32_t port, int32_t timeoutMs) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    lib.DropLogin();
    lib.Connection.reset();
    if (!lib.SocketReady) return UploadSocketInitFailed;
    if (!server || timeoutMs <= 0) return UploadBadArgument;
    TServerAddress address;
    const uint8_t parsed = ParseServerAddress(QString::fromUtf8(server), port, lib.AllowPlainHttp, address);
    if (parsed != UploadOK) return parsed;
    auto connection = std::make_unique<TUploadConnection>();
    const uint8_t opened = connection->Open(address, timeoutMs, lib.CAFile);
    if (opened != UploadOK) return opened;
    lib.Connection = std::move(connection);
    return UploadOK;
}

uint8_t VantuGetCustomerID(const char* labGroup, const char* userName, const char* password, char* buffer,
                           int32_t bufferSize) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    lib.DropLogin();
    if (!labGroup || !userName || !password || !buffer || bufferSize < 1) return UploadBadArgument;
    buffer[0] = '\0';
    if (!lib.Connection) return UploadNotConnected;

    TRequest request;
    request.Post = true;
    request.Path = "/api/login";
    QByteArray secret(password);
    QByteArray field = FormField("password", secret);
    // Room for all of it at once: a reallocation would leave a copy of the
    // password behind in freed memory.
    request.Form.reserve(field.size() + 3 * qsizetype(std::strlen(labGroup) + std::strlen(userName)) + 32);
    request.Form += FormField("labgroup", labGroup) + '&' + FormField("user", userName) + '&';
    request.Form += field;
    TResponse response = lib.Connection->Perform(request);
    Wipe(secret);
    Wipe(field);
    Wipe(request.Form);
    if (response.Code != UploadOK) return response.Code;
    if (const uint8_t code = CodeForStatus(TRequestKind::Login, response.Status)) return code;

    TLoginReply reply;
    if (!ParseLoginReply(response.Body, reply)) return UploadInvalidPacket;
    if (!CopyOut(reply.CustomerID, UploadMaxCustomerIDChars, buffer, bufferSize)) return UploadInvalidPacket;
    lib.CustomerID = reply.CustomerID;
    lib.Connection->SetToken(reply.Token);
    lib.LoggedIn = true;
    return UploadOK;
}

uint8_t VantuGetShoeboxes(const char* customerID, TVantuShoeboxList** list) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    if (!list) return UploadBadArgument;
    *list = nullptr;
    if (!lib.Connection) return UploadNotConnected;
    if (!SameCustomer(customerID)) return UploadNotLoggedIn;

    TRequest request;
    request.Path = "/api/shoeboxes";
    const TResponse response = lib.Connection->Perform(request);
    if (response.Code != UploadOK) return response.Code;
    if (const uint8_t code = CodeForStatus(TRequestKind::ShoeboxList, response.Status)) return code;
    std::vector<TShoeboxEntry> entries;
    if (!ParseShoeboxListReply(response.Body, entries)) return UploadInvalidPacket;
    if (entries.empty()) return UploadOK;

    auto owned = std::make_unique<TOwnedShoeboxList>();
    for (TShoeboxEntry& entry : entries) {
        owned->IdTexts.push_back(std::move(entry.Id));
        owned->NameTexts.push_back(std::move(entry.Name));
    }
    for (size_t i = 0; i < owned->IdTexts.size(); ++i) {
        owned->IdPointers.push_back(owned->IdTexts[i].data());
        owned->NamePointers.push_back(owned->NameTexts[i].data());
    }
    owned->Count = int32_t(owned->IdTexts.size());
    owned->Ids = owned->IdPointers.data();
    owned->Names = owned->NamePointers.data();
    *list = owned.release();
    lib.Lists.insert(*list);
    return UploadOK;
}

uint8_t VantuFreeShoeboxes(TVantuShoeboxList* list) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    // Only a list we handed out, and only once.
    if (!list || Library().Lists.erase(list) == 0) return UploadBadArgument;
    delete static_cast<TOwnedShoeboxList*>(list);
    return UploadOK;
}

uint8_t VantuCreateUpload(const char* customerID, const char* shoeboxName, const char* shoeboxID) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    lib.UploadStarted = false;
    lib.Photos.clear();
    if (!lib.Connection) return UploadNotConnected;
    if (!SameCustomer(customerID)) return UploadNotLoggedIn;

    TRequest request;
    const std::string id = shoeboxID ? shoeboxID : "";
    if (!id.empty()) {
        if (!IsTokenText(id, 64)) return UploadNoShoebox;
        request.Path = "/api/shoeboxes/" + QByteArray::fromStdString(id);
    } else {
        const QByteArray name = QByteArray(shoeboxName ? shoeboxName : "").trimmed();
        if (!IsValidName(name)) return UploadBadShoeboxName;
        request.Post = true;
        request.Path = "/api/shoeboxes";
        request.Form = FormField("name", name);
    }
    const TResponse response = lib.Connection->Perform(request);
    if (response.Code != UploadOK) return response.Code;
    if (const uint8_t code = CodeForStatus(TRequestKind::Shoebox, response.Status)) return code;
    TShoeboxReply reply;
    if (!ParseShoeboxReply(response.Body, reply)) return UploadInvalidPacket;
    if (!id.empty() && reply.Id != id) return UploadInvalidPacket;
    lib.ShoeboxId = reply.Id;
    lib.Page = reply.Page;
    lib.UploadStarted = true;
    return UploadOK;
}

uint8_t VantuAddImage(const char* fileName) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    if (!lib.UploadStarted) return UploadNotStarted;
    if (!fileName || !*fileName) return UploadBadArgument;
    if (!Readable(fileName)) return UploadFileNotFound;
    TPhotoPart photo;
    photo.Path = fileName;
    photo.Name = QFileInfo(QString::fromUtf8(fileName)).fileName().toStdString();
    lib.Photos.push_back(std::move(photo));
    return UploadOK;
}

uint8_t VantuUpload(TVantuUploadCallback callback, void* userData, char* buffer, int32_t bufferSize) {
    TBusy busy;
    if (busy.Refused()) return UploadBusy;
    TLibrary& lib = Library();
    if (!buffer || bufferSize < 1) return UploadBadArgument;
    buffer[0] = '\0';
    if (!lib.Connection) return UploadNotConnected;
    if (!lib.UploadStarted) return UploadNotStarted;

    std::string page = lib.Page;
    for (size_t i = 0; i < lib.Photos.size(); ++i) {
        const int32_t code = -int32_t(i + 1);
        if (callback && !callback(code, 0, userData)) return UploadCancelled;
        if (!Readable(lib.Photos[i].Path)) return UploadFileNotFound;
        int32_t lastPercent = 0;
        auto lastCall = std::chrono::steady_clock::now();
        TRequest request;
        request.Post = true;
        request.Path = "/api/shoeboxes/" + QByteArray::fromStdString(lib.ShoeboxId) + "/photos";
        request.Photo = &lib.Photos[i];
        // The callback hears each new percent, and at least every quarter
        // second otherwise so that Cancel works while nothing moves. 100 waits
        // for the server's word that the photo is stored.
        request.Progress = [&](int64_t sent, int64_t total) {
            const int32_t percent = total > 0 ? int32_t(std::min<int64_t>(99, sent * 100 / total)) : 0;
            const auto now = std::chrono::steady_clock::now();
            if (percent == lastPercent && now - lastCall < std::chrono::milliseconds(250)) return true;
            lastPercent = percent;
            lastCall = now;
            return !callback || callback(code, percent, userData);
        };
        const TResponse response = lib.Connection->Perform(request);
        if (response.Code != UploadOK) return response.Code;
        if (const uint8_t status = CodeForStatus(TRequestKind::Photo, response.Status)) return status;
        TPhotoReply reply;
        if (!ParsePhotoReply(response.Body, reply)) return UploadInvalidPacket;
        page = reply.Page;
        if (callback && !callback(code, 100, userData)) return UploadCancelled;
    }
    if (!CopyOut(page, UploadMaxResultTextChars, buffer, bufferSize)) return UploadInvalidPacket;
    return UploadOK;
}

} // extern "C"
