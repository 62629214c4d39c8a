// The wizard's e-mail mode driven as a user drives it, sending through a real
// SMTP server (aiosmtpd) on 127.0.0.1: what arrives, and what a failure leaves.
#include "../shell/env_guard.h"
#include "imaging/smoothlabel3d.h"
#include "sharing/emailaddresser.h"
#include "sharing/emailthread.h"
#include "sharing/temprotation.h"
#include "sharing/uploadwizardfrm.h"
#include "shell/registry.h"
#include "support/screenshots.h"
#include "support/smtpsink.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/statusfrm.h"
#include "viewer/windowfixture.h"
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QThread>
#include <QTimer>
#include <mutex>

namespace {

const QString Failed = "Could not send your email.  Please connect to the internet and try again.";

class EmailWizardTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        CreateSharedWindows();
        TUploadWizardFrm::SetEmailHandleHook([](int32_t h) { EmailSetTimeouts(h, 10, 5); });
    }
    void TearDown() override {
        TUploadWizardFrm::SetEmailHandleHook(nullptr);
        SetEmailLibrary(nullptr);
        TWindowFixture::TearDown();
        FreeSharedWindows();
    }
    // The first roll of a disc in Sizes, sending to Port of 127.0.0.1.
    TRoll* OpenRoll(int port, const QString& sizes = "Tiny,Small,Large") {
        const QString app = MakeDisc(1, {}, sizes);
        Disc.Write("disc/Viewer/LMR/custom.ini",
                   QString("[Email]\nMailServer=127.0.0.1\nMailPort=%1\nMailAccount=\n").arg(port).toUtf8());
        TRoll* roll = Start(app).CurrentRoll();
        EXPECT_TRUE(WaitFor([&] {
            for (int i = 0; i < roll->Count(); ++i)
                if (!roll->Items(i)->HasThumbnail()) return false;
            return true;
        }));
        return roll;
    }
    static void Click(THalvornBmpButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10)); }
    // The wizard on page "Email" with photos Photos chosen.
    static void ToEmailPage(TUploadWizardFrm& w, const QList<int>& photos) {
        for (int i : photos) w.Form.IconContainer->Selector().Select(i);
        w.Form.IconContainer->Selector().Notify();
        Click(w.Form.NextButton);
        ASSERT_EQ(w.PageIndex(), 2);
    }
    // Fills the list as the grid's editing does: each entry in a row of its
    // own (a click below the last row adds one), split at ";" on leaving it.
    static void Fill(TUploadWizardFrm& w, const QList<std::pair<TAddressType, QString>>& rows) {
        TAddressForm* form = w.EmailAddresser->AddressForm();
        for (int i = 0; i < rows.size(); ++i) {
            if (i > 0) form->List.ClickBelow();
            const int row = form->List.CurrentRow();
            form->List.SetType(row, rows[i].first);
            form->List.SetEntry(row, rows[i].second);
            form->List.ParseEntry(row);
        }
        form->Sync();
    }
    static bool Sent(TUploadWizardFrm& w) {
        return WaitFor([&] { return !w.EmailThread() && !w.WizardBusy; }, 30000);
    }
    TTempFolder Home;
    TEnvGuard Config{"XDG_CONFIG_HOME", QFile::encodeName(Home.Path() + ".config")};
};

} // namespace

// One message with two To, one Cc and one Bcc, a subject and body in other
// scripts, two photos of the Small folder (one turned), sent on the worker
// thread while the page shows its progress.
TEST_F(EmailWizardTest, SendsThePageOnAWorkerThread) {
    TSmtpSink sink;
    ASSERT_GT(sink.Port(), 0);
    TRoll* roll = OpenRoll(sink.Port());
    roll->Items(1)->Rotate(90);
    const QByteArray discFile = ReadFileBytes(roll->Folder + "Small/" + roll->Items(1)->FileName);

    TUploadWizardFrm w(Window.get());
    w.SetRoll(roll, TUploadWizardFrm::EmailMode);
    w.show();
    ToEmailPage(w, {0, 1});
    SaveScreenshot(w, "wizard-email-empty");
    w.Form.FromEmailAddress->setText("asa@lumora.test");
    Fill(w, {{TAddressType::To, "to1@lumora.test; to2@lumora.test"},
             {TAddressType::Cc, "cc@lumora.test"},
             {TAddressType::Bcc, "bcc@lumora.test"}});
    ASSERT_EQ(w.EmailAddresser->Count(), 4);
    w.Form.EmailSubjectEdit->setText("Grüße aus Lumora\r\nBcc: evil@lumora.test");
    w.Form.Memo1->setPlainText("Hej från Åre, 東京\nslut");
    {
        // The type menu of the Cc row open: a window of its own, drawn onto the wizard where it is.
        TAddressForm* form = w.EmailAddresser->AddressForm();
        form->PopupTypeMenu(2);
        ASSERT_TRUE(WaitFor([&] { return form->TypeMenu->isVisible(); }));
        QImage picture = w.grab().toImage();
        QPainter painter(&picture);
        painter.drawPixmap(w.mapFromGlobal(form->TypeMenu->pos()), form->TypeMenu->grab());
        painter.end();
        EXPECT_TRUE(SaveImageScreenshot(picture, "wizard-email-filled"));
        form->TypeMenu->hide();
    }

    QString tempFolder;
    bool midway = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (midway || w.PageIndex() != 3) return;
        midway = true;
        tempFolder = w.TempFiles->Folder();
        EXPECT_FALSE(w.Form.CancelButton->isEnabled());
        EXPECT_TRUE(w.Form.EmailStatus->isVisible());
    });
    watch.start(0);
    Click(w.Form.NextButton);
    ASSERT_TRUE(Sent(w));
    watch.stop();

    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(midway);
    ASSERT_FALSE(tempFolder.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tempFolder));
    ASSERT_EQ(sink.MessageCount(), 1);
    const QJsonObject message = sink.Message(1);
    QStringList rcpt;
    for (const QJsonValue& v : message["rcpt_tos"].toArray()) rcpt << v.toString();
    EXPECT_EQ(rcpt, QStringList({"to1@lumora.test", "to2@lumora.test", "cc@lumora.test", "bcc@lumora.test"}));
    EXPECT_FALSE(sink.Raw(1).contains("bcc@lumora.test"));
    for (const QJsonValue& header : message["headers"].toArray()) EXPECT_NE(header.toString().toLower(), "bcc");
    EXPECT_EQ(message["subject"].toString().simplified().toStdString(), "Grüße aus Lumora Bcc: evil@lumora.test");
    EXPECT_EQ(message["to"].toString(), "to1@lumora.test, to2@lumora.test");
    EXPECT_EQ(message["cc"].toString(), "cc@lumora.test");
    EXPECT_EQ(message["body"].toString().replace("\r\n", "\n").trimmed(), "Hej från Åre, 東京\nslut");
    const QJsonArray parts = message["attachments"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0]["name"].toString(), roll->Items(0)->FileName);
    EXPECT_EQ(sink.File(parts[0]["file"].toString()), ReadFileBytes(roll->Folder + "Small/" + roll->Items(0)->FileName));
    EXPECT_EQ(parts[1]["name"].toString(), roll->Items(1)->FileName);
    const QImage turned = QImage::fromData(sink.File(parts[1]["file"].toString()));
    const QImage original = QImage::fromData(discFile);
    ASSERT_EQ(turned.size(), original.size().transposed());
    // Turned a quarter clockwise: the original's bottom-left corner is now top-left.
    const QColor was = original.pixelColor(2, original.height() - 3), now = turned.pixelColor(2, 2);
    EXPECT_LT(std::abs(was.red() - now.red()) + std::abs(was.green() - now.green()) + std::abs(was.blue() - now.blue()), 40);
    EXPECT_EQ(ReadFileBytes(roll->Folder + "Small/" + roll->Items(1)->FileName), discFile);
    EXPECT_EQ(Registry::ReadString(Registry::ProductKey(""), Registry::ReplyTo), "asa@lumora.test");
}

// A refused recipient, a server gone during DATA and no server at all each
// give the box and page "Email" with its buttons back; the retry then sends.
TEST_F(EmailWizardTest, AFailedSendIsNeverSuccessAndCanBeRetried) {
    // A port of 127.0.0.1 nobody listens on.
    int nobody = 0;
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
        nobody = ntohs(a.sin_port);
        close(fd);
    }
    const struct {
        const char* What;
        QStringList Options;  // the sink's; none: no server
        QString Status;       // in the last status line
    } cases[] = {
        {"refused recipient", {"--refuse", "to@lumora.test"}, "to@lumora.test"},
        {"gone during DATA", {"--drop-data-once"}, ""},
        {"no server", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::unique_ptr<TSmtpSink> sink;
        if (!c.Options.isEmpty()) sink = std::make_unique<TSmtpSink>(c.Options);
        TRoll* roll = OpenRoll(sink ? sink->Port() : nobody);
        Boxes.clear();
        {
        TUploadWizardFrm w(Window.get());
        w.SetRoll(roll, TUploadWizardFrm::EmailMode);
        w.show();
        ToEmailPage(w, {0});
        w.Form.FromEmailAddress->setText("asa@lumora.test");
        Fill(w, {{TAddressType::To, "to@lumora.test"}});
        Click(w.Form.NextButton);
        ASSERT_TRUE(Sent(w));
        EXPECT_EQ(Boxes, QStringList{Failed});
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.PageIndex(), 2);
        for (THalvornBmpButton* b : {w.Form.NextButton, w.Form.PreviousButton, w.Form.CancelButton})
            EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
        EXPECT_TRUE(w.Form.EmailStatus->text().contains(c.Status)) << w.Form.EmailStatus->text().toStdString();
        if (sink) {
            EXPECT_EQ(sink->MessageCount(), 0);
        }

        // The same page again, to a server that takes it.
        TSmtpSink good;
        w.MailPort = good.Port();
        Boxes.clear();
        Click(w.Form.NextButton);
        ASSERT_TRUE(Sent(w));
        EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
        EXPECT_EQ(good.MessageCount(), 1);
        EXPECT_FALSE(w.isVisible());
        }
        Window.reset();
        CloseSkin();
        CloseRotationFile();
        ShutdownCustomization();
        ResetAppState();
        QDir(Disc.Path() + "disc").removeRecursively();
    }
}

// The page is checked before anything is made; closing the wizard mid-send
// stops the send and waits for its thread.
TEST_F(EmailWizardTest, ChecksAndClosingMidSend) {
    TSmtpSink sink({"--stall-once"});
    TRoll* roll = OpenRoll(sink.Port());
    TUploadWizardFrm w(Window.get());
    w.SetRoll(roll, TUploadWizardFrm::EmailMode);
    w.show();
    ToEmailPage(w, {0});
    w.Form.FromEmailAddress->setText("asa@lumora.test");
    Fill(w, {{TAddressType::To, "to@lumora.test"}, {TAddressType::Cc, "nobody"}});
    Click(w.Form.NextButton);
    EXPECT_EQ(Boxes, QStringList{"You must enter a valid Recipient Address before continuing. (Did you forget the \"@\" character?)"});
    EXPECT_EQ(w.PageIndex(), 2);
    TAddressForm* form = w.EmailAddresser->AddressForm();
    form->List.SetEntry(1, "cc@lumora.test");
    form->Sync();

    Boxes.clear();
    Click(w.Form.NextButton);
    // The server takes the message and never answers: closing cancels and waits.
    ASSERT_TRUE(WaitFor([&] { return w.Form.EmailStatus->text() != "Status:"; }));
    QTest::qWait(300);
    ASSERT_TRUE(w.EmailThread());
    SaveScreenshot(w, "wizard-email-sending");
    w.close();
    EXPECT_FALSE(w.EmailThread());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
    EXPECT_EQ(sink.MessageCount(), 0);
}

namespace {

// A stand-in for the e-mail library that writes down each call, its
// argument and whether the main thread made it.
struct TCallLog {
    std::mutex Lock;
    QStringList Calls;
    int32_t SendResult = 0;
    void Add(const QString& call) {
        std::lock_guard<std::mutex> hold(Lock);
        Calls << (QThread::currentThread() == qApp->thread() ? "ui " : "worker ") + call;
    }
};
TCallLog Log;

TEmailLibrary RecordingLibrary() {
    TEmailLibrary l;
    l.Create = [] { Log.Add("Create"); return EMAILHANDLE(7); };
    l.SetFromAddress = [](EMAILHANDLE, const char* s) { Log.Add(QString("From ") + s); return 0; };
    l.SetToAddress = [](EMAILHANDLE, const char* s) { Log.Add(QString("To ") + s); return 0; };
    l.SetCCAddress = [](EMAILHANDLE, const char* s) { Log.Add(QString("Cc ") + s); return 0; };
    l.SetBCCAddress = [](EMAILHANDLE, const char* s) { Log.Add(QString("Bcc ") + s); return 0; };
    l.SetSubject = [](EMAILHANDLE, const char* s) { Log.Add(QString("Subject ") + QString::fromUtf8(s)); return 0; };
    l.SetBody = [](EMAILHANDLE, const char* s) { Log.Add(QString("Body ") + QString(s).replace("\r\n", "|")); return 0; };
    l.SetServer = [](EMAILHANDLE, const char* s) { Log.Add(QString("Server ") + s); return 0; };
    l.SetAccount = [](EMAILHANDLE, const char* s) { Log.Add(QString("Account ") + s); return 0; };
    l.SetPassword = [](EMAILHANDLE, const char* s) { Log.Add(QString("Password ") + s); return 0; };
    l.SetPort = [](EMAILHANDLE, int32_t p) { Log.Add(QString("Port %1").arg(p)); return 0; };
    l.SetPlainAuth = [](EMAILHANDLE, int32_t a) { Log.Add(QString("PlainAuth %1").arg(a)); return 0; };
    l.AddAttachment = [](EMAILHANDLE, const char* s) { Log.Add("Attach " + QFileInfo(QFile::decodeName(s)).path().section('/', -1) + "/" + QFileInfo(QFile::decodeName(s)).fileName()); return 0; };
    l.SetProgressCallback = [](EMAILHANDLE, TEmailProgressCallback, void*) { Log.Add("ProgressCallback"); return 0; };
    l.SetStatusCallback = [](EMAILHANDLE, TEmailStatusCallback, void*) { Log.Add("StatusCallback"); return 0; };
    l.GetAttachmentNumber = [](EMAILHANDLE) { Log.Add("AttachmentNumber"); return int32_t(2); };
    l.Send = [](EMAILHANDLE) { Log.Add("Send"); return Log.SendResult; };
    l.Destroy = [](EMAILHANDLE) { Log.Add("Destroy"); return 0; };
    l.Cancel = [](EMAILHANDLE) { return 0; };
    return l;
}

} // namespace

// The library's entries in their order, the first ones on the main thread
// and the last five on the worker; a result counts by its low 16 bits.
TEST_F(EmailWizardTest, CallsTheLibraryInItsOrder) {
    TUploadWizardFrm::SetEmailHandleHook(nullptr);
    const TEmailLibrary library = RecordingLibrary();
    SetEmailLibrary(&library);
    TRoll* roll = OpenRoll(25, "Medium,Large");
    roll->Items(2)->Rotate(90);
    const struct {
        int32_t Result;
        QStringList Boxes;
        bool Closed;
    } results[] = {{0x2500000, {}, true}, {0x10001, {Failed}, false}};
    for (const auto& r : results) {
        Log.Calls.clear();
        Log.SendResult = r.Result;
        Boxes.clear();
        TUploadWizardFrm w(Window.get());
        w.SetRoll(roll, TUploadWizardFrm::EmailMode);
        w.show();
        ToEmailPage(w, {0, 2});
        w.Form.FromEmailAddress->setText("asa@lumora.test");
        Fill(w, {{TAddressType::To, "a@x.test;b@x.test"}, {TAddressType::Cc, "c@x.test"}});
        w.Form.EmailSubjectEdit->setText("Sommar & sol");
        w.Form.Memo1->setPlainText("rad 1\nrad 2");
        Click(w.Form.NextButton);
        ASSERT_TRUE(Sent(w));
        QStringList calls = Log.Calls;
        // The turned photo goes as its copy in the wizard's own folder.
        EXPECT_TRUE(calls.value(13).startsWith("ui Attach lumora-send-")) << calls.value(13).toStdString();
        EXPECT_TRUE(calls.value(13).endsWith("/" + roll->Items(2)->FileName)) << calls.value(13).toStdString();
        if (calls.size() > 13) calls[13] = "ui Attach the turned copy";
        EXPECT_EQ(calls, QStringList({"ui Create", "ui From asa@lumora.test", "ui To a@x.test,b@x.test", "ui Cc c@x.test",
                                          "ui Bcc ", "ui Subject Sommar & sol", "ui Body rad 1|rad 2", "ui Server 127.0.0.1",
                                          "ui Account ", "ui Password tarn518", "ui Port 25", "ui PlainAuth 0",
                                          "ui Attach Medium/" + roll->Items(0)->FileName,
                                          "ui Attach the turned copy",
                                          "worker ProgressCallback", "worker StatusCallback", "worker AttachmentNumber",
                                          "worker Send", "worker Destroy"}));
        EXPECT_EQ(Boxes, r.Boxes);
        EXPECT_EQ(!w.isVisible(), r.Closed);
    }
}
