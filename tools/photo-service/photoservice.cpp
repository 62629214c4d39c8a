#include "tools/photo-service/photoservice.h"
#include "suite/upload/replies.h"
#include "suite/upload/upload.h"
#include "tools/photo-service/shoeboxpage.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>

namespace {

using httplib::Request;
using httplib::Response;

constexpr size_t MaxFormBytes = 16 * 1024;
const char* const PhotoRoute = R"(/api/shoeboxes/(\d{1,18})/photos)";

void Json(Response& res, int status, const QJsonObject& object) {
    res.status = status;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void Error(Response& res, int status, const char* word) { Json(res, status, {{"error", word}}); }

QJsonObject ShoeboxJson(const TShoebox& box) {
    return {{"id", QString::number(box.Id)}, {"name", QString::fromStdString(box.Name)},
            {"page", QString::fromStdString(box.Page)}};
}

std::string BearerToken(const Request& req) {
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    return header.compare(0, prefix.size(), prefix) == 0 ? header.substr(prefix.size()) : std::string();
}

// A photo as it arrives: its name part, and its bytes streamed into a new
// file with their digest, checked as they come.
struct TIncoming {
    std::string Part;        // the part being read
    std::string Name;
    std::string FileName;    // the photo part's own file name
    Platform::TSafeFolder::TNewFile File;
    TDigest Digest;
    int64_t Size = 0;
    int Photos = 0;
    QByteArray Head;         // the first bytes, for the JPEG check
    int Status = 0;          // a refusal found while reading
    const char* Word = nullptr;

    void Refuse(int status, const char* word) {
        if (Status) return;
        Status = status;
        Word = word;
        File = {};
    }
};

} // namespace

TPhotoService::TPhotoService(TPhotoServiceOptions options) : FOptions(std::move(options)), FStore(FOptions.Limits) {}

TPhotoService::~TPhotoService() { Stop(); }

bool TPhotoService::Open(QString& error) { return FStore.Open(FOptions.Root, error); }

QString TPhotoService::BaseUrl() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(FServer && !FOptions.CertFile.isEmpty() ? "https" : "http").arg(FPort);
}

std::vector<TRequestRecord> TPhotoService::Requests() const {
    std::lock_guard lock(FRequestsLock);
    return FRequests;
}

int TPhotoService::Start(int port, QString& error) {
    Stop();
    if (!FOptions.CertFile.isEmpty() || !FOptions.KeyFile.isEmpty()) {
        auto ssl = std::make_unique<httplib::SSLServer>(FOptions.CertFile.toLocal8Bit().constData(),
                                                        FOptions.KeyFile.toLocal8Bit().constData());
        if (!ssl->is_valid()) {
            error = QStringLiteral("cannot use the certificate %1 with the key %2").arg(FOptions.CertFile, FOptions.KeyFile);
            return 0;
        }
        FServer = std::move(ssl);
    } else {
        FServer = std::make_unique<httplib::Server>();
    }
    Route();
    FPort = port == 0 ? FServer->bind_to_any_port("127.0.0.1") : (FServer->bind_to_port("127.0.0.1", port) ? port : -1);
    if (FPort <= 0) {
        error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port);
        FServer.reset();
        FPort = 0;
        return 0;
    }
    FThread = std::thread([server = FServer.get()] { server->listen_after_bind(); });
    // Stop before the thread listens would not reach it: wait until it does.
    for (int i = 0; i < 5000 && !FServer->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return FPort;
}

void TPhotoService::Stop() {
    if (FServer) FServer->stop();
    if (FThread.joinable()) FThread.join();
    FServer.reset();
    FPort = 0;
}

void TPhotoService::Route() {
    httplib::Server& svr = *FServer;
    // A whole upload is kept on one connection.
    svr.set_keep_alive_max_count(100000);
    svr.set_keep_alive_timeout(5);
    svr.set_read_timeout(FOptions.ReadTimeoutSeconds, 0);
    svr.set_write_timeout(FOptions.ReadTimeoutSeconds, 0);
    svr.set_payload_max_length(size_t(FOptions.MaxPhotoBytes) + (size_t(1) << 20));
    svr.set_tcp_nodelay(true);
    svr.set_default_headers({{"X-Content-Type-Options", "nosniff"}});

    svr.set_logger([this](const Request& req, const Response& res) {
        TRequestRecord record{req.method, req.path, res.status, req.remote_port};
        {
            std::lock_guard lock(FRequestsLock);
            if (FRequests.size() >= 10000) FRequests.erase(FRequests.begin());
            FRequests.push_back(record);
        }
        if (FLog) FLog(record);
    });

    // Only a photo may be large.
    svr.set_pre_routing_handler([](const Request& req, Response& res) {
        if (req.path.find("/photos") == std::string::npos) {
            // A body of unknown length could only be measured by reading it.
            if (req.has_header("Transfer-Encoding")) {
                Error(res, 411, "length-required");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (req.get_header_value<uint64_t>("Content-Length") > MaxFormBytes) {
                Error(res, 413, "too-large");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    svr.Post("/api/login", [this](const Request& req, Response& res) {
        const std::string labGroup = req.get_param_value("labgroup"), user = req.get_param_value("user"),
                          password = req.get_param_value("password");
        std::string customerID, token;
        if (labGroup.size() > 64 || user.size() > 4 * UploadMaxNameChars || password.size() > 1024 ||
            !FStore.Login(labGroup, user, password, customerID, token))
            return Error(res, 401, "unknown-account");
        Json(res, 200, {{"customer_id", QString::fromStdString(customerID)}, {"token", QString::fromStdString(token)}});
    });

    svr.Get("/api/shoeboxes", [this](const Request& req, Response& res) {
        const auto account = FStore.Authenticate(BearerToken(req));
        if (!account) return Error(res, 401, "login");
        // The newest shoeboxes that fit the client's 64 KiB, oldest first.
        const std::vector<TShoebox> boxes = FStore.Shoeboxes(account->Id);
        std::vector<QJsonObject> entries;
        qsizetype bytes = 64;
        for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
            QJsonObject entry{{"id", QString::number(it->Id)}, {"name", QString::fromStdString(it->Name)}};
            bytes += QJsonDocument(entry).toJson(QJsonDocument::Compact).size() + 1;
            if (bytes > UploadMaxReplyBytes) break;
            entries.push_back(std::move(entry));
        }
        QJsonArray list;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) list.append(*it);
        Json(res, 200, {{"shoeboxes", list}});
    });

    svr.Post("/api/shoeboxes", [this](const Request& req, Response& res) {
        const auto account = FStore.Authenticate(BearerToken(req));
        if (!account) return Error(res, 401, "login");
        TShoebox box;
        switch (FStore.FindOrCreateShoebox(account->Id, req.get_param_value("name"), box)) {
        case TStoreResult::Ok: return Json(res, 200, ShoeboxJson(box));
        case TStoreResult::BadName: return Error(res, 400, "bad-name");
        case TStoreResult::Limit: return Error(res, 409, "limit");
        default: return Error(res, 500, "failed");
        }
    });

    svr.Get(R"(/api/shoeboxes/(\d{1,18}))", [this](const Request& req, Response& res) {
        const auto account = FStore.Authenticate(BearerToken(req));
        if (!account) return Error(res, 401, "login");
        TShoebox box;
        switch (FStore.Shoebox(account->Id, std::stoll(req.matches[1].str()), box)) {
        case TStoreResult::Ok: return Json(res, 200, ShoeboxJson(box));
        case TStoreResult::NotFound: return Error(res, 404, "no-shoebox");
        default: return Error(res, 500, "failed");
        }
    });

    svr.Post(PhotoRoute, [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
        TIncoming in;
        TShoebox box;
        const auto account = FStore.Authenticate(BearerToken(req));
        if (!account) in.Refuse(401, "login");
        else if (!req.is_multipart_form_data()) in.Refuse(400, "not-multipart");
        else if (const TStoreResult found = FStore.Shoebox(account->Id, std::stoll(req.matches[1].str()), box);
                 found != TStoreResult::Ok)
            in.Refuse(found == TStoreResult::NotFound ? 404 : 500, found == TStoreResult::NotFound ? "no-shoebox" : "failed");

        // The body is read to its end even when refused, so that the client
        // reads this answer and not a connection reset in the middle of its
        // sending.
        bool read = false;
        if (!req.is_multipart_form_data()) {
            read = reader([](const char*, size_t) { return true; });
        } else {
            read = reader(
                [&](const httplib::MultipartFormData& part) {
                    in.Part = part.name;
                    if (part.name == "photo") {
                        if (++in.Photos > 1) in.Refuse(400, "one-photo-a-request");
                        in.FileName = part.filename;
                        if (!in.Status) {
                            in.File = FStore.NewPhotoFile(box);
                            if (!in.File.IsOpen()) in.Refuse(500, "failed");
                        }
                    }
                    return true;
                },
                [&](const char* data, size_t size) {
                    if (in.Part == "name") {
                        if (in.Name.size() + size <= 4 * UploadMaxNameChars + 16) in.Name.append(data, size);
                    } else if (in.Part == "photo" && !in.Status) {
                        in.Size += int64_t(size);
                        if (in.Size > FOptions.MaxPhotoBytes) {
                            in.Refuse(413, "too-large");
                            return true;
                        }
                        if (in.Head.size() < 3) in.Head.append(data, qsizetype(std::min<size_t>(size, 3)));
                        if (in.Head.size() >= 3 && !in.Head.startsWith("\xFF\xD8\xFF")) {
                            in.Refuse(415, "not-jpeg");
                            return true;
                        }
                        in.Digest.Add(data, size);
                        if (!in.File.Write(data, qint64(size))) in.Refuse(500, "failed");
                    }
                    return true;
                });
        }
        if (!read) {
            res.set_header("Connection", "close");
            if (!in.Status) in.Refuse(400, "bad-body");
        }
        if (!in.Status && in.Photos == 0) in.Refuse(400, "no-photo");
        if (!in.Status && in.Head.size() < 3) in.Refuse(415, "not-jpeg");
        if (in.Status) return Error(res, in.Status, in.Word);

        const std::string name = TPhotoStore::PhotoName(in.Name.empty() ? in.FileName : in.Name);
        int seq = 0;
        switch (FStore.AddPhoto(box, name, in.File, in.Digest.Finish(), in.Size, seq)) {
        case TStoreResult::Ok: return Json(res, 201, {{"seq", seq}, {"page", QString::fromStdString(box.Page)}});
        case TStoreResult::Limit: return Error(res, 409, "limit");
        default: return Error(res, 500, "failed");
        }
    });

    svr.Get("/photo_index.asp", [this](const Request& req, Response& res) {
        TShoebox box;
        TAccount owner;
        res.set_header("Content-Security-Policy", "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'");
        // The page token is in the address: it goes to no other site.
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("Cache-Control", "no-store");
        if (!FStore.ShoeboxByPage(req.get_param_value("P"), box, owner) ||
            owner.CustomerID != req.get_param_value("CustomerID") || owner.LabGroup != req.get_param_value("R")) {
            res.status = 404;
            res.set_content(NotFoundPageHtml(), "text/html; charset=utf-8");
            return;
        }
        res.set_content(ShoeboxPageHtml(box, FStore.Photos(box.Id)), "text/html; charset=utf-8");
    });

    svr.Get(R"(/photos/([A-Za-z0-9_-]{1,100})/(\d{1,9})\.jpg)", [this](const Request& req, Response& res) {
        TShoebox box;
        TAccount owner;
        QByteArray data;
        if (!FStore.ShoeboxByPage(req.matches[1].str(), box, owner) ||
            !FStore.ReadPhoto(box, std::stoi(req.matches[2].str()), data, FOptions.MaxPhotoBytes)) {
            res.status = 404;
            return;
        }
        res.set_header("Cache-Control", "private, max-age=3600");
        res.set_content(data.toStdString(), "image/jpeg");
    });
}
