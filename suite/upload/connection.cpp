#include "suite/upload/connection.h"
#include "suite/upload/replies.h"
#include "suite/upload/upload.h"

#include <curl/curl.h>

#include <chrono>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

// What one transfer has seen, for its callbacks and for the code it ends with.
struct TTransfer {
    const TRequest* Request = nullptr;
    const TServerAddress* Address = nullptr;
    std::chrono::milliseconds Stall{60000};
    QByteArray Body;
    int64_t HeaderBytes = 0;
    bool Connected = false;      // the request is about to go out on a live connection
    bool Oversized = false;
    bool Stalled = false;
    bool Cancelled = false;
    bool AddressRefused = false;
    int64_t LastBytes = -1;
    Clock::time_point LastMove = Clock::now();
};

size_t OnBody(char* data, size_t size, size_t count, void* p) {
    auto* t = static_cast<TTransfer*>(p);
    const size_t n = size * count;
    if (t->Body.size() + qsizetype(n) > UploadMaxReplyBytes) {
        t->Oversized = true;
        return 0;
    }
    t->Body.append(data, qsizetype(n));
    return n;
}

size_t OnHeader(char*, size_t size, size_t count, void* p) {
    auto* t = static_cast<TTransfer*>(p);
    t->HeaderBytes += int64_t(size * count);
    if (t->HeaderBytes > UploadMaxReplyBytes) {
        t->Oversized = true;
        return 0;
    }
    return size * count;
}

int OnConnected(void* p, char*, char*, int, int) {
    auto* t = static_cast<TTransfer*>(p);
    t->Connected = true;
    t->LastMove = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// libcurl calls this often while bytes move and about once a second when
// they do not; a connection that moved nothing for the timeout is stalled.
int OnProgress(void* p, curl_off_t, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) {
    auto* t = static_cast<TTransfer*>(p);
    const auto now = Clock::now();
    const int64_t moved = int64_t(downNow) + int64_t(upNow);
    if (!t->Connected || moved != t->LastBytes) {
        t->LastBytes = moved;
        t->LastMove = now;
    } else if (now - t->LastMove >= t->Stall) {
        t->Stalled = true;
        return 1;
    }
    if (t->Request->Progress && !t->Request->Progress(int64_t(upNow), int64_t(upTotal))) {
        t->Cancelled = true;
        return 1;
    }
    return 0;
}

// Plain HTTP was allowed because the host is loopback: refuse to connect to
// whatever else the name resolves to, so nothing leaves this computer.
curl_socket_t OnOpenSocket(void* p, curlsocktype, curl_sockaddr* address) {
    auto* t = static_cast<TTransfer*>(p);
    if (t->Address->LoopbackOnly && !IsLoopbackAddress(&address->addr)) {
        t->AddressRefused = true;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

uint8_t CodeFor(CURLcode code, const TTransfer& t) {
    if (t.Cancelled) return UploadCancelled;
    if (t.Stalled) return UploadTimedOut;
    if (t.Oversized) return UploadInvalidPacket;
    if (t.AddressRefused) return UploadPlainHTTPRefused;
    switch (code) {
    case CURLE_OK: return UploadOK;
    case CURLE_OPERATION_TIMEDOUT: return t.Connected ? UploadTimedOut : UploadConnectTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
        return UploadConnectFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return UploadCertificate;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_HTTP2:
        return UploadInvalidPacket;
    case CURLE_READ_ERROR: return UploadFileNotFound;
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FAILED_INIT:
        return UploadSocketFailed;
    default: return UploadNotConnected;
    }
}

} // namespace

TUploadConnection::~TUploadConnection() {
    if (FCurl) curl_easy_cleanup(FCurl);
}

uint8_t TUploadConnection::Open(const TServerAddress& address, int timeoutMs, const std::string& caFile) {
    if (!FCurl) FCurl = curl_easy_init();
    if (!FCurl) return UploadSocketFailed;
    FAddress = address;
    FTimeoutMs = timeoutMs;
    FCAFile = caFile;
    FToken.clear();
    return UploadOK;
}

TResponse TUploadConnection::Perform(const TRequest& request) {
    TResponse response;
    if (!FCurl) {
        response.Code = UploadNotConnected;
        return response;
    }
    TTransfer t;
    t.Request = &request;
    t.Address = &FAddress;
    t.Stall = std::chrono::milliseconds(FTimeoutMs);

    // Every option is set anew for each request; the reset keeps the
    // handle's live connection, so the next request reuses it.
    curl_easy_reset(FCurl);
    const QByteArray url = FAddress.Url(request.Path);
    curl_easy_setopt(FCurl, CURLOPT_URL, url.constData());
    curl_easy_setopt(FCurl, CURLOPT_PROTOCOLS_STR, FAddress.Https ? "https" : "http");
    curl_easy_setopt(FCurl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(FCurl, CURLOPT_PROXY, "");
    curl_easy_setopt(FCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(FCurl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(FCurl, CURLOPT_USERAGENT, "Lumora-Upload/1");
    curl_easy_setopt(FCurl, CURLOPT_CONNECTTIMEOUT_MS, long(FTimeoutMs));
    curl_easy_setopt(FCurl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(FCurl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(FCurl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!FCAFile.empty()) {
        curl_easy_setopt(FCurl, CURLOPT_CAINFO, FCAFile.c_str());
        curl_easy_setopt(FCurl, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(FCurl, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(FCurl, CURLOPT_OPENSOCKETDATA, &t);
    curl_easy_setopt(FCurl, CURLOPT_PREREQFUNCTION, OnConnected);
    curl_easy_setopt(FCurl, CURLOPT_PREREQDATA, &t);
    curl_easy_setopt(FCurl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(FCurl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(FCurl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(FCurl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(FCurl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(UploadMaxReplyBytes));
    curl_easy_setopt(FCurl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(FCurl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(FCurl, CURLOPT_XFERINFODATA, &t);

    curl_slist* headers = curl_slist_append(nullptr, "Accept: application/json");
    // No "Expect: 100-continue": it costs a round trip (or a second's wait)
    // per photo, and the server reads every body anyway.
    headers = curl_slist_append(headers, "Expect:");
    std::string authorization;
    if (!FToken.empty()) {
        authorization = "Authorization: Bearer " + FToken;
        headers = curl_slist_append(headers, authorization.c_str());
    }
    curl_easy_setopt(FCurl, CURLOPT_HTTPHEADER, headers);

    curl_mime* mime = nullptr;
    if (request.Photo) {
        mime = curl_mime_init(FCurl);
        curl_mimepart* name = curl_mime_addpart(mime);
        curl_mime_name(name, "name");
        curl_mime_data(name, request.Photo->Name.data(), request.Photo->Name.size());
        curl_mimepart* photo = curl_mime_addpart(mime);
        curl_mime_name(photo, "photo");
        curl_mime_type(photo, "image/jpeg");
        curl_mime_filename(photo, "photo.jpg");
        if (curl_mime_filedata(photo, request.Photo->Path.c_str()) != CURLE_OK) {
            curl_mime_free(mime);
            curl_slist_free_all(headers);
            response.Code = UploadFileNotFound;
            return response;
        }
        curl_easy_setopt(FCurl, CURLOPT_MIMEPOST, mime);
    } else if (request.Post) {
        // Not copied, so the body (a password, maybe) lives only in the caller's buffer.
        curl_easy_setopt(FCurl, CURLOPT_POSTFIELDS, request.Form.constData());
        curl_easy_setopt(FCurl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.Form.size()));
    } else {
        curl_easy_setopt(FCurl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(FCurl);
    curl_easy_getinfo(FCurl, CURLINFO_RESPONSE_CODE, &response.Status);
    // Nothing of this request stays in the handle.
    curl_easy_setopt(FCurl, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(FCurl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(FCurl, CURLOPT_MIMEPOST, nullptr);
    curl_slist_free_all(headers);
    if (mime) curl_mime_free(mime);

    response.Code = CodeFor(code, t);
    response.Body = std::move(t.Body);
    return response;
}
