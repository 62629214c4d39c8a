#include "collection/rotation.h"
#include "collection/roll.h"
#include "platform/errors.h"
#include "platform/mounts.h"
#include "platform/paths.h"
#include "shell/startup.h"
#include "shell/tracelog.h"
#include <memory>

namespace {

// Opened and used on the main thread only.
std::unique_ptr<TIniFile>& RotationFileSlot() {
    static std::unique_ptr<TIniFile> file;
    return file;
}

// A key of the rotation file cannot hold "=" or a line break, and the INI
// rules trim surrounding blanks; such a photo's rotation stays in memory only.
bool UsableAsKey(const QString& name) {
    if (name.isEmpty() || name.trimmed() != name) return false;
    return !name.contains('=') && !name.contains('\n') && !name.contains('\r');
}

} // namespace

TIniFile* RotationFile() { return RotationFileSlot().get(); }

void OpenRotationFile(const QString& folder) {
    const QString base = folder.isEmpty() ? Platform::ConfigFolder() : Platform::WithTrailingSlash(folder);
    RotationFileSlot() = std::make_unique<TIniFile>(base + QLatin1String(RotationFileName));
}

void CloseRotationFile() { RotationFileSlot().reset(); }

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
    return RotationSectionFor(AppState().FotavoLayout, Folder, Name);
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
            Thumbnail.reset();
        }
    }
    StoreRotation();
}

void TMedia::StoreRotation() {
    if (!Roll || !UsableAsKey(FileName)) return;
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
