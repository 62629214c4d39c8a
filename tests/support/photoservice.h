#pragma once
// The reference photo service for tests: started in this process on a free
// port of 127.0.0.1 and stopped with the object, with one account; test
// certificates; photos to upload; a plain HTTP(S) GET.
#include "tools/photo-service/photoservice.h"
#include "support/fixtures.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>

inline constexpr const char* TestLabGroup = "lumora";
inline constexpr const char* TestUser = "ann";
inline constexpr const char* TestPassword = "a pass phrase";

// Made with the openssl program: a CA, a certificate it signed for
// 127.0.0.1 and localhost, and one it signed for photos.test only.
struct TTestCertificates {
    QString CA, Cert, Key, OtherCert, OtherKey;
    bool Ok = false;
};
const TTestCertificates& TestCertificates();

class TTestService {
public:
    enum class TTls { None, Loopback, OtherName };
    explicit TTestService(TTls tls = TTls::None, TPhotoServiceOptions options = {});
    ~TTestService();
    bool Ok() const { return FOk; }
    // Stops serving, once the library has closed its kept connection.
    void Stop();
    TPhotoService& Service() { return *FService; }
    TPhotoStore& Store() { return FService->Store(); }
    QString Root() const { return FRoot.Path() + "root"; }
    const std::string& CustomerID() const { return FCustomerID; }
    // "https://127.0.0.1:PORT" or http.
    QString Url() const { return FService->BaseUrl(); }

private:
    TTempFolder FRoot;
    std::unique_ptr<TPhotoService> FService;
    std::string FCustomerID;
    bool FOk = false;
};

// The library's login to Server with the test account (or the values given);
// its code. Trusts the test CA.
uint8_t LibraryLogin(const QString& server, std::string& customerID, int timeoutMs = 10000,
                     const char* password = TestPassword, const char* user = TestUser,
                     const char* labGroup = TestLabGroup);
// A JPEG drawn from Seed, followed by Padding bytes after its end (which a
// viewer ignores), so that a photo can be made as large as needed.
QByteArray MakeUploadPhoto(int seed, int padding = 0);
// GET of Url over libcurl, trusting the test CA; the body, and Status.
QByteArray HttpGet(const QString& url, long* status = nullptr);
