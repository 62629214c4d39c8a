#include "collection/rotation.h"
#include "collection/roll.h"
#include "platform/errors.h"
#include "platform/mounts.h"
#include "platform/paths.h"
#include "shell/tracelog.h"
#include <memory>

namespace {

// Opened and used on the main thread only.
std::unique_ptr<TIniFile>& RotationFileSlot() {
    static std::unique_ptr<TIniFile> file;
    return file;
}

// The rule the INI writer applies, plus surrounding blanks (which a read
// would trim away, so the key would not come back as the photo's name).
bool UsableAsKey(const QString& name) {
    if (name.isEmpty() || name.trimmed() != name) return false;
    return IniText::CanWrite(QStringLiteral("s"), name, QStringLiteral("0"));
}

TRotationSaveFailed& FailureReport() {
    static TRotationSaveFailed report;
    return report;
}

} // namespace

TIniFile* RotationFile() { return RotationFileSlot().get(); }

void OpenRotationFile(const QString& folder) {
    const QString base = folder.isEmpty() ? Platform::ConfigFolder() : Platform::WithTrailingSlash(folder);
    RotationFileSlot() = std::make_unique<TIniFile>(base + QLatin1String(RotationFileName));
}

void CloseRotationFile() { RotationFileSlot().reset(); }

void SetRotationSaveFailureReport(TRotationSaveFailed report) { FailureReport() = std::move(report); }

void ReportRotationSaveFailure(const QString& text) {
    if (const TRotationSaveFailed& report = FailureReport()) report(text);
}

QString RotationSectionFor(bool fotavoLayout, const QString& folder, const QString& name) {
    if (!fotavoLayout) return folder;
    if (folder.isEmpty()) return QString();
    // A disc keeps its section wherever it is mounted.
    if (Platform::IsOnCD(folder)) return Platform::VolumeLabel(folder) + name;
    return folder + name;
}

qint64 StoredIntegerValue(const QString& text) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    return ok ? value : 0;
}

int32_t StoredRotationValue(const QString& text) {
    const qint64 value = StoredIntegerValue(text);
    // Only quarter turns are ever stored; anything else is not ours.
    if (value % 90 != 0) return 0;
    return int32_t(value % 360);
}

// ---- TRoll -------------------------------------------------------------------

QString TRoll::RotationSection() const {
    // UseSizeFolders is the layout the roll was made in.
    return RotationSectionFor(UseSizeFolders, Folder, Name);
}

bool TRoll::SaveRotationsIfChanged(QString* reason) {
    if (!RotationsDirty) return true;
    try {
        SaveRotations();
        RotationsDirty = false;
        return true;
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        TraceLog::SevereMsg(QStringLiteral("Rotations of roll %1 not saved: %2").arg(Name, text));
        if (reason) *reason = text;
        return false;
    }
}

void TRoll::LoadRotations() {
    Rotations.clear();
    RotationsDirty = false;
    TIniFile* file = RotationFile();
    const QString section = RotationSection();
    if (!file || section.isEmpty()) return;
    file->ReadSectionValues(section, Rotations);
}

void TRoll::SaveRotations(TIniFile* file, const QString& section) {
    TraceScope trace("TRoll.SaveRotations");
    TIniFile* target = file ? file : RotationFile();
    const QString targetSection = section.isEmpty() ? RotationSection() : section;
    if (!target) throw EError(QStringLiteral("Unable to save the rotations of %1: no rotation file").arg(Name));
    // An empty section name would address the keys above the first section.
    if (targetSection.isEmpty()) return;
    // Only real rotations go back: a line of the section that is no photo
    // name with a quarter turn (junk in a damaged file) is dropped rather
    // than making the whole save fail. Written in one go, so a failure leaves
    // the old section in place.
    QList<std::pair<QString, QString>> entries;
    for (const QString& line : Rotations) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1);
        const qsizetype second = value.indexOf('=');
        if (second >= 0) value.truncate(second);
        value = value.trimmed();
        if (!UsableAsKey(key) || !IniText::CanWrite(targetSection, key, value)) continue;
        if (StoredRotationValue(value) == 0) continue;
        entries.append({key, value});
    }
    target->ReplaceSection(targetSection, entries);
}

// ---- TMedia ------------------------------------------------------------------

void TMedia::Rotate(int delta) {
    // The remainder takes the sign of the dividend: -90 stays -90, 360 is 0.
    Rotation = int32_t((qint64(Rotation) + delta) % 360);
    if (Thumbnail) {
        try {
            Thumbnail->Rotate(delta);
        } catch (const EError& e) {
            // A thumbnail that cannot follow is dropped rather than shown wrongly.
            TraceLog::WarningMsg(QStringLiteral("Thumbnail of %1 not rotated: %2")
                                     .arg(FileName, e.Message()));
            FreeThumbnail();
        }
    }
    StoreRotation();
}

void TMedia::StoreRotation() {
    if (!Roll) return;
    if (!UsableAsKey(FileName)) {
        // The file can't hold this name as a key: the turn lasts for the session.
        if (Rotation != 0)
            TraceLog::WarningMsg(QStringLiteral("Rotation of %1 kept for this session only: "
                                                "the name can't be a key of %2")
                                     .arg(FileName, QLatin1String(RotationFileName)));
        return;
    }
    QStringList& lines = Roll->Rotations;
    const std::optional<QString> stored = ValueOfName(lines, FileName);
    if (stored && StoredIntegerValue(*stored) == Rotation) return;
    if (!stored && Rotation == 0) return;
    const QString line = FileName + '=' + QString::number(Rotation);
    const int index = IndexOfName(lines, FileName);
    if (index >= 0)
        lines[index] = line;
    else
        lines.append(line);
    Roll->RotationsDirty = true;
}
