// The upload wizard driven as a user drives it, against the reference photo
// service on 127.0.0.1 (HTTP and HTTPS), with the shoebox page's address
// caught where the browser would get it.
#include "../shell/env_guard.h"
#include "imaging/smoothlabel3d.h"
#include "sharing/temprotation.h"
#include "sharing/uploadwizardfrm.h"
#include "shell/customize.h"
#include "shell/registry.h"
#include "suite/upload/upload.h"
#include "support/photoservice.h"
#include "support/screenshots.h"
#include "viewer/halvornbmpbutton.h"
#include "viewer/iconcontainer.h"
#include "viewer/lumorafrm.h"
#include "viewer/statusfrm.h"
#include "viewer/windowfixture.h"
#include <QComboBox>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QUrlQuery>
#include <sys/stat.h>

class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

namespace {

class UploadWizardTest : public TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        CreateSharedWindows();
        for (const char* scheme : {"http", "https"}) QDesktopServices::setUrlHandler(scheme, &Catcher, "Open");
        // The fixture's recorder answers OK; the shoebox question wants Yes.
        SetMessageBoxRecorder([this](const TMessageBoxRequest& request) {
            Boxes << request.Text;
            return request.Buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
        VantuSetTrustedCA(TestCertificates().CA.toUtf8().constData());
    }
    void TearDown() override {
        for (const char* scheme : {"http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
        VantuSetTrustedCA(nullptr);
        TWindowFixture::TearDown();
        FreeSharedWindows();
    }
    // The first roll of a disc whose [Upload] points at Service.
    // A server other than Service's given.
    TRoll* OpenRoll(const TTestService& service, const QString& server = {}) {
        Window.reset();
        CloseSkin();
        CloseRotationFile();
        ShutdownCustomization();
        ResetRollThumbCache();
        ResetAppState();
        QDir(Disc.Path() + "disc").removeRecursively();
        const QString app = MakeDisc(1, {}, "Tiny,Large");
        Disc.Write("disc/Viewer/LMR/custom.ini",
                   ("[Upload]\nServer=" + (server.isEmpty() ? service.Url() : server) + "\nLabGroup=" + TestLabGroup +
                    "\nBaseURL=" + service.Url() +
                    "/photo_index.asp?H=start.asp&CustomerID=%s&L=shoebox&R=%s&P=%s&Img=001&N=%s/&M=y\n")
                       .toUtf8());
        TRoll* roll = Start(app).CurrentRoll();
        // Pictures for people show every thumbnail.
        EXPECT_TRUE(WaitFor([&] {
            for (int i = 0; i < roll->Count(); ++i)
                if (!roll->Items(i)->HasThumbnail()) return false;
            return true;
        }));
        return roll;
    }
    static void ClickIcon(TUploadWizardFrm& w, int index, Qt::KeyboardModifiers keys = {}) {
        TIconContainer* icons = w.Form.IconContainer;
        const QRect r = icons->IconRect(index).translated(-icons->ScrollPosition());
        QTest::mouseClick(icons->viewport(), Qt::LeftButton, keys, r.center());
    }
    static void Click(THalvornBmpButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10)); }
    static void Login(TUploadWizardFrm& w, const QString& password = TestPassword) {
        w.Form.UsernameEdit->setText(TestUser);
        w.Form.PasswordEdit->setText(password);
        Click(w.Form.LoginButton);
    }
    // The photos a shoebox page holds, in order.
    std::vector<QByteArray> StoredPhotos(TTestService& service, const QString& page) {
        TShoebox shoebox;
        TAccount owner;
        std::vector<QByteArray> photos;
        if (!service.Store().ShoeboxByPage(page.toStdString(), shoebox, owner)) return photos;
        for (const TStoredPhoto& photo : service.Store().Photos(shoebox.Id)) {
            QByteArray data;
            service.Store().ReadPhoto(shoebox, photo.Seq, data, 64 << 20);
            photos.push_back(data);
        }
        return photos;
    }

    TUrlCatcher Catcher;
    TTempFolder Home;
    TEnvGuard Config{"XDG_CONFIG_HOME", QFile::encodeName(Home.Path() + ".config")};
};

} // namespace

// A whole upload as a user makes it, over HTTP and HTTPS: the selection, the
// login into an account without shoeboxes, a new shoebox whose name has an
// ampersand, three photos (turned 90, turned a full circle, plain) stored in
// order as the user sees them, the shoebox page opened with the four values
// in order, the login kept owner-only, and the turned copies gone.
TEST_F(UploadWizardTest, UploadsWhatTheUserSeesAndOpensTheShoebox) {
    for (const auto tls : {TTestService::TTls::None, TTestService::TTls::Loopback}) {
        SCOPED_TRACE(tls == TTestService::TTls::None ? "http" : "https");
        TTestService service(tls);
        ASSERT_TRUE(service.Ok());
        TRoll* roll = OpenRoll(service);
        ASSERT_GE(roll->Count(), 3);
        for (int i = 0; i < 3; ++i) roll->Items(i)->Rotate(-roll->Items(i)->Rotation);  // kept from the last round
        roll->Items(0)->Rotate(90);
        for (int i = 0; i < 4; ++i) roll->Items(1)->Rotate(90);
        Boxes.clear();
        Catcher.Urls.clear();
        const bool screenshots = tls == TTestService::TTls::None;

        TUploadWizardFrm w(Window.get());
        w.SetRoll(roll, TUploadWizardFrm::UploadMode);
        w.show();
        EXPECT_FALSE(w.Form.NextButton->isEnabled());
        if (screenshots) SaveScreenshot(w, "wizard-upload-select-empty");
        for (int i : {0, 1, 2}) ClickIcon(w, i);
        ClickIcon(w, 3);
        ClickIcon(w, 3);  // a second click takes it back
        EXPECT_TRUE(w.Form.NextButton->isEnabled());
        EXPECT_EQ(w.SelectedCount(), 3);
        if (screenshots) SaveScreenshot(w, "wizard-upload-select-selected");

        Click(w.Form.NextButton);
        ASSERT_EQ(w.PageIndex(), 1);
        EXPECT_TRUE(w.Form.UploadButton->isVisible());
        EXPECT_FALSE(w.Form.UploadButton->isEnabled());
        if (screenshots) SaveScreenshot(w, "wizard-upload-config-before-login");
        Login(w);
        ASSERT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
        EXPECT_TRUE(w.Form.UploadDestPanel->isVisible());
        EXPECT_FALSE(w.Form.NewAccountPanel->isVisible());
        EXPECT_TRUE(w.Form.NewShoeboxRB->isChecked());
        EXPECT_EQ(w.focusWidget(), w.Form.ShoeboxEdit);
        EXPECT_EQ(w.Form.CustomerIDLabel->text(), "Your Account# is : " + QString::fromStdString(service.CustomerID()));
        w.Form.ShoeboxEdit->setText("Tom & Jerry");
        if (screenshots) SaveScreenshot(w, "wizard-upload-config-after-login");

        // Half-way: the page, the banner, the turned copy in its private folder.
        QString tempFolder, banner;
        bool midway = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (midway || w.PageIndex() != 3 || !w.Form.ProgressLabel->text().contains("2 of 3")) return;
            midway = true;
            tempFolder = w.TempFiles->Folder();
            banner = w.Form.UploadingBanner->Caption();
            if (screenshots) SaveScreenshot(w, "wizard-upload-progress");
        });
        watch.start(0);
        Click(w.Form.UploadButton);
        watch.stop();

        ASSERT_EQ(Boxes, QStringList{"Upload complete.\n\nWould you like to see the contents of your shoebox?"});
        EXPECT_TRUE(midway);
        EXPECT_EQ(banner, "Uploading to \"Tom && Jerry\"");
        ASSERT_FALSE(tempFolder.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(tempFolder));
        EXPECT_FALSE(w.isVisible());
        ASSERT_EQ(Catcher.Urls.size(), 1);
        const QUrlQuery query(Catcher.Urls[0]);
        EXPECT_EQ(query.queryItemValue("CustomerID"), QString::fromStdString(service.CustomerID()));
        EXPECT_EQ(query.queryItemValue("R"), TestLabGroup);
        const QString page = query.queryItemValue("P");
        EXPECT_EQ(query.queryItemValue("N"), "EN/");
        const QByteArray html = HttpGet(Catcher.Urls[0].toString());
        EXPECT_EQ(html.count("<img "), 3) << html.toStdString();

        const std::vector<QByteArray> stored = StoredPhotos(service, page);
        ASSERT_EQ(stored.size(), 3u);
        const QImage turned = QImage::fromData(stored[0]);
        const QImage original(roll->Items(0)->BestQualityPath());
        EXPECT_EQ(turned.size(), original.size().transposed());
        EXPECT_EQ(stored[1], ReadFileBytes(roll->Items(1)->BestQualityPath()));
        EXPECT_EQ(stored[2], ReadFileBytes(roll->Items(2)->BestQualityPath()));

        const QString key = Registry::ProductKey(GetAppTitle());
        EXPECT_EQ(Registry::ReadString(key, Registry::Username), TestUser);
        EXPECT_EQ(Registry::ReadString(key, Registry::Password), TestPassword);
        struct stat st {};
        ASSERT_EQ(stat(QFile::encodeName(Registry::StoreFileName()).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);

        // The next wizard starts with the login kept, and offers the shoebox
        // made: the fourth photo goes into it by its ID.
        TUploadWizardFrm next(Window.get());
        next.SetRoll(roll, TUploadWizardFrm::UploadMode);
        next.show();
        EXPECT_EQ(next.Form.UsernameEdit->text(), TestUser);
        ClickIcon(next, 3);
        Click(next.Form.NextButton);
        Click(next.Form.LoginButton);
        EXPECT_TRUE(next.Form.ExistingShoeboxRB->isChecked());
        EXPECT_EQ(next.Form.ShoeboxCombo->currentText(), "Tom & Jerry");
        Click(next.Form.UploadButton);
        ASSERT_EQ(Catcher.Urls.size(), 2);
        EXPECT_EQ(QUrlQuery(Catcher.Urls[1]).queryItemValue("P"), page);
        EXPECT_EQ(StoredPhotos(service, page).size(), 4u);
        QFile::remove(Registry::StoreFileName());
    }
}

// What goes wrong shows its own text, is never "Upload complete.", saves no
// login and leaves the user where a retry works.
TEST_F(UploadWizardTest, FailuresSayWhyAndLeaveARetry) {
    TPhotoServiceOptions full;
    full.Limits.MaxPhotosPerShoebox = 1;
    const struct {
        const char* What;
        TPhotoServiceOptions Options;
        QString Server;           // empty: the service's own address
        QString Password;
        QString Shoebox;          // empty: none typed
        int Cancel;               // during the upload: 1 Cancel pressed, 2 the window closed
        QStringList Expected;
        int Page;                 // where the wizard is left (-1: closed)
    } cases[] = {
        {"wrong password", {}, {}, "not it", "x", 0, {"User account was not found."}, 1},
        {"no shoebox name", {}, {}, TestPassword, "", 0, {"Enter the name of a new shoebox"}, 1},
        {"the second photo refused", full, {}, TestPassword, "x", 0, {"The account or the shoebox is full."}, 1},
        {"cancelled", {}, {}, TestPassword, "x", 1, {"Upload Canceled"}, -1},
        {"closed", {}, {}, TestPassword, "x", 2, {"Upload Canceled"}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TTestService service(TTestService::TTls::None, c.Options);
        ASSERT_TRUE(service.Ok());
        TRoll* roll = OpenRoll(service, c.Server);
        Boxes.clear();
        TUploadWizardFrm w(Window.get());
        w.SetRoll(roll, TUploadWizardFrm::UploadMode);
        w.show();
        Click(w.Form.SelectAllButton);
        Click(w.Form.NextButton);
        Login(w, c.Password);
        if (Boxes.isEmpty()) {
            w.Form.ShoeboxEdit->setText(c.Shoebox);
            QTimer cancel;
            QObject::connect(&cancel, &QTimer::timeout, [&] {
                if (w.PageIndex() != 3 || w.Form.ProgressLabel->text().isEmpty()) return;
                c.Cancel == 1 ? Click(w.Form.CancelButton) : void(w.close());
            });
            if (c.Cancel) cancel.start(0);
            Click(w.Form.UploadButton);
        }
        EXPECT_EQ(Boxes, c.Expected);
        EXPECT_EQ(w.isVisible() ? w.PageIndex() : -1, c.Page);
        if (c.Page == 1 && w.Form.UploadDestPanel->isVisible()) {
            EXPECT_TRUE(w.Form.UploadButton->isEnabled());
            EXPECT_TRUE(w.Form.PreviousButton->isEnabled());
        }
        EXPECT_FALSE(w.WizardBusy);
        EXPECT_TRUE(w.TempFiles->Files().isEmpty());
        EXPECT_FALSE(Registry::KeyExists(Registry::ProductKey(GetAppTitle())));
        EXPECT_TRUE(Catcher.Urls.isEmpty());
    }
}

// A roll whose photos are turned but cannot be read stops before anything
// is sent, naming the photo; e-mail mode shows its own page and texts.
TEST_F(UploadWizardTest, ModesAndAnUnreadableTurnedPhoto) {
    TTestService service;
    ASSERT_TRUE(service.Ok());
    TRoll* roll = OpenRoll(service);
    roll->Items(1)->Rotate(90);
    QFile::resize(roll->Items(1)->BestQualityPath(), 0);
    Boxes.clear();
    {
        TUploadWizardFrm w(Window.get());
        w.SetRoll(roll, TUploadWizardFrm::UploadMode);
        w.show();
        ClickIcon(w, 1);
        Click(w.Form.NextButton);
        Login(w);
        w.Form.ShoeboxEdit->setText("x");
        Click(w.Form.UploadButton);
        ASSERT_EQ(Boxes.size(), 1);
        EXPECT_TRUE(Boxes[0].startsWith("The photo " + roll->Items(1)->FileName + " could not be prepared for sending"))
            << Boxes[0].toStdString();
        EXPECT_EQ(w.PageIndex(), 1);
        for (const TRequestRecord& request : service.Service().Requests())
            EXPECT_FALSE(QByteArray::fromStdString(request.Path).endsWith("/photos")) << request.Path;
    }
    TUploadWizardFrm w(Window.get());
    w.SetRoll(roll, TUploadWizardFrm::EmailMode);
    w.show();
    EXPECT_EQ(w.Form.ImageSelectionLabel->Caption(), "Select images to email:");
    ClickIcon(w, 0);
    SaveScreenshot(w, "wizard-email-select");
    // Upload mode's pages stay out of e-mail mode's way.
    Click(w.Form.NextButton);
    EXPECT_EQ(w.PageIndex(), 2);
    Click(w.Form.PreviousButton);
    EXPECT_EQ(w.PageIndex(), 0);
    EXPECT_FALSE(w.Form.PreviousButton->isEnabled());
}

#include "uploadwizard_test.moc"
