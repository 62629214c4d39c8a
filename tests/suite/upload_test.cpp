// The upload library against the reference photo service on 127.0.0.1, over
// HTTP and HTTPS, and against servers that misbehave.
#include "suite/upload/replies.h"
#include "suite/upload/serveraddress.h"
#include "suite/upload/upload.h"
#include "suite/upload/uploaderrors.h"
#include "support/fixtures.h"
#include "support/photoservice.h"
#include "tools/photo-service/shoeboxpage.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct TCall {
    int32_t Code, Percent;
};

// Records the callback's calls; answers false at (StopCode, StopPercent or more).
struct TRecorder {
    std::vector<TCall> Calls;
    int32_t StopCode = 0;
    int32_t StopPercent = 0;
    static bool Callback(int32_t code, int32_t percent, void* self) {
        auto* r = static_cast<TRecorder*>(self);
        r->Calls.push_back({code, percent});
        return !(code == r->StopCode && percent >= r->StopPercent);
    }
};

// Photos written to a temporary folder.
struct TPhotoFiles {
    TTempFolder Folder;
    std::vector<QString> Paths;
    std::vector<QByteArray> Bytes;
    void Add(const QString& name, const QByteArray& bytes) {
        Paths.push_back(Folder.Write(name, bytes));
        Bytes.push_back(bytes);
    }
};

uint8_t Upload(const std::string& customerID, const char* shoeboxName, const char* shoeboxID,
               const TPhotoFiles& photos, TRecorder& recorder, std::string& page) {
    if (const uint8_t code = VantuCreateUpload(customerID.c_str(), shoeboxName, shoeboxID)) return code;
    for (const QString& path : photos.Paths)
        if (const uint8_t code = VantuAddImage(path.toUtf8().constData())) return code;
    char buffer[101] = {};
    const uint8_t code = VantuUpload(TRecorder::Callback, &recorder, buffer, 100);
    page = buffer;
    return code;
}

int PhotoRequests(TTestService& server) {
    int n = 0;
    for (const TRequestRecord& r : server.Service().Requests()) n += r.Path.find("/photos") != std::string::npos;
    return n;
}

class UploadTransport : public ::testing::TestWithParam<TTestService::TTls> {};

// The wizard's whole road: login, shoeboxes, three photos into a new shoebox
// and one more into the existing one, over one kept connection.
TEST_P(UploadTransport, LoginShoeboxesAndPhotosInOrder) {
    ASSERT_TRUE(TestCertificates().Ok);
    TTestService server(GetParam());
    ASSERT_TRUE(server.Ok());

    struct {
        const char *LabGroup, *User, *Password;
        uint8_t Code;
    } logins[] = {
        {TestLabGroup, TestUser, "wrong", UploadAccountNotFound},
        {TestLabGroup, "bob", TestPassword, UploadAccountNotFound},
        {"other", TestUser, TestPassword, UploadAccountNotFound},
        {TestLabGroup, "Ann", TestPassword, UploadAccountNotFound},
        {TestLabGroup, TestUser, "", UploadAccountNotFound},
        {TestLabGroup, TestUser, TestPassword, UploadOK},
    };
    std::string customerID;
    for (const auto& row : logins) {
        SCOPED_TRACE(std::string(row.User) + "/" + row.Password);
        EXPECT_EQ(LibraryLogin(server.Url(), customerID, 10000, row.Password, row.User, row.LabGroup), row.Code);
    }
    EXPECT_EQ(customerID, server.CustomerID());
    EXPECT_STREQ(UploadErrorText(UploadAccountNotFound), "User account was not found.");

    TVantuShoeboxList* list = reinterpret_cast<TVantuShoeboxList*>(1);
    ASSERT_EQ(VantuGetShoeboxes(customerID.c_str(), &list), UploadOK);
    EXPECT_EQ(list, nullptr);

    TPhotoFiles photos;
    photos.Add("first.jpg", MakeUploadPhoto(1));
    photos.Add("Zweites Bild ü.jpg", MakeUploadPhoto(2, 300000));
    photos.Add("third.jpg", MakeUploadPhoto(3));
    TRecorder recorder;
    std::string page;
    ASSERT_EQ(Upload(customerID, "Summer & Sea", "", photos, recorder, page), UploadOK);

    // Each picture announced at 0 and confirmed at 100, in order, never backwards.
    std::vector<int32_t> starts, ends;
    int32_t lastCode = 0, lastPercent = 0;
    for (const TCall& call : recorder.Calls) {
        if (call.Percent == 0) starts.push_back(call.Code);
        if (call.Percent == 100) ends.push_back(call.Code);
        if (call.Code == lastCode) {
            EXPECT_GE(call.Percent, lastPercent);
        }
        lastCode = call.Code;
        lastPercent = call.Percent;
    }
    EXPECT_EQ(starts, (std::vector<int32_t>{-1, -2, -3}));
    EXPECT_EQ(ends, (std::vector<int32_t>{-1, -2, -3}));

    ASSERT_EQ(VantuGetShoeboxes(customerID.c_str(), &list), UploadOK);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count, 1);
    EXPECT_STREQ(list->Names[0], "Summer & Sea");
    const std::string id = list->Ids[0];
    EXPECT_EQ(VantuFreeShoeboxes(list), UploadOK);

    // An existing shoebox goes by its ID.
    TPhotoFiles more;
    more.Add("fourth.jpg", MakeUploadPhoto(4));
    TRecorder again;
    std::string samePage;
    ASSERT_EQ(Upload(customerID, "ignored", id.c_str(), more, again, samePage), UploadOK);
    EXPECT_EQ(samePage, page);

    TShoebox box;
    TAccount owner;
    ASSERT_TRUE(server.Store().ShoeboxByPage(page, box, owner));
    const std::vector<TStoredPhoto> stored = server.Store().Photos(box.Id);
    ASSERT_EQ(stored.size(), 4u);
    const QByteArray expected[] = {photos.Bytes[0], photos.Bytes[1], photos.Bytes[2], more.Bytes[0]};
    const char* names[] = {"first.jpg", "Zweites Bild ü.jpg", "third.jpg", "fourth.jpg"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(stored[i].Name, names[i]);
        QByteArray bytes;
        ASSERT_TRUE(server.Store().ReadPhoto(box, stored[i].Seq, bytes, 1 << 24));
        EXPECT_EQ(bytes, expected[i]) << names[i];
    }

    // The page shows them, each from the address that serves its bytes.
    const QString pageUrl = server.Url() + "/photo_index.asp?H=start.asp&CustomerID=" +
                            QString::fromStdString(customerID) + "&L=shoebox&R=lumora&P=" +
                            QString::fromStdString(page) + "&Img=001&N=EN/&M=y";
    long status = 0;
    const QByteArray html = HttpGet(pageUrl, &status);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(html.contains("Summer &amp; Sea"));
    for (int i = 0; i < 4; ++i) {
        const QByteArray src = QByteArray::fromStdString(PhotoAddress(page, stored[i].Seq));
        EXPECT_EQ(html.count("src=\"" + src + "\""), 1);
        EXPECT_EQ(HttpGet(server.Url() + QString::fromLatin1(src)), expected[i]);
    }


    // One request per photo, those of one upload over one connection (the
    // log is whole once the server has stopped).
    server.Stop();
    std::vector<int> ports;
    for (const TRequestRecord& r : server.Service().Requests())
        if (r.Path.find("/photos") != std::string::npos && r.Method == "POST") ports.push_back(r.RemotePort);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0], ports[1]);
    EXPECT_EQ(ports[0], ports[2]);
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, UploadTransport,
                         ::testing::Values(TTestService::TTls::None, TTestService::TTls::Loopback));

// What the server refuses stops the upload at that photo with its code;
// the photos before it stay stored, the ones after it are never sent.
TEST(UploadServerFailures, SecondPhotoRefusedGivesItsCode) {
    enum class TFault { NotJpeg, TooLarge, FolderIsLink, ShoeboxFull };
    struct {
        TFault Fault;
        uint8_t Code;
    } rows[] = {
        {TFault::NotJpeg, UploadNotJpeg},
        {TFault::TooLarge, UploadTooLarge},
        {TFault::FolderIsLink, UploadServerFailed},
        {TFault::ShoeboxFull, UploadLimitReached},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.Fault));
        TPhotoServiceOptions options;
        options.MaxPhotoBytes = 200000;
        options.Limits.MaxPhotosPerShoebox = row.Fault == TFault::ShoeboxFull ? 1 : 10;
        TTestService server(TTestService::TTls::None, options);
        ASSERT_TRUE(server.Ok());
        std::string customerID;
        ASSERT_EQ(LibraryLogin(server.Url(), customerID), UploadOK);
        TPhotoFiles photos;
        photos.Add("1.jpg", MakeUploadPhoto(1));
        photos.Add("2.jpg", row.Fault == TFault::NotJpeg    ? QByteArray("GIF89a not a photo at all")
                            : row.Fault == TFault::TooLarge ? MakeUploadPhoto(2, 300000)
                                                            : MakeUploadPhoto(2));
        photos.Add("3.jpg", MakeUploadPhoto(3));
        TRecorder recorder;
        // The shoebox's folder swapped for a link to elsewhere before the second photo.
        TTempFolder elsewhere;
        recorder.StopCode = 1;  // never stops
        std::string page;
        ASSERT_EQ(VantuCreateUpload(customerID.c_str(), "Box", ""), UploadOK);
        for (const QString& path : photos.Paths) ASSERT_EQ(VantuAddImage(path.toUtf8().constData()), UploadOK);
        struct TSwap {
            TRecorder* Recorder;
            QString Folder, Target;
            bool Swap;
        } swap{&recorder, server.Root() + "/photos/1", elsewhere.Path(), row.Fault == TFault::FolderIsLink};
        auto callback = [](int32_t code, int32_t percent, void* p) {
            auto* s = static_cast<TSwap*>(p);
            if (s->Swap && code == -2 && percent == 0) {
                QDir(s->Folder).removeRecursively();
                QFile::link(s->Target, s->Folder);
            }
            return TRecorder::Callback(code, percent, s->Recorder);
        };
        char buffer[101] = {};
        EXPECT_EQ(VantuUpload(callback, &swap, buffer, 100), row.Code);
        server.Stop();
        EXPECT_EQ(PhotoRequests(server), 2);
        EXPECT_TRUE(QDir(elsewhere.Path()).isEmpty());
        TShoebox box;
        ASSERT_EQ(server.Store().Shoebox(1, 1, box), TStoreResult::Ok);
        EXPECT_EQ(server.Store().Photos(box.Id).size(), 1u);
    }
}

TEST(UploadCancel, FalseFromTheCallbackStopsWithCode10) {
    TTestService server;
    ASSERT_TRUE(server.Ok());
    std::string customerID;
    ASSERT_EQ(LibraryLogin(server.Url(), customerID), UploadOK);
    TPhotoFiles photos;
    for (int i = 1; i <= 3; ++i) photos.Add(QString("%1.jpg").arg(i), MakeUploadPhoto(i, 2000000));
    TRecorder recorder;
    recorder.StopCode = -2;
    recorder.StopPercent = 1;
    std::string page;
    EXPECT_EQ(Upload(customerID, "Box", "", photos, recorder, page), UploadCancelled);
    EXPECT_STREQ(UploadErrorText(UploadCancelled), "Upload was cancelled");
    EXPECT_EQ(recorder.Calls.back().Code, -2);
    TShoebox box;
    ASSERT_EQ(server.Store().Shoebox(1, 1, box), TStoreResult::Ok);
    EXPECT_EQ(server.Store().Photos(box.Id).size(), 1u);
    // The next attempt starts afresh and sends each photo once.
    TRecorder retry;
    EXPECT_EQ(Upload(customerID, "Box", "", photos, retry, page), UploadOK);
    EXPECT_EQ(server.Store().Photos(box.Id).size(), 3u);
}

// The transport rule, decided before anything is sent: a refused server
// leaves the library without one, so the login that follows sends nothing.
TEST(UploadTransportRule, SchemesAndHosts) {
    struct {
        const char* Server;
        bool AllowPlain;
        uint8_t Code;
    } rows[] = {
        {"photos.lumora.invalid", false, UploadOK},
        {"https://photos.lumora.invalid:8443/upload/", false, UploadOK},
        {"HTTPS://photos.lumora.invalid", false, UploadOK},
        {"photos.lumora.invalid:8443", false, UploadOK},
        {"http://127.0.0.1", false, UploadOK},
        {"http://127.8.9.10:8080", false, UploadOK},
        {"http://localhost", false, UploadOK},
        {"http://[::1]:9501", false, UploadOK},
        {"http://photos.lumora.invalid", false, UploadPlainHTTPRefused},
        {"http://10.1.2.3", false, UploadPlainHTTPRefused},
        {"http://127.0.0.1.photos.invalid", false, UploadPlainHTTPRefused},
        {"http://[::ffff:10.0.0.1]", false, UploadPlainHTTPRefused},
        {"http://photos.lumora.invalid", true, UploadOK},
        {"ftp://127.0.0.1", true, UploadBadScheme},
        {"file:///etc/passwd", true, UploadBadScheme},
        {"gopher://localhost", false, UploadBadScheme},
        {"https://user:pw@photos.lumora.invalid", false, UploadBadServer},
        {"https://photos.lumora.invalid/?next=x", false, UploadBadServer},
        {"https://", false, UploadBadServer},
        {"", false, UploadBadServer},
        {"https://photos lumora.invalid", false, UploadBadServer},
        {"https://photos.lumora.invalid:99999", false, UploadBadServer},
    };
    ASSERT_EQ(VantuInitSocket(), UploadOK);
    VantuSetTrustedCA(nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Server);
        VantuAllowPlainHTTP(row.AllowPlain);
        EXPECT_EQ(VantuInitServer(row.Server, 9501, 1000), row.Code);
        if (row.Code != UploadOK) {
            char buffer[256];
            EXPECT_EQ(VantuGetCustomerID("lumora", "ann", "secret", buffer, 254), UploadNotConnected);
        }
    }
    VantuAllowPlainHTTP(0);

    struct {
        const char* Address;
        bool Loopback;
    } addresses[] = {{"127.0.0.1", true}, {"127.255.0.9", true}, {"::1", true}, {"::ffff:127.0.0.1", true},
                     {"10.0.0.1", false}, {"0.0.0.0", false},    {"::", false}, {"::ffff:10.0.0.1", false}};
    for (const auto& row : addresses) {
        sockaddr_storage address{};
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        if (inet_pton(AF_INET, row.Address, &in->sin_addr) == 1) in->sin_family = AF_INET;
        else if (inet_pton(AF_INET6, row.Address, &in6->sin6_addr) == 1) in6->sin6_family = AF_INET6;
        EXPECT_EQ(IsLoopbackAddress(reinterpret_cast<sockaddr*>(&address)), row.Loopback) << row.Address;
    }
}

// A certificate that fails the checks ends the login in the TLS handshake:
// the server never sees the request that carries the password.
TEST(UploadTransportRule, CertificatesAreChecked) {
    ASSERT_TRUE(TestCertificates().Ok);
    struct {
        TTestService::TTls Tls;
        bool TrustCA;
        uint8_t Code;
    } rows[] = {
        {TTestService::TTls::Loopback, true, UploadOK},
        {TTestService::TTls::Loopback, false, UploadCertificate},
        {TTestService::TTls::OtherName, true, UploadCertificate},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.Tls) * 2 + row.TrustCA);
        TTestService server(row.Tls);
        ASSERT_TRUE(server.Ok());
        VantuInitSocket();
        VantuSetTrustedCA(row.TrustCA ? TestCertificates().CA.toUtf8().constData() : nullptr);
        ASSERT_EQ(VantuInitServer(server.Url().toUtf8().constData(), 0, 10000), UploadOK);
        char buffer[256];
        EXPECT_EQ(VantuGetCustomerID(TestLabGroup, TestUser, TestPassword, buffer, 254), row.Code);
        server.Stop();
        EXPECT_EQ(server.Service().Requests().size(), row.Code == UploadOK ? 1u : 0u);
    }
}

// A server that answers with a canned reply (or not at all) to every
// connection, on a free port of 127.0.0.1.
class TCannedServer {
public:
    TCannedServer(QByteArray reply, bool hangAfter) : FReply(std::move(reply)), FHang(hangAfter) {
        FSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(FSocket, reinterpret_cast<sockaddr*>(&address), size);
        listen(FSocket, 4);
        getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &size);
        FPort = ntohs(address.sin_port);
        FThread = std::thread([this] { Serve(); });
    }
    ~TCannedServer() {
        FStop = true;
        shutdown(FSocket, SHUT_RDWR);
        FThread.join();
        close(FSocket);
    }
    int Port() const { return FPort; }

private:
    void Serve() {
        while (!FStop) {
            const int client = accept(FSocket, nullptr, nullptr);
            if (client < 0) return;
            // Reads the request head (a login's small body comes with it).
            QByteArray request;
            char chunk[4096];
            while (!request.contains("\r\n\r\n") && !FReply.isNull()) {
                const ssize_t n = recv(client, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                request.append(chunk, n);
            }
            for (qsizetype sent = 0; sent < FReply.size();) {
                const ssize_t n = send(client, FReply.constData() + sent, size_t(FReply.size() - sent), MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += n;
            }
            while (FHang && !FStop) usleep(20000);
            close(client);
        }
    }

    QByteArray FReply;
    bool FHang;
    int FSocket = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// Replies that are too large, malformed or never come.
TEST(UploadBadReplies, EndWithInvalidPacketOrTimeout) {
    const QByteArray big(10 * 1024 * 1024, 'x');
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
    struct {
        const char* Case;
        QByteArray Reply;   // null: nothing read, nothing sent
        bool Hang;
        bool Https;
        uint8_t Code;
    } rows[] = {
        {"10 MB with its length", head + "Content-Length: 10485760\r\n\r\n" + big, false, false, UploadInvalidPacket},
        {"10 MB until closed", head + "\r\n" + big, false, false, UploadInvalidPacket},
        {"10 MB of headers", "HTTP/1.1 200 OK\r\n" + QByteArray("X-Pad: 1234567\r\n").repeated(655360), false, false,
         UploadInvalidPacket},
        {"not HTTP", "\x16\x03garbage\r\n\r\n", false, false, UploadInvalidPacket},
        {"not JSON", head + "Content-Length: 9\r\n\r\n<h1>x</h1", false, false, UploadInvalidPacket},
        {"customer ID too long",
         head + "Content-Length: 327\r\n\r\n{\"customer_id\":\"" + QByteArray(300, '7') + "\",\"token\":\"abc\"}", false,
         false, UploadInvalidPacket},
        {"a redirect", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n", false,
         false, UploadRedirected},
        {"closed without a word", "", false, false, UploadNotConnected},
        {"no answer", "", true, false, UploadTimedOut},
        {"stalls in the body", head + "Content-Length: 100\r\n\r\n{\"custo", true, false, UploadTimedOut},
        {"no TLS handshake", QByteArray(), true, true, UploadConnectTimeout},
    };
    VantuInitSocket();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Case);
        TCannedServer server(row.Reply, row.Hang);
        const QString url = QString("%1://127.0.0.1:%2").arg(row.Https ? "https" : "http").arg(server.Port());
        ASSERT_EQ(VantuInitServer(url.toUtf8().constData(), 0, 1000), UploadOK);
        char buffer[256] = "left over";
        EXPECT_EQ(VantuGetCustomerID(TestLabGroup, TestUser, TestPassword, buffer, 254), row.Code);
        EXPECT_STREQ(buffer, "");
    }
}

// Calls out of order, or with what the library never handed out.
TEST(UploadCallOrder, RefusedWithTheirCodes) {
    TTestService server;
    ASSERT_TRUE(server.Ok());
    TTempFolder folder;
    const QString photo = folder.Write("a.jpg", MakeUploadPhoto(1));
    char buffer[256];
    TVantuShoeboxList* list = nullptr;
    std::string customerID;
    ASSERT_EQ(LibraryLogin(server.Url(), customerID), UploadOK);
    struct TReentry {
        uint8_t Inner = 0;
    } reentry;
    auto reenter = [](int32_t, int32_t, void* p) {
        static_cast<TReentry*>(p)->Inner = VantuCreateUpload("x", "y", "");
        return true;
    };

    EXPECT_EQ(VantuAddImage(photo.toUtf8().constData()), UploadNotStarted);
    EXPECT_EQ(VantuUpload(nullptr, nullptr, buffer, 100), UploadNotStarted);
    EXPECT_EQ(VantuGetShoeboxes("123", &list), UploadNotLoggedIn);
    EXPECT_EQ(VantuCreateUpload(customerID.c_str(), " \t ", ""), UploadBadShoeboxName);
    EXPECT_EQ(VantuCreateUpload(customerID.c_str(), std::string(256, 'n').c_str(), ""), UploadBadShoeboxName);
    EXPECT_EQ(VantuCreateUpload(customerID.c_str(), "Box", "999"), UploadNoShoebox);
    EXPECT_EQ(VantuCreateUpload(customerID.c_str(), "Box", "../1"), UploadNoShoebox);
    ASSERT_EQ(VantuCreateUpload(customerID.c_str(), "Box", ""), UploadOK);
    EXPECT_EQ(VantuAddImage((folder.Path() + "missing.jpg").toUtf8().constData()), UploadFileNotFound);
    EXPECT_EQ(VantuAddImage(folder.Path().toUtf8().constData()), UploadFileNotFound);
    ASSERT_EQ(VantuAddImage(photo.toUtf8().constData()), UploadOK);
    EXPECT_EQ(VantuUpload(reenter, &reentry, buffer, 100), UploadOK);
    EXPECT_EQ(reentry.Inner, UploadBusy);
    ASSERT_EQ(VantuGetShoeboxes(customerID.c_str(), &list), UploadOK);
    EXPECT_EQ(VantuFreeShoeboxes(list), UploadOK);
    EXPECT_EQ(VantuFreeShoeboxes(list), UploadBadArgument);
    // A new server drops the login.
    ASSERT_EQ(VantuInitServer(server.Url().toUtf8().constData(), 0, 1000), UploadOK);
    EXPECT_EQ(VantuCreateUpload(customerID.c_str(), "Box", ""), UploadNotLoggedIn);
    for (int code = 0; code <= UploadLastCode; ++code) EXPECT_STRNE(UploadErrorText(code), "") << code;
}

// Bounds of the replies the parser takes.
TEST(UploadReplies, ShoeboxListBounds) {
    auto list = [](int count, const QByteArray& name, bool sameIds = false) {
        QByteArray json = "{\"shoeboxes\":[";
        for (int i = 0; i < count; ++i)
            json += (i ? "," : "") + QByteArray("{\"id\":\"") + QByteArray::number(sameIds ? 1 : i) +
                    "\",\"name\":\"" + name + "\"}";
        return json + "]}";
    };
    struct {
        const char* Case;
        QByteArray Body;
        bool Ok;
    } rows[] = {
        {"1000 shoeboxes", list(1000, "Box"), true},
        {"1001 shoeboxes", list(1001, "Box"), false},
        {"none", list(0, "Box"), true},
        {"255 characters", list(1, QString(255, QChar(0xE9)).toUtf8()), true},
        {"256 characters", list(1, QByteArray(256, 'n')), false},
        {"a control character", list(1, "a\\u0007b"), false},
        {"a lone surrogate", list(1, "a\\ud800b"), false},
        {"an empty name", list(1, ""), false},
        {"the same ID twice", list(2, "Box", true), false},
        {"an ID with a slash", "{\"shoeboxes\":[{\"id\":\"1/2\",\"name\":\"a\"}]}", false},
        {"more than 64 KiB", "{\"shoeboxes\":[], \"pad\":\"" + QByteArray(70000, ' ') + "\"}", false},
        {"an array", "[]", false},
    };
    for (const auto& row : rows) {
        std::vector<TShoeboxEntry> entries;
        EXPECT_EQ(ParseShoeboxListReply(row.Body, entries), row.Ok) << row.Case;
    }
}

} // namespace
