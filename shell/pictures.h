#pragma once
// Pictures the shell hands out (skin images, branding files, images named by
// the form script). The shell sits below the imaging layer, so it decodes
// through a hook: the program installs the imaging facade at start
// (UseImagingForShellPictures); until then Qt's image readers serve, with the
// same bound on the claimed size.
#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a complete picture file held in memory; a null image when the data
// is no picture, is damaged or claims a size beyond the bound.
using TPictureDecoder = QImage (*)(const QByteArray& data);
void SetPictureDecoder(TPictureDecoder decoder);  // null restores Qt's readers

// The picture in a form ready for painting on the screen: RGB32, or
// premultiplied ARGB32 when it has an alpha channel. Null when undecodable.
QImage DecodePicture(const QByteArray& data);
// The same for a file; null when it is missing or unreadable.
QImage LoadPictureFile(const QString& path);

// Largest picture the shell decodes (skins and logos are far smaller).
constexpr qint64 MaxShellPicturePixels = qint64(64) * 1000 * 1000;
constexpr qint64 MaxShellPictureBytes = qint64(64) * 1024 * 1024;
