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

// Damaged copies of a JPEG, as cameras, cards and copies produce them.
// Offset of the first byte of entropy-coded data (after the SOS segment); -1 when none.
qsizetype ScanDataOffset(const QByteArray& jpeg);
// Cut off after about Share of its scan data (the first rows survive).
QByteArray CutScanData(const QByteArray& jpeg, double share);
// A marker written over the scan data at about Share of it: the decoder warns
// of a corrupt segment and carries on.
QByteArray WithCorruptSegment(const QByteArray& jpeg, double share);
// Everything up to the scan data, with no scan data after it.
QByteArray WithoutScanData(const QByteArray& jpeg);
// Everything before the SOS segment: tables and frame header, no scan at all.
QByteArray HeaderOnly(const QByteArray& jpeg);
// A progressive JPEG (libjpeg's scan script, through Qt's writer).
QByteArray EncodeProgressiveJpeg(const QImage& image);
// Its last scan repeated Copies more times before the end: a file that makes
// the decoder walk the whole picture once per copy. AsFirstScan marks the
// copies as first scans of their coefficients (successive approximation
// 0, 0), which keeps the progression consistent.
QByteArray WithRepeatedScan(const QByteArray& progressive, int copies, bool asFirstScan = false);

// Segments a camera or an editor adds, inserted right after the SOI marker.
// An Exif APP1 segment whose IFD0 holds only the orientation tag (byte order
// Motorola with BigEndian, else Intel).
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation, bool bigEndian = false);
// The ICC profile in Chunks APP2 segments, numbered as the ICC prescribes.
QByteArray WithIccProfile(const QByteArray& jpeg, const QByteArray& profile, int chunks = 1);
