#pragma once
// Turned copies of photos for the upload and the e-mail: the photos as the
// user sees them (upright by their orientation tag, in sRGB, turned as the
// user turned them), written as JPEG files into a folder of the wizard's own
// (made readable by the user alone, removed with everything in it when the
// list goes), so that the disc's files stay as they are.
#include <QString>
#include <QStringList>
#include <memory>

class QTemporaryDir;
class TMedia;

// A free name for a copy of FileName's file part in Folder: "a.jpg", else
// "a (1).jpg" to "a (1000).jpg" (the name split at its first "."); empty when
// every one is taken or Folder is not a folder. Folder is made when missing.
QString UniqueCopyName(const QString& folder, const QString& fileName);

class TTempRotationFiles {
public:
    TTempRotationFiles();
    ~TTempRotationFiles();
    TTempRotationFiles(const TTempRotationFiles&) = delete;
    TTempRotationFiles& operator=(const TTempRotationFiles&) = delete;

    // The photo's best file as shown; the copy's path. Raises
    // EError naming the photo when it cannot be read or the copy written.
    QString AddRotatedPhoto(TMedia* photo);
    // The same from SourcePath.
    QString AddRotatedFile(TMedia* photo, const QString& sourcePath);

    // The private folder ("" until the first copy).
    QString Folder() const;
    const QStringList& Files() const { return FFiles; }

private:
    std::unique_ptr<QTemporaryDir> FFolder;
    QStringList FFiles;
};
