#include "bench/email.h"
#include "collection/roll.h"
#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "shell/startup.h"
#include "suite/email/email.h"
#include "suite/email/prepare.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <curl/curl.h>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

EMAILHANDLE MakeMessage(int port, const QStringList& photos) {
    const EMAILHANDLE h = EmailCreate();
    EmailSetFromAddress(h, "bench@lumora.test");
    EmailSetToAddress(h, "to@lumora.test");
    EmailSetCCAddress(h, "cc@lumora.test");
    EmailSetBCCAddress(h, "bcc@lumora.test");
    EmailSetSubject(h, "Grüße aus Lumora");
    EmailSetBody(h, "The photos of the first roll.\r\n");
    EmailSetServer(h, "127.0.0.1");
    EmailSetAccount(h, "");
    EmailSetPort(h, port);
    for (const QString& photo : photos) EmailAddAttachment(h, photo.toUtf8().constData());
    return h;
}

struct TUpload {
    const std::string* Data;
    size_t Offset;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* u = static_cast<TUpload*>(user);
    const size_t n = std::min(size * count, u->Data->size() - u->Offset);
    std::memcpy(buffer, u->Data->data() + u->Offset, n);
    u->Offset += n;
    return n;
}

// libcurl's SMTP upload as its documentation shows it, nothing more.
bool PlainUpload(int port, const std::string& message) {
    CURL* c = curl_easy_init();
    if (!c) return false;
    curl_slist* rcpt = nullptr;
    for (const char* to : {"<to@lumora.test>", "<cc@lumora.test>", "<bcc@lumora.test>"}) rcpt = curl_slist_append(rcpt, to);
    TUpload upload{&message, 0};
    const std::string url = "smtp://127.0.0.1:" + std::to_string(port);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, "<floor@lumora.test>");
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    const CURLcode rc = curl_easy_perform(c);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(c);
    return rc == CURLE_OK;
}

} // namespace

int RunEmailBench(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: lumora-bench email DISC_FOLDER PORT\n");
        return 2;
    }
    const int port = std::atoi(argv[3]);
    TAppState& state = AppState();
    InitSettingsModule({}, QDir(QString::fromLocal8Bit(argv[2])).filePath("Viewer/LMR"));
    if (ResolvePictureFolder(state) == TPictureFolder::NotFound) {
        std::fprintf(stderr, "no picture folder on %s\n", argv[2]);
        return 1;
    }
    OpenRotationFile(QString());
    TRollList rolls;
    if (BuildRollList(rolls, state).NoRolls) {
        std::fprintf(stderr, "no roll on %s\n", argv[2]);
        return 1;
    }
    TRoll* roll = rolls.Items(0);
    roll->Prepare();
    QStringList photos;
    for (int i = 0; i < roll->Count() && photos.size() < 20; ++i) {
        const QString path = roll->Items(i)->Folder + QStringLiteral("Large/") + roll->Items(i)->FileName;
        if (QFileInfo(path).isFile()) photos << path;
    }
    if (photos.isEmpty()) {
        std::fprintf(stderr, "the first roll holds no Large photo\n");
        return 1;
    }

    // The floor sends the bytes EmailSend builds, so both move the same message.
    std::string message;
    const EMAILHANDLE model = MakeMessage(port, photos);
    Email::MessageBytes(model, message);
    EmailDestroy(model);
    const double megabytes = message.size() / 1e6;

    // The two take turns, so a change in the machine's load falls on both.
    std::vector<double> ours, floor;
    for (int pass = 0; pass <= 5; ++pass) {  // pass 0 warms the caches and the server
        const EMAILHANDLE h = MakeMessage(port, photos);
        auto t0 = Clock::now();
        const int32_t result = EmailSend(h);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        EmailDestroy(h);
        if (result != EMAIL_OK) {
            std::fprintf(stderr, "EmailSend failed: %s (%d)\n", EmailResultText(result), result);
            return 1;
        }
        t0 = Clock::now();
        if (!PlainUpload(port, message)) {
            std::fprintf(stderr, "libcurl's upload failed\n");
            return 1;
        }
        const double floorSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
        if (pass == 0) continue;
        ours.push_back(megabytes / seconds);
        floor.push_back(megabytes / floorSeconds);
        std::printf("pass %d: EmailSend %.1f MB/s, libcurl %.1f MB/s (%zu bytes, %lld photos)\n", pass, ours.back(),
                    floor.back(), message.size(), static_cast<long long>(photos.size()));
    }
    rolls.Clear();
    CloseRotationFile();
    std::printf("email: %.1f MB/s curl %.1f MB/s\n", Median(ours), Median(floor));
    return 0;
}
