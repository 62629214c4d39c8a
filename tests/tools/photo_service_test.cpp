// The reference photo service: its program, a kill in the middle of an
// upload, its shoebox page in a real browser, and what it refuses.
#include "suite/upload/upload.h"
#include "support/fixtures.h"
#include "support/photoservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <csignal>

namespace {

QString ServicePath() {
    const QString folder = qEnvironmentVariableIsEmpty("LUMORA_TOOLS_DIR")
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/../tools")
                               : qEnvironmentVariable("LUMORA_TOOLS_DIR");
    return QDir::cleanPath(folder + QStringLiteral("/photo-service"));
}

// The photo-service program serving Root on a free port.
class TServiceProcess {
public:
    explicit TServiceProcess(const QString& root) {
        FProcess.start(ServicePath(), {"--root", root, "--port", "0"});
        if (!FProcess.waitForReadyRead(20000)) return;
        const QString line = QString::fromUtf8(FProcess.readLine()).trimmed();
        if (line.startsWith("serving ")) FUrl = line.mid(8).chopped(1);
    }
    ~TServiceProcess() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.terminate();
            FProcess.waitForFinished(20000);
        }
    }
    QString Url() const { return FUrl; }
    void Kill() {
        ::kill(pid_t(FProcess.processId()), SIGKILL);
        FProcess.waitForFinished(20000);
    }
    int Stop() {
        FProcess.terminate();
        FProcess.waitForFinished(20000);
        return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
    }
    QByteArray ErrorOutput() { return FProcess.readAllStandardError(); }

private:
    QProcess FProcess;
    QString FUrl;
};

QString PageUrl(const QString& base, const std::string& customerID, const std::string& page) {
    return base + "/photo_index.asp?H=start.asp&CustomerID=" + QString::fromStdString(customerID) +
           "&L=shoebox&R=lumora&P=" + QString::fromStdString(page) + "&Img=001&N=EN/&M=y";
}

QStringList ImageSources(const QByteArray& html) {
    QStringList sources;
    const QRegularExpression img("<img[^>]*src=\"([^\"]+)\"");
    for (const QRegularExpressionMatch& m : img.globalMatch(QString::fromUtf8(html))) sources << m.captured(1);
    return sources;
}

// Photos of the test account uploaded through the library into Shoebox;
// the page token, or empty.
std::string UploadPhotos(const QString& server, const QString& shoebox, const QStringList& files, uint8_t& code,
                         TVantuUploadCallback callback = nullptr, void* data = nullptr) {
    std::string customerID;
    code = LibraryLogin(server, customerID);
    if (code) return {};
    TVantuShoeboxList* list = nullptr;
    std::string id;
    if ((code = VantuGetShoeboxes(customerID.c_str(), &list))) return {};
    for (int i = 0; list && i < list->Count; ++i)
        if (shoebox == QString::fromUtf8(list->Names[i])) id = list->Ids[i];
    if (list) VantuFreeShoeboxes(list);
    if ((code = VantuCreateUpload(customerID.c_str(), shoebox.toUtf8().constData(), id.c_str()))) return {};
    for (const QString& f : files)
        if ((code = VantuAddImage(f.toUtf8().constData()))) return {};
    char buffer[101] = {};
    code = VantuUpload(callback, data, buffer, 100);
    return buffer;
}

TEST(PhotoServiceProgram, CommandLine) {
    if (!QFileInfo(ServicePath()).isExecutable()) GTEST_SKIP() << "photo-service is not built";
    TTempFolder folder;
    const QString root = folder.Path() + "root";
    struct {
        QStringList Args;
        int Exit;
        const char* Out;   // a pattern of the standard output
    } rows[] = {
        {{"--root", root, "--add-user", "lumora", "ann", "pw"}, 0, "^[1-9][0-9]{8}\n$"},
        {{"--root", root, "--add-user", "lumora", "ann", "other"}, 1, "^$"},
        {{"--root", root, "--add-user", "lumora", "bob", "-"}, 0, "^[1-9][0-9]{8}\n$"},
        {{"--root", root, "--add-user", "", "carl", "pw"}, 1, "^$"},
        {{}, 2, "^$"},
        {{"--root", root}, 2, "^$"},
        {{"--root", root, "--port", "0", "--add-user", "lumora", "dan", "pw"}, 2, "^$"},
        {{"--root", root, "--port", "0", "--cert", root + "/none.pem"}, 2, "^$"},
        {{"--root", root, "--port", "0", "--cert", root + "/none.pem", "--key", root + "/none.key"}, 1, "^$"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Args.join(' ').toStdString());
        QProcess p;
        p.start(ServicePath(), row.Args);
        p.write("secret from stdin\n");
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), row.Exit);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(QRegularExpression(row.Out)));
    }
    // The database and the photos are the owner's alone.
    EXPECT_EQ(QFileInfo(root).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
}

// Killed in the middle of a photo and started again, the service shows only
// whole photos, and the same upload done again completes the shoebox with
// each photo once.
TEST(PhotoServiceProgram, KilledDuringAnUpload) {
    if (!QFileInfo(ServicePath()).isExecutable()) GTEST_SKIP() << "photo-service is not built";
    TTempFolder folder;
    const QString root = folder.Path() + "root";
    QProcess add;
    add.start(ServicePath(), {"--root", root, "--add-user", TestLabGroup, TestUser, TestPassword});
    ASSERT_TRUE(add.waitForFinished(30000));
    const std::string customerID = add.readAllStandardOutput().trimmed().toStdString();
    ASSERT_EQ(add.exitCode(), 0);

    // Larger than what the sockets hold, so the kill lands while bytes move.
    QStringList files;
    QList<QByteArray> bytes;
    for (int i = 1; i <= 3; ++i) {
        bytes << MakeUploadPhoto(i, 6 << 20);
        files << folder.Write(QString("photo %1.jpg").arg(i), bytes.last());
    }

    auto server = std::make_unique<TServiceProcess>(root);
    ASSERT_FALSE(server->Url().isEmpty());
    struct TKill {
        TServiceProcess* Server;
        bool Done = false;
    } kill{server.get()};
    auto callback = [](int32_t code, int32_t percent, void* p) {
        auto* k = static_cast<TKill*>(p);
        if (code == -2 && percent >= 10 && !k->Done) {
            k->Server->Kill();
            k->Done = true;
        }
        return true;
    };
    uint8_t code = 0;
    UploadPhotos(server->Url(), "Interrupted", files, code, callback, &kill);
    EXPECT_TRUE(kill.Done);
    // The connection breaks, or (when libcurl tries again) no new one is made.
    EXPECT_TRUE(code == UploadNotConnected || code == UploadConnectFailed) << int(code);

    server = std::make_unique<TServiceProcess>(root);
    ASSERT_FALSE(server->Url().isEmpty());
    // No upload left behind on the disk or the page but the whole first photo.
    EXPECT_EQ(QDir(root + "/photos/1").entryList(QDir::Files | QDir::Hidden).size(), 1);
    std::string page = UploadPhotos(server->Url(), "Interrupted", {}, code);
    ASSERT_EQ(code, UploadOK);
    QStringList sources = ImageSources(HttpGet(PageUrl(server->Url(), customerID, page)));
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(HttpGet(server->Url() + sources[0]), bytes[0]);

    page = UploadPhotos(server->Url(), "Interrupted", files, code);
    ASSERT_EQ(code, UploadOK);
    sources = ImageSources(HttpGet(PageUrl(server->Url(), customerID, page)));
    ASSERT_EQ(sources.size(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(HttpGet(server->Url() + sources[i]), bytes[i]) << i;
    VantuInitServer("", 0, 1);
    EXPECT_EQ(server->Stop(), 0);
    const QByteArray log = server->ErrorOutput();
    EXPECT_TRUE(log.contains("POST /api/login 200"));
    EXPECT_FALSE(log.contains(TestPassword));
}

// The page as a person sees it: chromium-headless-shell against the service
// on loopback, with every other host name unresolvable.
TEST(PhotoServicePage, ShownInABrowser) {
    const QString browser = "/usr/bin/chromium-headless-shell";
    if (!QFileInfo(browser).isExecutable()) GTEST_SKIP() << "chromium-headless-shell is not installed";
    TTestService server;
    ASSERT_TRUE(server.Ok());
    TTempFolder folder;
    const QStringList names = {"Harbour at dawn.jpg", "<img src=x onerror=alert(1)> & \"quoted\".jpg", "Grandmother's garden.jpg",
                               "Lighthouse.jpg"};
    QStringList files;
    for (int i = 0; i < names.size(); ++i) files << folder.Write(names[i], MakeUploadPhoto(i + 11));
    uint8_t code = 0;
    const std::string page = UploadPhotos(server.Url(), "Summer <2024> & more", files, code);
    ASSERT_EQ(code, UploadOK);
    const QString url = PageUrl(server.Url(), server.CustomerID(), page);

    const QString shot = qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") + "/shoebox-page.png";
    QDir().mkpath(QFileInfo(shot).path());
    QFile::remove(shot);
    const QStringList common = {"--no-sandbox", "--disable-gpu", "--disable-background-networking",
                                "--disable-component-update", "--disable-default-apps", "--disable-sync",
                                "--disable-extensions", "--no-first-run", "--no-pings", "--disable-breakpad",
                                "--metrics-recording-only", "--no-proxy-server", "--hide-scrollbars",
                                "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                                "--user-data-dir=" + folder.Path() + "profile", "--window-size=1200,440"};
    QProcess screenshot;
    screenshot.start(browser, common + QStringList{"--screenshot=" + shot, url});
    ASSERT_TRUE(screenshot.waitForFinished(120000));
    QProcess dom;
    dom.start(browser, common + QStringList{"--dump-dom", url});
    ASSERT_TRUE(dom.waitForFinished(120000));
    const QByteArray html = dom.readAllStandardOutput();

    const QImage image(shot);
    ASSERT_FALSE(image.isNull()) << screenshot.readAllStandardError().toStdString();
    // The photos' own colours fill the picture, not the page's plain ones.
    int photoPixels = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            photoPixels += std::abs(c.red() - c.blue()) > 40 || std::abs(c.green() - c.blue()) > 40;
        }
    EXPECT_GT(photoPixels, image.width() * image.height() / 16 / 8);

    const QStringList sources = ImageSources(html);
    ASSERT_EQ(sources.size(), names.size()) << html.toStdString();
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(sources.count(sources[i]), 1);
        EXPECT_EQ(HttpGet(server.Url() + sources[i]), ReadFileBytes(files[i]));
    }
    // A name is text, never markup: no image more than the photos.
    EXPECT_TRUE(html.contains("&lt;img src=x onerror=alert(1)&gt; &amp; \"quoted\".jpg")) << html.toStdString();
    EXPECT_TRUE(html.contains("<h1>Summer &lt;2024&gt; &amp; more</h1>"));
}

QByteArray JsonText(const QByteArray& json, const char* key) {
    return QJsonDocument::fromJson(json).object().value(QLatin1String(key)).toString().toUtf8();
}

struct TRaw {
    long Status = 0;
    QByteArray Body;
};

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<QByteArray*>(out)->append(data, qsizetype(size * count));
    return size * count;
}

TRaw Post(const QString& url, const QByteArray& body, const QList<QByteArray>& headers) {
    TRaw raw;
    CURL* curl = curl_easy_init();
    const QByteArray address = url.toUtf8();
    curl_slist* list = nullptr;
    for (const QByteArray& h : headers) list = curl_slist_append(list, h.constData());
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &raw.Body);
    curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &raw.Status);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return raw;
}

QByteArray Multipart(const QList<QPair<QByteArray, QByteArray>>& parts) {
    QByteArray body;
    for (const auto& [header, content] : parts)
        body += "--XyZ\r\nContent-Disposition: form-data; " + header + "\r\n\r\n" + content + "\r\n";
    return body + "--XyZ--\r\n";
}

// Requests that leave their bounds, or reach what is not theirs; and the
// names photos are kept and shown by, whatever they were sent as.
TEST(PhotoServiceRequests, RefusedAndNamed) {
    TTestService server;
    ASSERT_TRUE(server.Ok());
    QString error;
    ASSERT_FALSE(server.Store().AddUser(TestLabGroup, "eve", "pw", error).empty());
    const QByteArray login = "labgroup=lumora&user=ann&password=a%20pass%20phrase";
    const QByteArray token = JsonText(Post(server.Url() + "/api/login", login, {}).Body, "token");
    const QByteArray eveToken = JsonText(Post(server.Url() + "/api/login", "labgroup=lumora&user=eve&password=pw", {}).Body, "token");
    ASSERT_FALSE(token.isEmpty());
    const QByteArray bearer = "Authorization: Bearer " + token;
    const QByteArray page = JsonText(Post(server.Url() + "/api/shoeboxes", "name=Mine", {bearer}).Body, "page");
    const QByteArray jpeg = MakeUploadPhoto(5);
    const QByteArray multipart = "Content-Type: multipart/form-data; boundary=XyZ";
    const QByteArray photoHeader = "name=\"photo\"; filename=\"x.jpg\"";
    const QString photos = server.Url() + "/api/shoeboxes/1/photos";
    struct {
        const char* Case;
        QString Url;
        QByteArray Body;
        QList<QByteArray> Headers;
        long Status;
    } rows[] = {
        {"a login of 20 KB", server.Url() + "/api/login", login + "&pad=" + QByteArray(20000, 'p'), {}, 413},
        {"a shoebox name of 256", server.Url() + "/api/shoeboxes", "name=" + QByteArray(256, 'n'), {bearer}, 400},
        {"a shoebox name with a line break", server.Url() + "/api/shoeboxes", "name=a%0Ab", {bearer}, 400},
        {"a photo without a login", photos, Multipart({{photoHeader, jpeg}}), {multipart}, 401},
        {"a photo into another's shoebox", photos, Multipart({{photoHeader, jpeg}}),
         {multipart, "Authorization: Bearer " + eveToken}, 404},
        {"two photos in one request", photos, Multipart({{photoHeader, jpeg}, {photoHeader, jpeg}}), {multipart, bearer}, 400},
        {"no photo", photos, Multipart({{"name=\"name\"", "x.jpg"}}), {multipart, bearer}, 400},
        {"not multipart", photos, jpeg, {"Content-Type: image/jpeg", bearer}, 400},
    };
    for (const auto& row : rows) EXPECT_EQ(Post(row.Url, row.Body, row.Headers).Status, row.Status) << row.Case;

    struct {
        QByteArray Sent;
        const char* Kept;
    } names[] = {
        {"../../etc/passwd.jpg", "passwd.jpg"},
        {"C:\\Photos\\Holiday.jpg", "Holiday.jpg"},
        {"tab\there.jpg", "tabhere.jpg"},
        {"..", "photo.jpg"},
        {"  ", "photo.jpg"},
        {QByteArray(300, 'x'), nullptr},
    };
    int seq = 0;
    for (const auto& row : names) {
        const QByteArray body = Multipart({{"name=\"name\"", row.Sent}, {photoHeader, MakeUploadPhoto(100 + seq)}});
        ASSERT_EQ(Post(photos, body, {multipart, bearer}).Status, 201) << row.Sent.toStdString();
        ++seq;
    }
    TShoebox box;
    ASSERT_EQ(server.Store().Shoebox(1, 1, box), TStoreResult::Ok);
    const std::vector<TStoredPhoto> stored = server.Store().Photos(box.Id);
    ASSERT_EQ(stored.size(), std::size(names));
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].Name, names[i].Kept ? names[i].Kept : std::string(255, 'x'));
        EXPECT_FALSE(QString::fromStdString(stored[i].File).contains('/'));
    }
    // The files stay in the shoebox's folder, the page shows each once.
    EXPECT_EQ(QDir(server.Root() + "/photos/1").entryList(QDir::Files | QDir::Hidden).size(), int(std::size(names)));
    const QStringList sources =
        ImageSources(HttpGet(PageUrl(server.Url(), server.CustomerID(), page.toStdString())));
    EXPECT_EQ(sources.size(), int(std::size(names)));
    // The page needs its owner's customer ID and lab group besides its token.
    long status = 0;
    HttpGet(PageUrl(server.Url(), "123456789", page.toStdString()), &status);
    EXPECT_EQ(status, 404);
    HttpGet(server.Url() + "/photos/" + page + "x/1.jpg", &status);
    EXPECT_EQ(status, 404);
}

} // namespace
