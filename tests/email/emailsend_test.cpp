// EmailSend against a real SMTP server (aiosmtpd) on 127.0.0.1: what
// arrives, what must never arrive, and how each failure is told.
#include "suite/email/email.h"
#include "support/fixtures.h"
#include "support/smtpsink.h"
#include <QJsonArray>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>
#include <atomic>
#include <functional>
#include <random>
#include <thread>

namespace {

struct TMail {
    int Port = 0;
    QString From = "Lumora User <from@lumora.test>";
    QString To = "to@lumora.test";
    QString Cc, Bcc, Subject = "Photos", Body = "Hello";
    QStringList Attachments;
    QString Account, Password = "secret", CaFile;
    bool TrustLoopback = true, PlainAuth = false;
    int IdleSeconds = 10;
};

struct TLog {
    std::vector<std::pair<int, int>> Progress;
    std::vector<std::string> Status;
    std::function<void(const std::string&)> OnStatus;
};

void Progress(uint8_t kind, int32_t value, void* user) { static_cast<TLog*>(user)->Progress.emplace_back(kind, value); }
void Status(const char* text, void* user) {
    auto* log = static_cast<TLog*>(user);
    log->Status.emplace_back(text);
    if (log->OnStatus) log->OnStatus(text);
}

// The calls in the order the program makes them.
int32_t Send(const TMail& m, TLog* log = nullptr, std::atomic<EMAILHANDLE>* handle = nullptr) {
    TLog local;
    if (!log) log = &local;
    const EMAILHANDLE h = EmailCreate();
    if (handle) *handle = h;
    EmailSetFromAddress(h, m.From.toUtf8());
    EmailSetToAddress(h, m.To.toUtf8());
    EmailSetCCAddress(h, m.Cc.toUtf8());
    EmailSetBCCAddress(h, m.Bcc.toUtf8());
    EmailSetSubject(h, m.Subject.toUtf8());
    EmailSetBody(h, m.Body.toUtf8());
    EmailSetServer(h, "127.0.0.1");
    EmailSetAccount(h, m.Account.toUtf8());
    EmailSetPassword(h, m.Password.toUtf8());
    EmailSetPort(h, m.Port);
    for (const QString& path : m.Attachments) EmailAddAttachment(h, path.toUtf8());
    EmailSetTrustLoopback(h, m.TrustLoopback);
    EmailSetPlainAuth(h, m.PlainAuth);
    EmailSetTimeouts(h, 10, m.IdleSeconds);
    if (!m.CaFile.isEmpty()) EmailSetCAFile(h, m.CaFile.toUtf8());
    EmailSetProgressCallback(h, Progress, log);
    EmailSetStatusCallback(h, Status, log);
    EXPECT_EQ(EmailGetAttachmentNumber(h), m.Attachments.size());
    const int32_t result = EmailSend(h);
    EmailDestroy(h);
    return result;
}

QByteArray RandomBytes(int size, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray out(size, 0);
    for (char& c : out) c = char(gen());
    return out;
}

QStringList Strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& item : v.toArray()) out << item.toString();
    return out;
}

} // namespace

TEST(EmailSend, EveryPartArrivesIntactAndBccStaysHidden) {
    TSmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    TTempFolder folder;
    const QByteArray ferry = RandomBytes(200000, 1), small = RandomBytes(1000, 2), empty;
    const QString longName = QString("Sehr langer Dateiname einer Fähre über den großen See ").repeated(2) + ".jpg";
    TMail m;
    m.Port = sink.Port();
    m.To = "Ann Example <ann@lumora.test>, bob@lumora.test";
    m.Cc = "\"Müller, Jörg\" <joerg@lumora.test>";
    m.Bcc = "hidden@lumora.test";
    m.Subject = QString("Grüße aus Lumora: die Fähre über den See, ") .repeated(4) + "Ende";
    m.Body = "Hallo Jörg,\r\n.\r\n" + QString(2000, 'x') + "\r\nFrom the ferry \r\n" + QString(2000, QChar(0xFC)) +
             "\r\n.\r\nEnde";
    m.Attachments = {folder.Write("Fähre 1.jpg", ferry), folder.Write("b/IMG_0002.jpg", small),
                     folder.Write(longName, empty)};
    TLog log;
    ASSERT_EQ(Send(m, &log), EMAIL_OK) << log.Status.back();

    ASSERT_EQ(sink.MessageCount(), 1);
    const QJsonObject got = sink.Message(1);
    const QByteArray raw = sink.Raw(1);
    EXPECT_EQ(got["mail_from"].toString(), "from@lumora.test");
    EXPECT_EQ(Strings(got["rcpt_tos"]),
              QStringList({"ann@lumora.test", "bob@lumora.test", "joerg@lumora.test", "hidden@lumora.test"}));
    EXPECT_FALSE(raw.contains("hidden")) << "a Bcc address reached the message";
    EXPECT_EQ(Strings(got["headers"]),
              QStringList({"Date", "Message-ID", "From", "To", "Cc", "Subject", "MIME-Version", "Content-Type"}));
    EXPECT_EQ(got["subject"].toString(), m.Subject);
    EXPECT_EQ(got["from"].toString(), m.From);
    EXPECT_EQ(got["to"].toString(), m.To);
    EXPECT_EQ(got["cc"].toString(), m.Cc);
    EXPECT_EQ(got["body"].toString(), m.Body);
    EXPECT_EQ(got["defects"].toInt(), 0);
    EXPECT_LE(got["longest_line"].toInt(), 78);

    const QJsonArray parts = got["attachments"].toArray();
    ASSERT_EQ(parts.size(), 3);
    const QList<std::pair<QString, QByteArray>> sent = {
        {"Fähre 1.jpg", ferry}, {"IMG_0002.jpg", small}, {longName, empty}};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject part = parts[i].toObject();
        EXPECT_EQ(part["name"].toString(), sent[i].first);
        EXPECT_EQ(part["type"].toString(), "image/jpeg");
        EXPECT_EQ(sink.File(part["file"].toString()), sent[i].second) << sent[i].first.toStdString();
    }

    // Size first, sent bytes at most once per 64 KiB and ending at the size,
    // then acceptance.
    ASSERT_GE(log.Progress.size(), 3u);
    EXPECT_EQ(log.Progress.front(), std::make_pair(1, int(raw.size())));
    EXPECT_EQ(log.Progress.back(), std::make_pair(3, int(raw.size())));
    int last = 0;
    for (size_t i = 1; i + 1 < log.Progress.size(); ++i) {
        EXPECT_EQ(log.Progress[i].first, 2);
        const int sentBytes = log.Progress[i].second;
        EXPECT_TRUE(sentBytes / 65536 > last / 65536 || sentBytes == raw.size()) << sentBytes;
        last = sentBytes;
    }
    EXPECT_EQ(last, raw.size());
    EXPECT_EQ(log.Status.back(), "The message was sent.");
}

TEST(EmailSend, ControlCharactersNeverMakeAHeader) {
    TSmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    struct TCase {
        QString From, To, Cc, Subject;
        int32_t Result;
        QString ArrivedSubject;
    };
    const QString ann = "ann@lumora.test";
    const TCase cases[] = {
        {ann, ann, "", "Hi\r\nBcc: evil@lumora.test", EMAIL_OK, "Hi Bcc: evil@lumora.test"},
        {ann, ann, "", "Hi\nX-Evil: 1\rTab\there", EMAIL_OK, "Hi X-Evil: 1 Tab here"},
        {ann + "\r\nBcc: evil@lumora.test", ann, "", "Hi", EMAIL_E_BAD_FROM, ""},
        {"Ann\n <ann@lumora.test>", ann, "", "Hi", EMAIL_E_BAD_FROM, ""},
        {ann, "bob@lumora.test\nBcc: evil@lumora.test", "", "Hi", EMAIL_E_BAD_RECIPIENT, ""},
        {ann, "Bob\r\nX-Evil: 1 <bob@lumora.test>", "", "Hi", EMAIL_E_BAD_RECIPIENT, ""},
        {ann, ann, "\"Bob\rX\" <bob@lumora.test>", "Hi", EMAIL_E_BAD_RECIPIENT, ""},
    };
    int delivered = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Subject.toStdString() + " / " + c.From.toStdString() + " / " + c.To.toStdString());
        TMail m;
        m.Port = sink.Port();
        m.From = c.From;
        m.To = c.To;
        m.Cc = c.Cc;
        m.Subject = c.Subject;
        ASSERT_EQ(Send(m), c.Result);
        if (c.Result != EMAIL_OK) continue;
        const QJsonObject got = sink.Message(++delivered);
        EXPECT_EQ(Strings(got["headers"]),
                  QStringList({"Date", "Message-ID", "From", "To", "Subject", "MIME-Version", "Content-Type"}));
        EXPECT_EQ(got["subject"].toString(), c.ArrivedSubject);
        EXPECT_EQ(Strings(got["rcpt_tos"]), QStringList({ann}));
    }
    EXPECT_EQ(sink.MessageCount(), delivered);
}

// Where the password may go: inside TLS always, in the clear only to a
// loopback server or with plain sign-in allowed.
TEST(EmailSend, PasswordOnlyInsideTlsUnlessAllowed) {
    TTempFolder folder;
    QString cert, key;
    ASSERT_TRUE(MakeTestCertificate(folder.Path(), cert, key));
    struct TCase {
        const char* Name;
        QStringList Options;
        bool TrustLoopback, PlainAuth, PassCa;
        int32_t Result;
        int Attempts;  // sign-in attempts the server saw
        bool Tls;      // message and sign-in inside TLS
    };
    const TCase cases[] = {
        {"STARTTLS offered", {"--tls", cert, key}, false, false, true, EMAIL_OK, 1, true},
        {"STARTTLS required", {"--tls", cert, key, "--require-tls"}, true, false, true, EMAIL_OK, 1, true},
        {"certificate not trusted", {"--tls", cert, key}, true, false, false, EMAIL_E_TLS, 0, false},
        {"AUTH without TLS", {"--auth"}, false, false, false, EMAIL_E_PLAIN_AUTH, 0, false},
        {"AUTH without TLS, loopback", {"--auth"}, true, false, false, EMAIL_OK, 1, false},
        {"AUTH without TLS, plain allowed", {"--auth"}, false, true, false, EMAIL_OK, 1, false},
        {"neither TLS nor AUTH", {}, false, false, false, EMAIL_OK, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSmtpSink sink(c.Options);
        ASSERT_NE(sink.Port(), 0);
        TMail m;
        m.Port = sink.Port();
        m.Account = "ann@lumora.test";
        m.TrustLoopback = c.TrustLoopback;
        m.PlainAuth = c.PlainAuth;
        if (c.PassCa) m.CaFile = cert;
        TLog log;
        EXPECT_EQ(Send(m, &log), c.Result) << log.Status.back();
        EXPECT_EQ(sink.MessageCount(), c.Result == EMAIL_OK ? 1 : 0);
        const QList<QJsonObject> attempts = sink.AuthAttempts();
        ASSERT_EQ(attempts.size(), c.Attempts);
        for (const QJsonObject& a : attempts) {
            EXPECT_EQ(a["user"].toString(), m.Account);
            EXPECT_EQ(a["password"].toString(), m.Password);
            EXPECT_EQ(a["tls"].toBool(), c.Tls);
        }
        if (c.Result == EMAIL_OK) {
            EXPECT_EQ(sink.Message(1)["tls"].toBool(), c.Tls);
        }
    }
}

// Each failure sends nothing, says what happened, and a second try works.
TEST(EmailSend, FailuresSendNothingAndARetrySucceeds) {
    TTempFolder folder;
    const QString photo = folder.Write("a.jpg", RandomBytes(600000, 3));
    struct TCase {
        const char* Name;
        QStringList Options;
        QString To;
        QStringList Attachments;
        bool Listening;
        int32_t Result;
        QString RetryTo;
        QStringList RetryAttachments;
    };
    const TCase cases[] = {
        {"refused recipient", {"--refuse", "bob@lumora.test"}, "ann@lumora.test, bob@lumora.test", {},
         true, EMAIL_E_RECIPIENT_REFUSED | (550 << 16), "ann@lumora.test", {}},
        {"close during DATA", {"--drop-data-once"}, "ann@lumora.test", {photo},
         true, EMAIL_E_CONNECTION_LOST, "ann@lumora.test", {photo}},
        {"no listener", {}, "ann@lumora.test", {photo}, false, EMAIL_E_CONNECT, "ann@lumora.test", {photo}},
        {"server stops answering", {"--stall-once"}, "ann@lumora.test", {}, true, EMAIL_E_TIMEOUT, "ann@lumora.test", {}},
        {"unreadable attachment", {}, "ann@lumora.test", {photo, folder.Path() + "gone.jpg"},
         true, EMAIL_E_ATTACHMENT, "ann@lumora.test", {photo}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto sink = std::make_unique<TSmtpSink>(c.Options);
        TMail m;
        m.Port = sink->Port();
        ASSERT_NE(m.Port, 0);
        if (!c.Listening) sink->Stop();
        m.To = c.To;
        m.Attachments = c.Attachments;
        m.IdleSeconds = 1;
        TLog log;
        EXPECT_EQ(Send(m, &log), c.Result);
        EXPECT_EQ(sink->MessageCount(), 0);
        EXPECT_NE(log.Status.back().find(' '), std::string::npos);
        for (const auto& p : log.Progress) EXPECT_NE(p.first, EMAIL_PROGRESS_ACCEPTED);

        if (!c.Listening) sink = std::make_unique<TSmtpSink>(c.Options);
        m.Port = sink->Port();
        m.To = c.RetryTo;
        m.Attachments = c.RetryAttachments;
        EXPECT_EQ(Send(m, &log), EMAIL_OK) << log.Status.back();
        EXPECT_EQ(sink->MessageCount(), 1);
    }
}

// A send on a worker thread while another thread cancels one that waits on
// a server that never answers, and handles come and go.
TEST(EmailThreads, SendsOnWorkersWhileAnotherThreadCancels) {
    TSmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    // Listens but never greets: the send waits until it is cancelled.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof addr;
    ASSERT_TRUE(bind(silent, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(silent, 4) == 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &len);
    const int silentPort = ntohs(addr.sin_port);

    std::atomic<EMAILHANDLE> waiting{0};
    std::atomic<bool> connecting{false};
    int32_t cancelledResult = -1, sentResult = -1;
    std::thread cancelled([&] {
        TMail m;
        m.Port = silentPort;
        TLog log;
        log.OnStatus = [&](const std::string& text) {
            if (text.rfind("Connecting", 0) == 0) connecting = true;
        };
        cancelledResult = Send(m, &log, &waiting);
    });
    std::thread sent([&] {
        TMail m;
        m.Port = sink.Port();
        sentResult = Send(m);
    });
    while (!connecting) {
        const EMAILHANDLE stale = EmailCreate();
        EmailDestroy(stale);
        EXPECT_EQ(EmailCancel(stale), EMAIL_E_BAD_HANDLE);
        std::this_thread::yield();
    }
    EXPECT_EQ(EmailCancel(waiting), EMAIL_OK);
    cancelled.join();
    sent.join();
    close(silent);
    EXPECT_EQ(cancelledResult, EMAIL_E_CANCELLED);
    EXPECT_EQ(sentResult, EMAIL_OK);
}
