#pragma once
// One kept connection to the photo service over libcurl: the requests of a
// login and its uploads go over the same handle, so they share one TCP (and
// TLS) connection while the server keeps it open.
#include "suite/upload/serveraddress.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <string>

typedef void CURL;

struct TPhotoPart {
    std::string Path;        // the file sent
    std::string Name;        // the name the server keeps (UTF-8, no folder)
};

struct TRequest {
    bool Post = false;
    QByteArray Path;                 // "/api/...", already encoded
    QByteArray Form;                 // an application/x-www-form-urlencoded body
    const TPhotoPart* Photo = nullptr; // a multipart/form-data body with this photo
    // Told the bytes of the body sent so far and their total; false stops.
    std::function<bool(int64_t sent, int64_t total)> Progress;
};

struct TResponse {
    uint8_t Code = 0;         // UploadOK when a reply came whole
    long Status = 0;          // its HTTP status
    QByteArray Body;
};

class TUploadConnection {
public:
    TUploadConnection() = default;
    ~TUploadConnection();
    TUploadConnection(const TUploadConnection&) = delete;
    TUploadConnection& operator=(const TUploadConnection&) = delete;

    // UploadOK, or UploadSocketFailed when no handle can be made.
    uint8_t Open(const TServerAddress& address, int timeoutMs, const std::string& caFile);
    void SetToken(const std::string& token) { FToken = token; }
    TResponse Perform(const TRequest& request);

private:
    CURL* FCurl = nullptr;
    TServerAddress FAddress;
    int FTimeoutMs = 60000;
    std::string FCAFile;
    std::string FToken;
};
