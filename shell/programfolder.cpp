#include "shell/programfolder.h"
#include "platform/safefolder.h"
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using Platform::TSafeFolder;

QString ErrnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool ListInto(const TSafeFolder& folder, const QString& prefix, int depth, QList<TProgramFile>& files,
              QString& error) {
    errno = 0;
    const std::vector<TSafeFolder::TEntry> entries = folder.List();
    if (entries.empty() && errno != 0) {
        error = QStringLiteral("cannot read the folder %1: %2").arg(folder.Path(), ErrnoText());
        return false;
    }
    for (const TSafeFolder::TEntry& entry : entries) {
        if (entry.Kind == TSafeFolder::TKind::File) {
            files.append({prefix + entry.Name, entry.Size});
        } else if (entry.Kind == TSafeFolder::TKind::Folder && depth < ProgramFolderDepth) {
            const TSafeFolder below = folder.OpenFolder(entry.Name);
            if (!below.IsOpen()) {
                error = QStringLiteral("cannot open the folder %1%2: %3").arg(folder.Path(), entry.Name, ErrnoText());
                return false;
            }
            if (!ListInto(below, prefix + entry.Name + '/', depth + 1, files, error)) return false;
        }
    }
    return true;
}

} // namespace

bool ListProgramFolder(const QString& folder, QList<TProgramFile>& files, QString& error) {
    files.clear();
    const TSafeFolder top = TSafeFolder::Open(folder);
    if (!top.IsOpen()) {
        error = QStringLiteral("cannot open the folder %1: %2").arg(folder, ErrnoText());
        return false;
    }
    if (!ListInto(top, QString(), 1, files, error)) return false;
    std::sort(files.begin(), files.end(), [](const TProgramFile& a, const TProgramFile& b) { return a.Path < b.Path; });
    return true;
}
