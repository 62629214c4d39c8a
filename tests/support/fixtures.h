#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder that is removed with the object. Path() ends in "/".
class TTempFolder {
public:
    TTempFolder();
    QString Path() const;
    // Path() + Relative; folders on the way are created.
    QString Make(const QString& relativeFolder) const;
    // Writes Data to Path() + Relative (folders created); returns the full path.
    QString Write(const QString& relative, const QByteArray& data) const;

private:
    QTemporaryDir FDir;
};

bool RunningAsRoot();
// Text of a file, empty when missing.
QByteArray ReadFileBytes(const QString& path);
