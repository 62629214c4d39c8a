// A customization file from a disc: the working copy, substitutions, the
// title, the form script run against a window of named components, hidden
// components, branding, resource references and the message formatter.
#include "shell/customize.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> Folder;

// A window with components of every kind the script can meet.
std::unique_ptr<QWidget> MakeForm(const QString& name) {
    auto form = std::make_unique<QWidget>();
    form->setObjectName(name);
    form->setWindowTitle(QStringLiteral("%AppName%"));
    auto* caption = new QLabel(QStringLiteral("Quit %AppName%"), form.get());
    caption->setObjectName(QStringLiteral("QuitCaption"));
    caption->setToolTip(QStringLiteral("Leaves %AppName%"));
    auto* button = new QPushButton(QStringLiteral("Photos"), form.get());
    button->setObjectName(QStringLiteral("QuitButton"));
    auto* logo = new QLabel(form.get());
    logo->setObjectName(QStringLiteral("FotavoLogo"));
    logo->setProperty("Align", int(Lumora::alBottom));
    auto* panel = new QFrame(form.get());
    panel->setObjectName(QStringLiteral("Panel"));
    auto* action = new QAction(QStringLiteral("Print Photos"), form.get());
    action->setObjectName(QStringLiteral("PrintItem"));
    return form;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Every run copies the file into a fresh private folder: on a memory file
    // system that costs microseconds instead of milliseconds.
    if (!getenv("TMPDIR") && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    static int count = 1;
    static char* args[] = {(*argv)[0], nullptr};
    (void)argc;
    // Lives until the process ends: destroying it during exit, after Qt's own
    // globals are gone, would crash.
    static QApplication* app = new QApplication(count, args);
    (void)app;
    Folder = std::make_unique<QTemporaryDir>();
    AppState().AppDir = Folder->path() + '/';
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    {
        QFile file(AppState().AppDir + QStringLiteral("custom.ini"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(text);
    }
    ShutdownCustomization();
    CustomizeApplication();
    const TIniFile* ini = CustomIni();
    if (!ini) __builtin_trap();

    for (const char* sample : {"Roll Selection", "Welcome to %AppName%", "Photos, PHOTOS and photos", "Return to %Fotavo%",
                               "Image %1!d! of %2!d!", ""}) {
        const QString out = ExpandResString(QString::fromLatin1(sample));
        if (out.size() > MaxSubstitutedLength) __builtin_trap();
        (void)FormatText(out, {3, QStringLiteral("twelve"), -1});
    }
    SetSubstitution(QStringLiteral("%Fotavo%"), QStringLiteral("Disc Viewer"));
    // Lines of the file as string-table texts and templates.
    int n = 0;
    for (const QByteArray& line : text.split('\n')) {
        if (++n > 64) break;
        const QString s = QString::fromUtf8(line.left(2048));
        const QString expanded = ExpandResString(s);
        if (s.size() <= MaxSubstitutedLength && expanded.size() > MaxSubstitutedLength) __builtin_trap();
        const QString formatted = FormatText(s, {42, QStringLiteral("text"), 7});
        (void)formatted;
    }

    // The script of the main window, and of the first few sections named in the file.
    QStringList sections;
    ini->ReadSections(sections);
    QStringList forms = {QStringLiteral("LumoraFrm")};
    for (const QString& section : sections.mid(0, 4))
        if (!section.endsWith(QLatin1String(".Hidden"), Qt::CaseInsensitive)) forms << section;
    for (const QString& name : forms) {
        const std::unique_ptr<QWidget> form = MakeForm(name);
        FixupForm(form.get());
    }
    (void)LoadBranding();
    (void)LoadResourceSpec(ini->ReadString(QStringLiteral("Index Print"), QStringLiteral("Index File"), QString()));
    (void)GetAppTitle();
    (void)ApplicationTitle();
    ShutdownCustomization();
    return 0;
}
