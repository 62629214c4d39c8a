#include "collection/rolllist.h"
#include "collection/rotation.h"
#include "platform/paths.h"
#include "shell/startup.h"
#include "shell/tracelog.h"
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// Name order ignoring case; names equal but for case keep a fixed order.
bool NameBefore(const QString& a, const QString& b) {
    const int c = CompareTextIgnoringCase(a, b);
    if (c != 0) return c < 0;
    return a < b;
}

} // namespace

TRollList::~TRollList() { Clear(); }

TRoll* TRollList::Add(std::unique_ptr<TRoll> roll) {
    TRoll* added = roll.get();
    auto at = std::upper_bound(FRolls.begin(), FRolls.end(), roll->Name,
                               [](const QString& name, const std::unique_ptr<TRoll>& item) {
                                   return NameBefore(name, item->Name);
                               });
    FRolls.insert(at, std::move(roll));
    return added;
}

int TRollList::IndexOf(const TRoll* roll) const {
    for (size_t i = 0; i < FRolls.size(); ++i)
        if (FRolls[i].get() == roll) return int(i);
    return -1;
}

void TRollList::Clear() {
    // Rotations are written before anything is freed, and one failure report
    // covers every roll that could not be written.
    QStringList failed;
    QString reason;
    for (auto& roll : FRolls)
        if (!roll->SaveRotationsIfChanged(&reason)) failed.append(roll->Name);
    if (!failed.isEmpty())
        ReportRotationSaveFailure(QStringLiteral("The rotations of %1 could not be saved: %2")
                                      .arg(failed.join(QStringLiteral(", ")), reason));
    for (auto& roll : FRolls) {
        // Rolls that failed above must not try (and trace) a second time.
        roll->RotationsDirty = false;
        roll.reset();
    }
    FRolls.clear();
}

TRoll* TRollList::FindRoll(const QString& name) const {
    for (const auto& roll : FRolls)
        if (roll->Name.compare(name, Qt::CaseInsensitive) == 0) return roll.get();
    return nullptr;
}

TRollScan TRollList::ScanRolls(const QString& pictureDir, const TThumbnailEvent& onThumbnail) {
    TraceScope trace("TRollList.ScanRolls");
    const QString base = Platform::WithTrailingSlash(pictureDir);
    TRollScan scan;
    if (base.isEmpty()) {
        scan.NoRolls = true;
        return scan;
    }
    // Folders only (symlinks followed: a dangling link or a loop is not one).
    // Dot folders are the file system's own (".Trash-1000" on a stick), never rolls.
    const QStringList names =
        QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::vector<QString> folders;
    for (const QString& name : names)
        if (QFileInfo(base + name).isDir()) folders.push_back(name);
    if (folders.empty()) {
        scan.NoRolls = true;
        return scan;
    }
    std::sort(folders.begin(), folders.end(), NameBefore);
    scan.MultiRoll = folders.size() > 1;
    for (const QString& name : folders) {
        TRoll* roll = Add(std::make_unique<TRoll>(true, name, base + name, onThumbnail));
        if (!scan.CurrentRoll) scan.CurrentRoll = roll;
    }
    return scan;
}

TRollScan BuildRollList(TRollList& list, const TAppState& state,
                        const TThumbnailEvent& onThumbnail) {
    if (state.FotavoLayout) return list.ScanRolls(state.PictureDir, onThumbnail);
    TRollScan scan;
    scan.CurrentRoll = list.Add(std::make_unique<TRoll>(false, state.AppDir, state.AppDir, onThumbnail));
    return scan;
}

QString DescribeRolls(TRollList& list, const TAppState& state) {
    QString text;
    text += QStringLiteral("AppDir: %1\n").arg(state.AppDir);
    text += QStringLiteral("PictureDir: %1\n").arg(state.PictureDir);
    text += QStringLiteral("Layout: %1\n")
                .arg(state.FotavoLayout ? QStringLiteral("disc (one folder per roll)")
                                        : QStringLiteral("plain (the program folder is the roll)"));
    if (!state.RollArgument.isEmpty()) {
        const TRoll* wanted = list.FindRoll(state.RollArgument);
        text += QStringLiteral("Roll to open: %1%2\n")
                    .arg(state.RollArgument,
                         wanted ? QString() : QStringLiteral(" (Unable to find any images.)"));
    }
    text += QStringLiteral("Rolls: %1\n").arg(list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        TRoll* roll = list.Items(i);
        text += QStringLiteral("Roll \"%1\": %2\n").arg(roll->Name, roll->Folder);
        if (!roll->IsReady()) roll->Prepare();
        for (int j = 0; j < roll->Count(); ++j) {
            const TMedia* media = roll->Items(j);
            const QString level = media->Level == 0
                                      ? QStringLiteral("-")
                                      : QString::fromLatin1(SizeFolderNames[media->Level]);
            text += QStringLiteral("  %1 [%2]").arg(media->FileName, level);
            if (media->Rotation != 0) text += QStringLiteral(" turned %1").arg(media->Rotation);
            text += '\n';
        }
        if (roll->LeftOutNames > 0)
            text += QStringLiteral("  (%1 photo(s) left out: their file names are not valid UTF-8)\n")
                        .arg(roll->LeftOutNames);
    }
    return text;
}
