#pragma once
#include <QColor>
#include <QImage>
#include <QString>

// Test photos drawn in code. Encoded with our own imaging facade.
//
// A picture of Width x Height whose columns (or rows, with Vertical) are split
// in bands of the given colours, so a crop can be proven by colours.
QImage MakeBandImage(int width, int height, const QList<QColor>& bands, bool vertical = false);
// A smooth photo-like picture (gradients and shapes).
QImage MakePhotoLikeImage(int width, int height, int seed = 1);
// Encodes Image as a JPEG file (quality 90, 4:4:4 unless Subsample); true on success.
bool WriteTestJpeg(const QString& path, const QImage& image, int quality = 90,
                   bool subsample = false);
QByteArray EncodeTestJpeg(const QImage& image, int quality = 90, bool subsample = false);
// Mean colour of a rectangle of Image.
QColor MeanColor(const QImage& image, const QRect& rect);
// True when the channels of A and B differ by at most Tolerance each.
bool ColorNear(const QColor& a, const QColor& b, int tolerance = 12);
