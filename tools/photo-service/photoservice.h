#pragma once
// The reference photo service: the HTTP(S) side of the upload protocol
// (suite/upload/PROTOCOL.md) and the shoebox pages, over a TPhotoStore.
// It listens on 127.0.0.1 only. Tests and the bench run it in-process;
// photo-service (main.cpp) runs it as a program.
#include "tools/photo-service/photostore.h"

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

struct TPhotoServiceOptions {
    QString Root;
    TStoreLimits Limits;
    int64_t MaxPhotoBytes = int64_t(64) << 20;
    // A client that sends nothing for this long is dropped.
    int ReadTimeoutSeconds = 30;
    // Both set: HTTPS with this certificate chain and key (PEM files).
    QString CertFile, KeyFile;
};

// One answered request, as the log shows it: never a body, never a query.
struct TRequestRecord {
    std::string Method;
    std::string Path;
    int Status = 0;
    int RemotePort = 0;   // tells the connections apart
};

class TPhotoService {
public:
    explicit TPhotoService(TPhotoServiceOptions options);
    ~TPhotoService();
    TPhotoService(const TPhotoService&) = delete;
    TPhotoService& operator=(const TPhotoService&) = delete;

    // Opens the store under Root.
    bool Open(QString& error);
    TPhotoStore& Store() { return FStore; }

    // Serves on 127.0.0.1:Port (0: a free port) from a thread of its own;
    // the port, or 0 with Error.
    int Start(int port, QString& error);
    // Stops serving and waits for the thread.
    void Stop();
    int Port() const { return FPort; }
    // "http://127.0.0.1:PORT" or https.
    QString BaseUrl() const;

    std::vector<TRequestRecord> Requests() const;
    // Called for every answered request, on the serving threads.
    void SetRequestLog(std::function<void(const TRequestRecord&)> log) { FLog = std::move(log); }

private:
    void Route();

    TPhotoServiceOptions FOptions;
    TPhotoStore FStore;
    std::unique_ptr<httplib::Server> FServer;
    std::thread FThread;
    int FPort = 0;
    mutable std::mutex FRequestsLock;
    std::vector<TRequestRecord> FRequests;
    std::function<void(const TRequestRecord&)> FLog;
};
