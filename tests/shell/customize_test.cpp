// Customization: the working copy, substitutions, the title, the form
// script through the meta-object system, hidden components, resource
// libraries and the message formatter.
#include "shell/customize.h"
#include "shell/application.h"
#include "shell/messages.h"
#include "shell/skin.h"
#include "env_guard.h"
#include "shell/startup.h"
#include "shell/tracelog.h"
#include "suite/xres/xres.h"
#include "support/fixtures.h"
#include "support/tracecapture.h"
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

QByteArray Png(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

class Customization : public ::testing::Test {
protected:
    void SetUp() override {
        ShutdownCustomization();
        AppState().AppDir = Temp.Path();
    }
    void TearDown() override {
        ShutdownCustomization();
        ResetAppState();
    }
    // Writes custom.ini beside the program and loads it.
    void Load(const QByteArray& ini) {
        Temp.Write("custom.ini", ini);
        ASSERT_TRUE(LoadCustomFile());
    }
    TTempFolder Temp;
};

// A window with the components the main window's script names.
struct TForm {
    std::unique_ptr<QWidget> Window = std::make_unique<QWidget>();
    QLabel* QuitCaption = new QLabel(QStringLiteral("Quit %AppName%"), Window.get());
    QPushButton* QuitButton = new QPushButton(QStringLiteral("Quit"), Window.get());
    QLabel* SectionLabel = new QLabel(QStringLiteral("Roll Selection"), Window.get());
    QLabel* Logo = new QLabel(Window.get());
    QFrame* Panel = new QFrame(Window.get());
    TForm() {
        Window->setObjectName(QStringLiteral("LumoraFrm"));
        Window->setWindowTitle(QStringLiteral("%AppName%"));
        QuitCaption->setObjectName(QStringLiteral("QuitCaption"));
        QuitCaption->setToolTip(QStringLiteral("Leaves %AppName%"));
        QuitButton->setObjectName(QStringLiteral("QuitButton"));
        SectionLabel->setObjectName(QStringLiteral("SectionLabel"));
        Logo->setObjectName(QStringLiteral("FotavoLogo"));
        Logo->setGeometry(10, 10, 50, 20);
        Panel->setObjectName(QStringLiteral("Panel"));
    }
};

} // namespace

TEST_F(Customization, WorkingCopyIsPrivateReadInsteadOfTheDiscFileAndRemoved) {
    const QByteArray ini = "[Substitutions]\nPhotos=Pictures\n";
    const QString disc = Temp.Write("custom.ini", ini);
    ASSERT_TRUE(LoadCustomFile());
    const QString copy = CustomWorkingCopy();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_NE(QFileInfo(copy).absolutePath(), QFileInfo(disc).absolutePath());
    EXPECT_NE(QFileInfo(copy).absolutePath(), QDir::tempPath()) << "not a predictable name in the shared folder";
    const QString folder = QFileInfo(copy).absolutePath();
    const QFileDevice::Permissions mode = QFileInfo(folder).permissions();
    EXPECT_TRUE(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    EXPECT_FALSE(mode & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                         QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther))
        << "owner only";
    EXPECT_EQ(CustomIni()->FileName(), copy);
    EXPECT_EQ(ReadFileBytes(copy), ini);
    // Once loaded, the disc's file is not read again.
    Temp.Write("custom.ini", "[Substitutions]\nPhotos=Snaps\n");
    EXPECT_EQ(Substitute("Photos"), "Pictures");
    EXPECT_TRUE(LoadCustomFile()) << "a second call keeps the copy";
    EXPECT_EQ(CustomWorkingCopy(), copy);

    ShutdownCustomization();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(disc)) << "the file beside the program is never deleted";
}

TEST_F(Customization, WithoutAPrivateFolderTheProgramRunsUncustomized) {
    Temp.Write("custom.ini", "[Substitutions]\nPhotos=Pictures\n[Application]\n__Caption=ChangeText Lab\n");
    // The temporary folder is a file: no private folder can be made in it.
    const TEnvGuard tmp("TMPDIR", QFile::encodeName(Temp.Write("not-a-folder", "x")));
    TTraceCapture trace;
    EXPECT_FALSE(LoadCustomFile());
    ASSERT_NE(CustomIni(), nullptr);
    EXPECT_TRUE(CustomWorkingCopy().isEmpty());
    EXPECT_EQ(Substitute("Photos"), "Photos");
    EXPECT_EQ(GetAppTitle(), "");
    EXPECT_TRUE(trace.Text().contains("running without customization")) << trace.Text().toStdString();
}

TEST(StartupFailed, SaysItInTheErrorBoxUnlessTheProgramOnlyPrints) {
    for (const bool showBox : {true, false}) {
        QStringList boxes;
        SetMessageBoxRecorder([&](const TMessageBoxRequest& request) {
            boxes << request.Text;
            return QMessageBox::Ok;
        });
        EXPECT_EQ(TLumoraApplication::StartupFailed("Can't read the disc", showBox), 1);
        SetMessageBoxRecorder(nullptr);
        EXPECT_EQ(boxes, showBox ? QStringList{"Can't read the disc"} : QStringList{}) << showBox;
    }
}

TEST_F(Customization, WithoutTheFileEveryReadGivesItsDefault) {
    EXPECT_EQ(GetAppTitle(), "") << "before loading";
    EXPECT_FALSE(LoadCustomFile());
    ASSERT_NE(CustomIni(), nullptr);
    EXPECT_EQ(CustomIni()->ReadString("Branding", "Logo", "none"), "none");
    EXPECT_TRUE(CustomWorkingCopy().isEmpty());
    EXPECT_EQ(GetAppTitle(), "");
    // The program's own name stands in for a title the disc does not give.
    EXPECT_EQ(Substitute("Welcome to %AppName%"), "Welcome to " + ApplicationTitle());
}

TEST_F(Customization, SubstitutionsFollowTheWholeWordRule) {
    Load("[Substitutions]\nPhotos=Pictures\nroll=film\n");
    const struct {
        const char* In;
        const char* Out;
    } cases[] = {
        {"My Photos", "My Pictures"},
        {"PHOTOS", "Pictures"},
        {"photos", "pictures"},
        {"SuperPhotos", "SuperPhotos"},
        {"Photos2", "Photos2"},
        {"(Photos)", "(Pictures)"},
        // The first occurrence decides for the whole text.
        {"SuperPhotos and Photos", "SuperPhotos and Photos"},
        {"Photos and SuperPhotos", "Pictures and SuperPictures"},
        {"pHoToS", "Pictures"},
        {"Roll Selection", "Film Selection"},
        {"Click on a roll to view", "Click on a film to view"},
        {"Enrollment", "Enrollment"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Substitute(c.In), c.Out) << c.In;
}

TEST_F(Customization, SubstitutionsCannotGrowATextWithoutBound) {
    // Each value holds the next key ten times: unbounded, "k0" would become
    // ten million words.
    QByteArray ini = "[Substitutions]\n";
    for (int i = 0; i < 7; ++i) {
        ini += "k" + QByteArray::number(i) + "=";
        for (int j = 0; j < 10; ++j) ini += "k" + QByteArray::number(i + 1) + " ";
        ini += "\n";
    }
    Load(ini);
    const QString out = Substitute("k0");
    EXPECT_LE(out.size(), MaxSubstitutedLength);
    EXPECT_TRUE(out.startsWith("k3 k3 ")) << "replaced as far as the bound allows";
}

TEST_F(Customization, SetSubstitutionAddsOrReplacesAKey) {
    SetSubstitution("%Fotavo%", "ignored");  // no list yet
    Load("[Substitutions]\nPhotos=Pictures\n");
    SetSubstitution("%Fotavo%", "Disc Viewer");
    EXPECT_EQ(Substitute("Return to %Fotavo%"), "Return to Disc Viewer");
    SetSubstitution("photos", "Images");
    EXPECT_EQ(Substitute("My Photos"), "My Images");
}

TEST_F(Customization, ApplicationCaptionSetsTheTitleAndEveryAppName) {
    Load("[Application]\n__Caption=ChangeText Holiday Viewer\n");
    CustomizeApplication();
    EXPECT_EQ(ApplicationTitle(), "Holiday Viewer");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Holiday Viewer");
    EXPECT_EQ(GetAppTitle(), "Holiday Viewer");
    EXPECT_EQ(Substitute("Welcome to %AppName%. %AppName% shows your photos."),
              "Welcome to Holiday Viewer. Holiday Viewer shows your photos.");
    TForm form;
    FixupForm(form.Window.get());
    EXPECT_EQ(form.Window->windowTitle(), "Holiday Viewer");
    EXPECT_EQ(form.QuitCaption->text(), "Quit Holiday Viewer");
    EXPECT_EQ(form.QuitCaption->toolTip(), "Leaves Holiday Viewer");
    ShutdownCustomization();
    EXPECT_EQ(ApplicationTitle(), QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

TEST_F(Customization, TitleWithoutTheCommandWordIsTakenAsItStands) {
    Load("[Application]\n__Caption=Plain Title\n");
    EXPECT_EQ(GetAppTitle(), "Plain Title");
}

TEST_F(Customization, HiddenSectionHidesTheNamedComponents) {
    Load("[LumoraFrm.Hidden]\nQuitCaption=1\nNoSuchThing=1\n");
    TForm form;
    FixupForm(form.Window.get());
    EXPECT_TRUE(form.QuitCaption->isHidden());
    EXPECT_TRUE(form.QuitCaption->toolTip().isEmpty());
    EXPECT_FALSE(form.QuitButton->isHidden());
    form.Window->show();
    EXPECT_FALSE(form.QuitCaption->isVisible());
    EXPECT_TRUE(form.QuitButton->isVisible());
}

TEST_F(Customization, ScriptChangesTextsAndWarnsAboutWhatItCannotDo) {
    Load("[Substitutions]\nRoll=Film\n"
         "[LumoraFrm]\n"
         "SectionLabel=ChangeCaption Roll Choice\n"
         "QuitButton=changetext Leave\n"
         "__Caption=ChangeText Viewer Window\n"
         "Nowhere=ChangeText x\n"
         "QuitCaption=Explode now\n"
         "Panel=ChangeText x\n");
    TTraceCapture trace;
    TForm form;
    FixupForm(form.Window.get());
    EXPECT_EQ(form.SectionLabel->text(), "Film Choice") << "the script runs before the substitution";
    EXPECT_EQ(form.QuitButton->text(), "Leave");
    EXPECT_EQ(form.Window->windowTitle(), "Viewer Window");
    const QString log = trace.Text();
    EXPECT_TRUE(log.contains("Fixing up LumoraFrm")) << log.toStdString();
    EXPECT_TRUE(log.contains("Script command for non-existent target Nowhere")) << log.toStdString();
    EXPECT_TRUE(log.contains("Unknown script command Explode for target QuitCaption")) << log.toStdString();
    EXPECT_TRUE(log.contains("Can't ChangeText for target Panel of class QFrame")) << log.toStdString();
}

TEST_F(Customization, ALineWithoutEqualsSignIsSkipped) {
    LoadCustomFile();
    TTraceCapture trace;
    TForm form;
    CustomizeComponent(form.Window.get(), {"QuitCaption ChangeText Never", "QuitButton=ChangeText Once"});
    EXPECT_EQ(form.QuitCaption->text(), "Quit %AppName%");
    EXPECT_EQ(form.QuitButton->text(), "Once");
    const QString log = trace.Text();
    EXPECT_TRUE(log.contains("Customization command QuitCaption ChangeText Never")) << log.toStdString();
    EXPECT_FALSE(log.contains("non-existent")) << log.toStdString();
}

TEST_F(Customization, ChangeImageSetsTheNamedPictureAndResizes) {
    Temp.Write("brand.png", Png(40, 30, Qt::red));
    LoadCustomFile();
    const struct {
        const char* Line;
        QRect Before;
        int Align;
        QRect After;
    } cases[] = {
        {"FotavoLogo.pixmap=ChangeImage brand.png", {10, 10, 50, 20}, Lumora::alNone, {10, 10, 50, 20}},
        {"FotavoLogo.pixmap=ChangeImage brand.png Adjust", {10, 10, 50, 20}, Lumora::alNone, {10, 10, 40, 30}},
        {"FotavoLogo.Pixmap=ChangeImage brand.png AdjustToOffset", {10, 10, 50, 20}, Lumora::alNone, {10, 10, 48, 38}},
        // Aligned to the bottom: grows upward; to the right: grows leftward.
        {"FotavoLogo.pixmap=ChangeImage brand.png Adjust", {0, 100, 50, 20}, Lumora::alBottom, {0, 90, 40, 30}},
        {"FotavoLogo.pixmap=ChangeImage brand.png Adjust", {100, 0, 50, 20}, Lumora::alRight, {110, 0, 40, 30}},
    };
    for (const auto& c : cases) {
        TForm form;
        form.Logo->setGeometry(c.Before);
        form.Logo->setProperty("Align", c.Align);
        CustomizeComponent(form.Window.get(), {c.Line});
        EXPECT_EQ(form.Logo->geometry(), c.After) << c.Line;
        EXPECT_EQ(form.Logo->pixmap().size(), QSize(40, 30)) << c.Line;
        EXPECT_EQ(form.Logo->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red)) << c.Line;
    }
    // No such file, or a property that holds no picture: nothing changes.
    TForm form;
    CustomizeComponent(form.Window.get(), {"FotavoLogo.pixmap=ChangeImage missing.png Adjust",
                                           "FotavoLogo.text=ChangeImage brand.png"});
    EXPECT_TRUE(form.Logo->pixmap().isNull());
    EXPECT_EQ(form.Logo->text(), "");
}

TEST_F(Customization, ChangeImageReadsAResourceLibrary) {
    const QByteArray library = XRes::Build({{"JPEG", "0001", 1, Png(24, 16, Qt::blue)}, {"FILE", "0002", 1, "text"}});
    Temp.Write("Brand.dll", library);
    LoadCustomFile();
    for (const char* line : {"FotavoLogo.pixmap=ChangeImage Brand.dll,JPEG,0001 Adjust",
                             "FotavoLogo.pixmap=ChangeImage Adjust Brand.dll,JPEG,0001"}) {
        TForm form;
        CustomizeComponent(form.Window.get(), {line});
        EXPECT_EQ(form.Logo->size(), QSize(24, 16)) << line;
        EXPECT_EQ(form.Logo->pixmap().toImage().pixelColor(1, 1), QColor(Qt::blue)) << line;
    }
}

TEST_F(Customization, LoadResourceSpecTakesTwoOrThreeParts) {
    Temp.Write("Brand.dll", XRes::Build({{"FILE", "0002", 1, "template"}, {"JPEG", "0003", 1, "picture"}}));
    QByteArray cut = XRes::Build({{"FILE", "0002", 1, "template"}});
    cut.chop(1);
    Temp.Write("Cut.dll", cut);
    const struct {
        const char* Resource;
        std::optional<QByteArray> Data;
    } cases[] = {
        {"Brand.dll,0002", QByteArray("template")},
        {"Brand.dll,FILE,0002", QByteArray("template")},
        {"Brand.dll,jpeg,0003 and words after a blank", QByteArray("picture")},
        {"Brand.dll,0003", std::nullopt},
        {"Brand.dll", std::nullopt},
        {"Brand.dll,JPEG,0003,extra", std::nullopt},
        {"Missing.dll,0002", std::nullopt},
        {"Cut.dll,0002", std::nullopt},
        {",0002", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadResourceSpec(c.Resource), c.Data) << c.Resource;
}

// Every file custom.ini names (a picture, a resource library, a logo) is one
// beside the program. A path could reach any file the user can read: it is
// refused with a trace warning, and a logo falls back to its default file.
TEST_F(Customization, NamedFilesAreTakenOnlyFromBesideTheProgram) {
    const QString app = Temp.Path() + "app/";
    AppState().AppDir = app;
    // Blue beside the program, red in a folder below it and in the one above.
    for (const QString folder : {"app/", "app/art/", ""}) {
        const QByteArray png = Png(8, 8, folder == "app/" ? Qt::blue : Qt::red);
        Temp.Write(folder + "brand.png", png);
        Temp.Write(folder + "Brand.dll", XRes::Build({{"JPEG", "0001", 1, png}}));
    }
    Temp.Write("app/Logo.bmp", Png(8, 8, Qt::yellow));
    const struct {
        const char* Form;  // a ChangeImage argument, or the [Branding] Logo
        QString Name;
        QColor Shown;
    } cases[] = {
        {"%1", "brand.png", Qt::blue},           {"%1", "art/brand.png", {}},
        {"%1", Temp.Path() + "brand.png", {}},   {"FILE,%1 dll", "brand.png", Qt::blue},
        {"FILE,%1 dll", "../brand.png", {}},     {"%1,JPEG,0001", "Brand.dll", Qt::blue},
        {"%1,JPEG,0001", "art/Brand.dll", {}},   {"Logo", "brand.png", Qt::blue},
        {"Logo", "../brand.png", Qt::yellow},    {"Logo", "art\\brand.png", Qt::yellow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name.toStdString() + " in " + c.Form);
        TTraceCapture trace;
        QImage shown;
        if (QLatin1String(c.Form) == QLatin1String("Logo")) {
            ShutdownCustomization();
            Temp.Write("app/custom.ini", ("[Branding]\nLogo=" + c.Name).toUtf8());
            ASSERT_TRUE(LoadCustomFile());
            shown = LoadBranding().Logo;
        } else {
            TForm form;
            CustomizeComponent(form.Window.get(), {"FotavoLogo.pixmap=ChangeImage " + QString(c.Form).arg(c.Name)});
            shown = form.Logo->pixmap().toImage();
        }
        EXPECT_EQ(shown.isNull() ? QColor() : shown.pixelColor(1, 1), c.Shown);
        EXPECT_EQ(trace.Text().contains("refused: only a file beside the program is taken"), c.Shown != Qt::blue);
    }
}

TEST_F(Customization, ReadingAResourceLibraryLeavesTheSkinFileOpen) {
    const QString skin = Temp.Write("XLumRes.EN", XRes::Build({{"JPEG", "0011", 1, "skin picture"}}));
    Temp.Write("Brand.dll", XRes::Build({{"FILE", "0002", 1, "template"}}));
    ASSERT_EQ(OpenXResFile(QFile::encodeName(skin).constData()), XRES_OK);
    EXPECT_EQ(LoadResourceSpec("Brand.dll,0002"), QByteArray("template"));
    void* data = nullptr;
    int size = 0;
    ASSERT_EQ(GetXResource("JPEG", "0011", &data, &size), XRES_OK);
    EXPECT_EQ(QByteArray(static_cast<const char*>(data), size), QByteArray("skin picture"));
    FreeXResourceMemory(data);
    CloseXRes();
}

TEST_F(Customization, ExpandResStringSubstitutesThenBreaksLines) {
    Load("[Substitutions]\nroll=film\n");
    EXPECT_EQ(ExpandResString("Choose a roll.\\nThen a photo."), "Choose a film.\nThen a photo.");
    EXPECT_EQ(ExpandResString("a\\\\nb"), "a\\\nb") << "each backslash-n pair, as written";
}

TEST(FormatText, FillsPositionalPlaceholders) {
    const struct {
        const char* Template;
        QVariantList Args;
        const char* Out;
    } cases[] = {
        {"Image %1!d! of %2!d!", {3, 12}, "Image 3 of 12"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%1!5d!|%1!-5d!|%1!05d!|%1!+d!", {42}, "   42|42   |00042|+42"},
        {"%1!d!", {-7}, "-7"},
        {"%1!x! %1!X! %1!u!", {255}, "ff FF 255"},
        {"%1!u!", {-1}, "4294967295"},
        {"%1!s! and %1!.2s!", {"text"}, "text and te"},
        {"%1!c!", {65}, "A"},
        {"%1!ld!", {5}, "5"},
        {"%10 of ten", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "10 of ten"},
        {"100%% sure", {}, "100% sure"},
        {"%AppName% stays, %1 fills", {"one"}, "%AppName% stays, one fills"},
        {"ends in %", {}, "ends in %"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatText(c.Template, c.Args), c.Out) << c.Template;
}

TEST(FormatText, ReturnsTheTemplateWhenFormattingFails) {
    const struct {
        const char* Template;
        QVariantList Args;
    } cases[] = {
        {"Image %1!d!", {"abc"}}, {"%3", {1, 2}},    {"%1!q!", {1}},
        {"%1!d", {1}},            {"%1", {}},        {"%1!c!", {"two"}},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatText(c.Template, c.Args), c.Template) << c.Template;
}
