#include "shell/tempfolder.h"
#include "shell/tracelog.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <mutex>

namespace {

std::mutex FolderLock;

// Destroyed at exit, which removes the folder.
std::unique_ptr<QTemporaryDir>& Folder() {
    static std::unique_ptr<QTemporaryDir> folder;
    return folder;
}

} // namespace

QString RunTempFolder() {
    std::lock_guard lock(FolderLock);
    auto& folder = Folder();
    if (!folder) {
        auto made = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lumora-XXXXXX"));
        if (!made->isValid()) {
            TraceLog::WarningMsg(QStringLiteral("Can't make a private temporary folder in ") + QDir::tempPath());
            return {};
        }
        // mkdtemp makes it 0700 already; said once more for clarity's sake.
        QFile::setPermissions(made->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        folder = std::move(made);
    }
    return folder->path() + '/';
}

void RemoveRunTempFolder() {
    std::lock_guard lock(FolderLock);
    Folder().reset();
}
