#include "support/fixtures.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

TTempFolder::TTempFolder() { FDir.setAutoRemove(true); }

QString TTempFolder::Path() const { return FDir.path() + "/"; }

QString TTempFolder::Make(const QString& relativeFolder) const {
    QString full = Path() + relativeFolder;
    QDir().mkpath(full);
    if (!full.endsWith('/')) full += '/';
    return full;
}

QString TTempFolder::Write(const QString& relative, const QByteArray& data) const {
    QString full = Path() + relative;
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
    return full;
}

bool RunningAsRoot() { return geteuid() == 0; }

QByteArray ReadFileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}
