#include "sharing/installfrm.h"
#include "browser/explorercombo.h"
#include "collection/roll.h"
#include "collection/rotation.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/safefolder.h"
#include "sharing/installlogic.h"
#include "shell/customize.h"
#include "shell/messages.h"
#include "shell/registry.h"
#include "shell/pictures.h"
#include "shell/skin.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "viewer/lumorafrm.h"
#include "viewer/statusfrm.h"
#include "viewer/transparentpanel.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleFactory>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using Platform::TSafeFolder;

namespace {

// Hints of the size options show after 50 ms and stay 10 s while the window is open.
class THintTimingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return 50;
        if (hint == SH_ToolTip_FallAsleepDelay) return 10000;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

TInstallFrm::TFreeSpaceProbe& FreeSpaceProbe() {
    static TInstallFrm::TFreeSpaceProbe probe;
    return probe;
}

QString& ProgramFileName() {
    static QString name;
    return name;
}

qint64 FreeBytesOf(const QString& folder) {
    if (FreeSpaceProbe()) return FreeSpaceProbe()(folder);
    return TSafeFolder::Open(folder).FreeBytes();
}

bool IsFolder(const QString& path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const QString& path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The deepest folder of Path that exists (following the user's own links
// above it, as the shell would).
QString NearestExistingFolder(QString path) {
    while (!path.isEmpty() && !QFileInfo(path).isDir()) {
        while (path.size() > 1 && path.endsWith('/')) path.chop(1);
        const qsizetype slash = path.lastIndexOf('/');
        path = slash <= 0 ? QStringLiteral("/") : path.left(slash);
        if (path == QLatin1String("/")) break;
    }
    return Platform::WithTrailingSlash(path);
}

const TStr HintTexts[] = {TStr::SizeHintTiny,   TStr::SizeHintThumbnail, TStr::SizeHintSmall,
                          TStr::SizeHintMedium, TStr::SizeHintLarge,     TStr::SizeHintExtraLarge};

} // namespace

void TInstallFrm::SetFreeSpaceProbe(TFreeSpaceProbe probe) { FreeSpaceProbe() = std::move(probe); }
void TInstallFrm::SetProgramFileName(const QString& name) { ProgramFileName() = name; }

TInstallFrm::TInstallFrm(QWidget* parent) : QDialog(parent) {
    BuildInstallForm(this, Form);
    FSavedStyle = QApplication::style()->name();
    QApplication::setStyle(new THintTimingStyle(QStyleFactory::create(FSavedStyle)));
    const TSkinPicture background = GetSkinPicture(CustomGroup, QStringLiteral("0099"));
    Form.InstallBackgroundImage->setPixmap(PixmapAtRatio(background.Image, background.Sharp, devicePixelRatioF()));
    for (int i = 0; i < 6; ++i) {
        Form.SizePanels[i]->setToolTip(ResString(HintTexts[i]));
        connect(Form.SizeBoxes[i], &QCheckBox::clicked, this, &TInstallFrm::UpdateInstallButton);
    }
    connect(Form.Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Form.Button2, &QPushButton::clicked, this, &QDialog::accept);
    FixupForm(this);
}

TInstallFrm::~TInstallFrm() { QApplication::setStyle(FSavedStyle); }

void TInstallFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateInstallButton();
    // The bevel continues the caption's line, 7 pixels after it.
    const int left = Form.SizeLabel->geometry().right() + 1 + 7;
    QRect line = Form.SizesTopBevel->geometry();
    line.setLeft(left);
    Form.SizesTopBevel->setGeometry(line);
}

void TInstallFrm::PrepareInstall(TRoll* roll) {
    Prepare(roll);
    exec();
}

void TInstallFrm::Prepare(TRoll* roll) {
    InstallRoll = roll;
    Form.RollNameEdit->setText(roll ? roll->Name : QString());
    ReadShortcutSettings();
    ReadDestination();
    EnableSizes();
}

void TInstallFrm::EnableSizes() {
    for (int i = 0; i < 6; ++i) {
        const bool present = InstallRoll && InstallRoll->SizesPresent.Contains(i + 1);
        Form.SizeLabels[i]->setEnabled(present);
        Form.SizeBoxes[i]->setEnabled(present);
    }
}

void TInstallFrm::UpdateInstallButton() {
    bool any = false;
    for (const QCheckBox* box : Form.SizeBoxes) any = any || box->isChecked();
    Form.Button1->setEnabled(any);
}

void TInstallFrm::ReadShortcutSettings() {
    const TIniFile* ini = CustomIni();
    const QString section = AppState().LanguageCode;
    ViewRollExe = ini ? ini->ReadString(section, QStringLiteral("ViewRollExe"), ResString(TStr::DefaultViewRollExe))
                      : ResString(TStr::DefaultViewRollExe);
    BaseShortCutFolder = ini ? ini->ReadString(section, QStringLiteral("BaseShortCutFolder"),
                                               ResString(TStr::DefaultShortcutFolder))
                             : ResString(TStr::DefaultShortcutFolder);
}

void TInstallFrm::ReadDestination() {
    const QString key = Registry::ProductKey(GetAppTitle());
    QString destination;
    if (Registry::KeyExists(key)) {
        const QString stored = Registry::ReadString(key, QLatin1String(Registry::LumoraPath));
        if (!stored.isEmpty() && QFileInfo(stored).isDir()) destination = stored;
    }
    if (destination.isEmpty())
        destination = ResolveDestination(ResString(TStr::DefaultDestination), QDir::homePath(),
                                         QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    Form.DestinationEdit->SetText(destination);
}

void TInstallFrm::Button1Click() {
    TraceScope trace("TInstallFrm.Button1Click");
    const QString typed = Form.RollNameEdit->text();
    const QString name = typed.trimmed();
    if (name.isEmpty()) throw EError(ResString(TStr::EnterRollName));
    if (!IsUsableRollName(name)) throw EError(ResText(TStr::BadRollName, {name}));
    const QString shown = Form.DestinationEdit->Text();
    if (shown.trimmed().isEmpty()) throw EError(ResString(TStr::UnableToCreateDirectory));
    const QString destination = ResolveDestination(shown, QDir::homePath(),
                                                   QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    if (destination.isEmpty()) throw EError(ResText(TStr::DestinationNotAbsolute, {shown}));
    // The folder the installed copy looks for, whatever a disc calls it.
    if (Exists(destination + QStringLiteral("Rolls/") + name))
        throw EError(ResText(TStr::RollAlreadyExists, {name, shown}));
    Form.Button1->setEnabled(false);
    Form.Button2->setEnabled(false);
    struct TEnable {
        TInstallFrm* Form;
        ~TEnable() {
            Form->Form.Button2->setEnabled(true);
            Form->UpdateInstallButton();
        }
    } enable{this};
    DoInstall(destination, name);
    accept();
}

void TInstallFrm::DoInstall(const QString& destination, const QString& rollName) {
    TraceScope trace("TInstallFrm.DoInstall");
    FDestination = destination;
    FRollName = rollName;
    FMadeFolders.clear();
    TProgressFrm* progress = ProgressFrm();
    // The progress window belongs to this modal window while it runs, so its
    // Cancel can be clicked; it hides on every way out.
    const Qt::WindowFlags flags = progress->windowFlags();
    progress->setParent(this, flags);
    struct TProgressScope {
        TInstallFrm* Form;
        TProgressFrm* Progress;
        Qt::WindowFlags Flags;
        ~TProgressScope() {
            Progress->FinishProgress();
            Progress->OnCancel = nullptr;
            Progress->setParent(nullptr, Flags);
            Form->CopyJobs.clear();
        }
    } scope{this, progress, flags};
    InstallCancelled = false;
    progress->OnCancel = [this] { InstallCancelled = true; };
    progress->SetBarProgress(0);
    progress->ShowBar(false);
    progress->setWindowTitle(ApplicationTitle());
    progress->StartProgress(ResString(TStr::PreparingInstall));
    QCoreApplication::processEvents();

    for (int i = 0; i < 6; ++i)
        if (Form.SizeBoxes[i]->isChecked()) AddSizeJobs(i + 1);
    AddProgramFiles();

    // Nothing is made before the destination is known to take it all.
    const QString nearest = NearestExistingFolder(destination);
    if (access(QFile::encodeName(nearest).constData(), W_OK | X_OK) != 0)
        throw EError(ResText(TStr::CannotWriteTo, {nearest}));
    qint64 needed = 0;
    for (const auto& job : CopyJobs) needed += job->TotalSize;
    const qint64 free = FreeBytesOf(nearest);
    if (free >= 0 && free < needed) {
        const auto mb = [](qint64 bytes) { return (bytes + (1 << 20) - 1) >> 20; };
        throw EError(ResText(TStr::NotEnoughSpace, {nearest, mb(needed), free >> 20}));
    }
    try {
        CopyAll();
        if (InstallCancelled) throw EError(ResString(TStr::InstallCanceled));

        // The installed copy finds itself through its real path and reads
        // the rotations of its roll under that path.
        const QString canonical = Platform::WithTrailingSlash(QFileInfo(destination).canonicalFilePath());
        const QString rollFolder = canonical + QStringLiteral("Rolls/") + rollName + '/';
        if (InstallRoll && RotationFile()) InstallRoll->SaveRotations(RotationFile(), rollFolder + rollName);
        const QString program = canonical + QStringLiteral("LMR/");
        const QString copiedRotations = program + QLatin1String(RotationFileName);
        if (QFileInfo::exists(copiedRotations) && !Platform::SetReadOnly(copiedRotations, false))
            QFile::remove(copiedRotations);
        const QString settings = program + QStringLiteral("Lumora.ini");
        if (QFileInfo::exists(settings)) Platform::SetReadOnly(settings, false);
        TIniFile(settings).WriteString(QStringLiteral("Config"), QStringLiteral("Installed"), QStringLiteral("1"));
        CreateShortcut(rollFolder, program);
        Registry::WriteString(Registry::ProductKey(GetAppTitle()), QLatin1String(Registry::LumoraPath), destination);
        // On the disk before it is said to be done.
        TSafeFolder::Open(destination).Sync();
    } catch (...) {
        RemoveWhatWasMade();
        throw;
    }
    InfoBox(ResString(TStr::InstallComplete));
}

void TInstallFrm::AddSizeJobs(int size) {
    if (!InstallRoll) return;
    const QString rollDest = FDestination + QStringLiteral("Rolls/") + FRollName + '/';
    auto viewer = std::make_unique<TFileStringList>(InstallRoll->Folder, rollDest);
    const TSafeFolder roll = TSafeFolder::Open(InstallRoll->Folder);
    const TSafeFolder::TEntry exe = roll.Stat(ViewRollExe);
    bool listed = false;
    for (const auto& job : CopyJobs) listed = listed || (job->DestDir == rollDest && job->contains(ViewRollExe));
    if (exe.Kind == TSafeFolder::TKind::File && !listed) {
        viewer->append(ViewRollExe);
        viewer->TotalSize += exe.Size;
    }
    if (!viewer->isEmpty()) CopyJobs.push_back(std::move(viewer));
    const QString sizeFolder = SizeFolderOf(size);
    auto photos = std::make_unique<TFileStringList>(InstallRoll->Folder + sizeFolder, rollDest + sizeFolder);
    const TSafeFolder source = roll.OpenFolder(sizeFolder.chopped(1));
    for (const TSafeFolder::TEntry& entry : source.List()) {
        if (entry.Kind != TSafeFolder::TKind::File) continue;  // no folders, no links
        photos->append(entry.Name);
        photos->TotalSize += entry.Size;
    }
    photos->sort();
    CopyJobs.push_back(std::move(photos));
}

void TInstallFrm::AddProgramFiles() {
    // The whole program folder: the program, its libraries and plugins,
    // fonts, skins and settings, so that the installed copy starts wherever
    // the disc does. Links are not followed, nor copied.
    const std::function<void(const TSafeFolder&, const QString&, const QString&, int)> walk =
        [&](const TSafeFolder& folder, const QString& source, const QString& dest, int depth) {
            auto job = std::make_unique<TFileStringList>(source, dest);
            std::vector<TSafeFolder::TEntry> entries = folder.List();
            std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
            for (const TSafeFolder::TEntry& entry : entries) {
                if (entry.Kind == TSafeFolder::TKind::File) {
                    job->append(entry.Name);
                    job->TotalSize += entry.Size;
                }
            }
            CopyJobs.push_back(std::move(job));
            if (depth >= 8) return;
            for (const TSafeFolder::TEntry& entry : entries)
                if (entry.Kind == TSafeFolder::TKind::Folder)
                    walk(folder.OpenFolder(entry.Name), source + entry.Name + '/', dest + entry.Name + '/', depth + 1);
        };
    const QString appDir = AppState().AppDir;
    walk(TSafeFolder::Open(appDir), appDir, FDestination + QStringLiteral("LMR/"), 0);
    // Branding pictures live beside the program and came with it.
}

void TInstallFrm::CopyAll() {
    TProgressFrm* progress = ProgressFrm();
    InstallCancelled = false;
    TotalBytes = 0;
    int fileCount = 0;
    for (const auto& job : CopyJobs) {
        TotalBytes += job->TotalSize;
        fileCount += int(job->size());
    }
    progress->SetJob(ResString(TStr::InstallingPhotos));
    progress->ShowBar(true);
    qint64 bytesDone = 0;
    int filesDone = 0;
    const auto showProgress = [&](qint64 bytes) {
        const double share = TotalBytes > 0 ? double(bytes) / TotalBytes : double(filesDone) / std::max(fileCount, 1);
        progress->SetBarProgress(int(std::lround(share * 100)));
    };
    // Folders are made one step at a time from the destination, never
    // through a link, and remembered so that a failure can take them away.
    const auto openDest = [&](const QString& dest) {
        QString made = FDestination;
        if (!IsFolder(FDestination)) {
            if (!QDir().mkpath(FDestination)) throw EError(ResString(TStr::CouldNotCreateFolder));
            FMadeFolders << FDestination;
        }
        TSafeFolder folder = TSafeFolder::Open(FDestination);
        for (const QString& step : dest.mid(FDestination.size()).split('/', Qt::SkipEmptyParts)) {
            made += step + '/';
            const bool existed = folder.Stat(step).Kind == TSafeFolder::TKind::Folder;
            folder = folder.OpenFolder(step, true, 0755);
            if (!folder.IsOpen())
                throw EError(ResText(TStr::CouldNotCopy, {made, QString::fromLocal8Bit(strerror(errno))}));
            if (!existed) FMadeFolders << made;
        }
        return folder;
    };
    for (const auto& job : CopyJobs) {
        const TSafeFolder source = TSafeFolder::Open(job->SourceDir);
        const TSafeFolder target = openDest(job->DestDir);
        for (const QString& name : *job) {
            QCoreApplication::processEvents();
            if (InstallCancelled) throw EError(ResString(TStr::InstallCanceled));
            const TSafeFolder::TEntry from = source.Stat(name), to = target.Stat(name);
            if (to.Kind == TSafeFolder::TKind::Missing || from.ModifiedNs > to.ModifiedNs) {
                const qint64 before = bytesDone;
                const bool copied = target.CopyFileIn(source, name, [&](qint64 bytes) {
                    showProgress(before + bytes);
                    QCoreApplication::processEvents();
                    return !InstallCancelled;
                });
                if (!copied) {
                    if (InstallCancelled) throw EError(ResString(TStr::InstallCanceled));
                    throw EError(ResText(TStr::CouldNotCopy, {job->SourceDir + name, QString::fromLocal8Bit(strerror(errno))}));
                }
            }
            bytesDone += from.Size;
            ++filesDone;
            showProgress(bytesDone);
        }
    }
}

void TInstallFrm::CreateShortcut(const QString& rollFolder, const QString& programFolder) {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.startsWith('/')) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = ShortcutFolder(dataHome + QStringLiteral("/applications"), BaseShortCutFolder,
                                          ResString(TStr::DefaultShortcutFolder));
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        TraceLog::WarningMsg(QStringLiteral("No folder for the desktop entry of ") + FRollName);
        return;
    }
    TDesktopEntry entry;
    entry.Name = FRollName;
    entry.WorkingFolder = rollFolder;
    const QString viewer = rollFolder + ViewRollExe;
    if (TSafeFolder::IsPlainName(ViewRollExe) && QFileInfo(viewer).isFile() &&
        access(QFile::encodeName(viewer).constData(), X_OK) == 0)
        entry.Command = {viewer};
    else
        entry.Command = {programFolder + (ProgramFileName().isEmpty()
                                              ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
                                              : ProgramFileName()),
                         QStringLiteral("R:") + FRollName};
    const QString language = LanguageExtension();
    if (!language.isEmpty()) entry.Command = QStringList{QStringLiteral("env"), QStringLiteral("LUMORA_LANGUAGE=") + language} + entry.Command;
    if (!TSafeFolder::Open(folder).WriteFileAtomically(FRollName + QStringLiteral(".desktop"), DesktopEntryText(entry)))
        throw EError(ResText(TStr::UnableToWriteTo, {folder + FRollName + QStringLiteral(".desktop")}));
}

void TInstallFrm::RemoveWhatWasMade() {
    // Deepest first: the roll folder, then LMR, Rolls and the destination
    // where this install made them. Files replaced in an earlier install's
    // folders were replaced whole and stay.
    for (auto it = FMadeFolders.crbegin(); it != FMadeFolders.crend(); ++it) {
        QString path = *it;
        path.chop(1);
        const qsizetype slash = path.lastIndexOf('/');
        const TSafeFolder parent = TSafeFolder::Open(slash <= 0 ? QStringLiteral("/") : path.left(slash));
        if (!parent.RemoveTree(path.mid(slash + 1)))
            TraceLog::WarningMsg(QStringLiteral("Could not remove ") + *it + QStringLiteral(": ") + strerror(errno));
    }
    FMadeFolders.clear();
}

void RegisterInstall() {
    TSharingHandlers handlers = SharingHandlers();
    handlers.Install = [](TLumoraFrm& window, TRoll* roll) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        TInstallFrm form(&window);
        QApplication::restoreOverrideCursor();
        form.PrepareInstall(roll);
    };
    SetSharingHandlers(std::move(handlers));
}
