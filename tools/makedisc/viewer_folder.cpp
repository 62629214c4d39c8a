#include "tools/makedisc/viewer_folder.h"
#include "platform/paths.h"
#include "shell/programfolder.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace MakeDisc {

namespace {

constexpr const char* ProgramName = "lumora";

} // namespace

QString DefaultViewerFolder() {
    const QString folder = QDir::cleanPath(Platform::ExecutableFolder() + QStringLiteral("../LMR")) + '/';
    return QFileInfo(folder + QLatin1String(ProgramName)).isFile() ? folder : QString();
}

QString StaleViewerWarning(const QString& viewer) {
    const QFileInfo bundled(Platform::WithTrailingSlash(viewer) + QLatin1String(ProgramName));
    const QFileInfo built(QDir::cleanPath(bundled.absolutePath() + QStringLiteral("/../") + QLatin1String(ProgramName)));
    if (!bundled.isFile() || !built.isFile() || bundled.lastModified() >= built.lastModified()) return {};
    return QStringLiteral("the viewer folder %1 is older than %2; the disc gets the older viewer (remake the "
                          "folder: cmake --build <build> --target viewer-folder)")
        .arg(bundled.absolutePath(), built.filePath());
}

QString CopyViewerFolder(const QString& viewer, const QString& programFolder, int& files) {
    files = 0;
    const QString from = Platform::WithTrailingSlash(viewer);
    QList<TProgramFile> listed;
    QString error;
    if (!ListProgramFolder(from, listed, error)) return error;
    if (!QFileInfo(from + QLatin1String(ProgramName)).isFile())
        return QStringLiteral("the viewer folder %1 holds no program %2").arg(from, QLatin1String(ProgramName));
    for (const TProgramFile& file : listed) {
        const QString source = from + file.Path;
        const QString target = programFolder + file.Path;
        if (!QDir().mkpath(QFileInfo(target).absolutePath()))
            return QStringLiteral("cannot create the folder %1").arg(QFileInfo(target).absolutePath());
        if (QFileInfo::exists(target) && !QFile::remove(target)) return QStringLiteral("cannot replace %1").arg(target);
        QFile in(source);
        if (!in.copy(target)) return QStringLiteral("cannot copy %1 to %2: %3").arg(source, target, in.errorString());
        QFile::setPermissions(target, QFile::permissions(source) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ++files;
    }
    return {};
}

} // namespace MakeDisc
