#include "support/photoservice.h"
#include "support/photos.h"
#include "suite/upload/upload.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <curl/curl.h>

namespace {

bool RunOpenssl(const QStringList& args) {
    QProcess p;
    p.start("openssl", args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool MakeServerCertificate(const QString& dir, const QString& name, const QString& altNames) {
    QFile ext(dir + name + ".ext");
    if (!ext.open(QIODevice::WriteOnly)) return false;
    ext.write(("subjectAltName=" + altNames +
               "\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n").toUtf8());
    ext.close();
    return RunOpenssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                       dir + name + ".key", "-out", dir + name + ".csr", "-subj", "/CN=" + name}) &&
           RunOpenssl({"x509", "-req", "-in", dir + name + ".csr", "-CA", dir + "ca.pem", "-CAkey", dir + "ca.key",
                       "-CAcreateserial", "-days", "2", "-out", dir + name + ".pem", "-extfile", dir + name + ".ext"});
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<QByteArray*>(out)->append(data, qsizetype(size * count));
    return size * count;
}

} // namespace

const TTestCertificates& TestCertificates() {
    static TTempFolder folder;
    static TTestCertificates certs = [] {
        TTestCertificates c;
        const QString dir = folder.Path();
        c.Ok = RunOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                           "-keyout", dir + "ca.key", "-out", dir + "ca.pem", "-days", "2", "-subj",
                           "/CN=Lumora Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                           "keyUsage=critical,keyCertSign,cRLSign"}) &&
               MakeServerCertificate(dir, "loopback", "IP:127.0.0.1,DNS:localhost") &&
               MakeServerCertificate(dir, "other", "DNS:photos.test");
        c.CA = dir + "ca.pem";
        c.Cert = dir + "loopback.pem";
        c.Key = dir + "loopback.key";
        c.OtherCert = dir + "other.pem";
        c.OtherKey = dir + "other.key";
        return c;
    }();
    return certs;
}

TTestService::TTestService(TTls tls, TPhotoServiceOptions options) {
    options.Root = Root();
    // A fast hash: the slow one is the product's, not the tests' business.
    if (options.Limits.PasswordRounds == DefaultPasswordRounds) options.Limits.PasswordRounds = 1000;
    if (tls != TTls::None) {
        const TTestCertificates& certs = TestCertificates();
        options.CertFile = tls == TTls::Loopback ? certs.Cert : certs.OtherCert;
        options.KeyFile = tls == TTls::Loopback ? certs.Key : certs.OtherKey;
    }
    FService = std::make_unique<TPhotoService>(options);
    QString error;
    FOk = FService->Open(error);
    if (FOk) FCustomerID = FService->Store().AddUser(TestLabGroup, TestUser, TestPassword, error);
    FOk = FOk && !FCustomerID.empty() && FService->Start(0, error) > 0;
    if (!FOk) qWarning("test photo service: %s", qPrintable(error));
}

TTestService::~TTestService() { Stop(); }

void TTestService::Stop() {
    // A server waits for its clients' kept connections to go idle; the
    // library lets its connection go when its server is reset.
    VantuInitServer("", 0, 1);
    FService->Stop();
}

uint8_t LibraryLogin(const QString& server, std::string& customerID, int timeoutMs, const char* password,
                     const char* user, const char* labGroup) {
    VantuInitSocket();
    VantuSetTrustedCA(TestCertificates().CA.toUtf8().constData());
    if (const uint8_t code = VantuInitServer(server.toUtf8().constData(), 9501, timeoutMs)) return code;
    char buffer[256] = {};
    const uint8_t code = VantuGetCustomerID(labGroup, user, password, buffer, 254);
    customerID = buffer;
    return code;
}

QByteArray MakeUploadPhoto(int seed, int padding) {
    QByteArray jpeg = EncodeTestJpeg(MakePhotoLikeImage(320, 240, seed), 85);
    QByteArray tail(padding, '\0');
    QRandomGenerator random{quint32(seed)};
    for (char& c : tail) c = char(random.bounded(256));
    return jpeg + tail;
}

QByteArray HttpGet(const QString& url, long* status) {
    QByteArray body;
    CURL* curl = curl_easy_init();
    const QByteArray address = url.toUtf8(), ca = TestCertificates().CA.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_CAINFO, ca.constData());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    if (status) *status = code;
    curl_easy_cleanup(curl);
    return body;
}
