#include "bench/upload.h"
#include "suite/upload/upload.h"
#include "suite/upload/uploaderrors.h"
#include "tools/photo-service/photoservice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <vector>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct TTarget {
    QString Server, LabGroup = "lumora", User, Password;
};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Our library, as the wizard calls it; the seconds from VantuCreateUpload
// to the end of VantuUpload, or a negative value.
double UploadOurs(const TTarget& target, const QStringList& photos, int pass, QString& pageUrl) {
    auto fail = [](const char* step, uint8_t code) {
        std::fprintf(stderr, "upload: %s: %s\n", step, UploadErrorText(code));
        return -1.0;
    };
    if (uint8_t code = VantuInitSocket()) return fail("VantuInitSocket", code);
    if (uint8_t code = VantuInitServer(target.Server.toUtf8().constData(), 9501, 60000))
        return fail("VantuInitServer", code);
    char customerID[256] = {};
    if (uint8_t code = VantuGetCustomerID(target.LabGroup.toUtf8().constData(), target.User.toUtf8().constData(),
                                          target.Password.toUtf8().constData(), customerID, 254))
        return fail("VantuGetCustomerID", code);
    TVantuShoeboxList* list = nullptr;
    if (uint8_t code = VantuGetShoeboxes(customerID, &list)) return fail("VantuGetShoeboxes", code);
    if (list) VantuFreeShoeboxes(list);

    const QByteArray name = "Bench " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + " lumora " +
                            QByteArray::number(pass);
    const auto start = Clock::now();
    if (uint8_t code = VantuCreateUpload(customerID, name.constData(), "")) return fail("VantuCreateUpload", code);
    for (const QString& photo : photos)
        if (uint8_t code = VantuAddImage(photo.toUtf8().constData())) return fail("VantuAddImage", code);
    char page[101] = {};
    auto callback = [](int32_t, int32_t, void*) { return true; };
    if (uint8_t code = VantuUpload(callback, nullptr, page, 100)) return fail("VantuUpload", code);
    const double seconds = Seconds(start);

    // The shoebox page on the server the photos went to.
    QUrl base(target.Server.contains("://") ? target.Server : "https://" + target.Server);
    pageUrl = base.scheme() + "://" + base.authority() + base.path().chopped(base.path().endsWith('/')) +
              "/photo_index.asp?H=start.asp&CustomerID=" + QString::fromUtf8(QUrl::toPercentEncoding(customerID)) +
              "&L=shoebox&R=" + QString::fromUtf8(QUrl::toPercentEncoding(target.LabGroup)) + "&P=" + page +
              "&Img=001&N=EN/&M=y";
    VantuInitServer("", 0, 1);
    return seconds;
}

// The curl program's output; false when it failed.
bool RunCurl(const QStringList& args, const QByteArray& config, QByteArray& out) {
    QProcess curl;
    curl.start("curl", args);
    curl.write(config);
    curl.closeWriteChannel();
    if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
        std::fprintf(stderr, "upload: curl failed: %s\n", curl.readAllStandardError().constData());
        return false;
    }
    out = curl.readAllStandardOutput();
    return true;
}

// A text quoted for a curl config file.
QByteArray Quoted(const QString& text) {
    QByteArray out = "\"";
    for (char c : text.toUtf8()) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

// The curl program: a login and a shoebox made first, then the photos timed,
// one request each, in one process over one connection.
double UploadCurl(const TTarget& target, const QStringList& photos, int pass) {
    QString base = target.Server.contains("://") ? target.Server : "https://" + target.Server;
    while (base.endsWith('/')) base.chop(1);
    const QStringList common = {"-sS", "--fail", "--proto", "=http,https", "--noproxy", "*", "-K", "-"};
    QByteArray login, made, ignored;
    RunCurl(common, "url = " + Quoted(base + "/api/login") + "\ndata-urlencode = " +
                                                 Quoted("labgroup=" + target.LabGroup) + "\ndata-urlencode = " +
                                                 Quoted("user=" + target.User) + "\ndata-urlencode = " +
                                                 Quoted("password=" + target.Password) + "\n", login);
    const QString token = QJsonDocument::fromJson(login).object().value("token").toString();
    if (token.isEmpty()) {
        std::fprintf(stderr, "upload: curl's login failed: %s\n", login.constData());
        return -1;
    }
    const QByteArray auth = "header = " + Quoted("Authorization: Bearer " + token) + "\n";
    const QByteArray name = "Bench " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + " curl " +
                            QByteArray::number(pass);
    RunCurl(common, "url = " + Quoted(base + "/api/shoeboxes") + "\n" + auth + "data-urlencode = " + Quoted("name=" + name) + "\n", made);
    const QString id = QJsonDocument::fromJson(made).object().value("id").toString();
    if (id.isEmpty()) {
        std::fprintf(stderr, "upload: curl made no shoebox\n");
        return -1;
    }
    QByteArray config;
    for (const QString& photo : photos) {
        if (!config.isEmpty()) config += "next\n";
        config += "url = " + Quoted(base + "/api/shoeboxes/" + id + "/photos") + "\n" + auth +
                  "header = \"Expect:\"\noutput = \"/dev/null\"\nform = " +
                  Quoted("photo=@\"" + QString(photo).replace('"', "\\\"") + "\";type=image/jpeg") + "\n";
    }
    const auto start = Clock::now();
    if (!RunCurl(common, config, ignored)) return -1;
    return Seconds(start);
}

} // namespace

int RunUploadBench(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TTarget target;
    QString folder;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        auto value = [&] { return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString(); };
        if (arg == "--server") target.Server = value();
        else if (arg == "--user") target.User = value();
        else if (arg == "--password") target.Password = value();
        else if (arg == "--labgroup") target.LabGroup = value();
        else folder = arg;
    }
    QStringList photos;
    for (const QFileInfo& fi : QDir(folder).entryInfoList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files, QDir::Name))
        if (photos.size() < 50) photos << fi.absoluteFilePath();
    if (folder.isEmpty() || photos.isEmpty() || target.Server.isEmpty() != target.User.isEmpty()) {
        std::fprintf(stderr, "usage: lumora-bench upload [--server URL --user U --password P] [--labgroup G] DIR\n");
        return 2;
    }
    qint64 bytes = 0;
    for (const QString& p : photos) bytes += QFileInfo(p).size();

    // Our own service on loopback when none is named.
    QTemporaryDir root;
    std::unique_ptr<TPhotoService> service;
    if (target.Server.isEmpty()) {
        TPhotoServiceOptions options;
        options.Root = root.path() + "/service";
        service = std::make_unique<TPhotoService>(options);
        QString error;
        target.User = "bench";
        target.Password = QString::number(QDateTime::currentMSecsSinceEpoch());
        if (!service->Open(error) ||
            service->Store().AddUser(target.LabGroup.toStdString(), target.User.toStdString(),
                                     target.Password.toStdString(), error).empty() ||
            service->Start(0, error) == 0) {
            std::fprintf(stderr, "upload: %s\n", qPrintable(error));
            return 1;
        }
        target.Server = service->BaseUrl();
    }
    std::printf("%lld photos, %.1f MB, to %s\n", static_cast<long long>(photos.size()), bytes / 1e6,
                qPrintable(target.Server));
    // The server's disk syncs dominate and vary: both sides take turns, three
    // times each, and the median of each counts.
    std::vector<double> ours, curl;
    for (int pass = 1; pass <= 3; ++pass) {
        QString pageUrl;
        ours.push_back(UploadOurs(target, photos, pass, pageUrl));
        if (ours.back() < 0) return 1;
        if (pass == 1) std::printf("shoebox: %s\n", qPrintable(pageUrl));
        curl.push_back(UploadCurl(target, photos, pass));
        if (curl.back() < 0) return 1;
        std::printf("pass %d: lumora %.3f s, curl %.3f s\n", pass, ours.back(), curl.back());
    }
    std::sort(ours.begin(), ours.end());
    std::sort(curl.begin(), curl.end());
    std::printf("median: %.2fx curl's rate\n", curl[1] / ours[1]);
    std::printf("upload: %.1f MB/s curl %.1f MB/s\n", bytes / 1e6 / ours[1], bytes / 1e6 / curl[1]);
    return 0;
}
