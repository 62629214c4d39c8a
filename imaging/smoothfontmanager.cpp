#include "imaging/smoothfontmanager.h"

#include "imaging/font3d.h"
#include "imaging/smoothfontcache.h"
#include "shell/tracelog.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

TSmoothFontManager3D::TSmoothFontManager3D(QObject* parent) : QObject(parent) {
    setObjectName("SmoothFontManager3D");
    SmoothFontCache().UseDiskCache = true;
}

TSmoothFontManager3D::~TSmoothFontManager3D() {
    TSmoothFontCache& cache = SmoothFontCache();
    if (!cache.WasUsed() || !cache.UseDiskCache) return;
    TraceScope trace("TSmoothFontManager3D.Destroy");
    cache.WriteMemoryCacheToDiskCache();
    cache.TrimDiskCaches();
}

qint64 TSmoothFontManager3D::MemoryCacheSizeMax() const { return SmoothFontCache().MemoryCacheSizeMax; }
void TSmoothFontManager3D::SetMemoryCacheSizeMax(qint64 value) { SmoothFontCache().MemoryCacheSizeMax = value; }
qint64 TSmoothFontManager3D::DiskCacheSizeMax() const { return SmoothFontCache().DiskCacheSizeMax; }
void TSmoothFontManager3D::SetDiskCacheSizeMax(qint64 value) { SmoothFontCache().DiskCacheSizeMax = value; }
QString TSmoothFontManager3D::DiskCacheDirectory() const { return SmoothFontCache().DiskCacheDirectory; }
void TSmoothFontManager3D::SetDiskCacheDirectory(const QString& value) { SmoothFontCache().DiskCacheDirectory = value; }
bool TSmoothFontManager3D::UseDiskCache() const { return SmoothFontCache().UseDiskCache; }
void TSmoothFontManager3D::SetUseDiskCache(bool value) { SmoothFontCache().UseDiskCache = value; }

int TSmoothFontManager3D::ScreenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? int(std::lround(screen->logicalDotsPerInchY())) : 96;
}

void TSmoothFontManager3D::FillMemoryCacheChar(const QFont& font, const TFont3D& font3D, QChar ch) {
    FillMemoryCacheString(font, font3D, QString(ch));
}

void TSmoothFontManager3D::FillMemoryCacheString(const QFont& font, const TFont3D& font3D, const QString& s) {
    TSmoothCharacterSet& set =
        SmoothFontCache().SetFor(TSmoothFontRecord::FromFont(font, ScreenPixelsPerInch()), font3D.Values());
    for (uint code : s.toUcs4()) set.Fill(char32_t(code));
}

void TSmoothFontManager3D::FillMemoryCacheAlphaNumeric(const QFont& font, const TFont3D& font3D) {
    QString s;
    for (int c = 32; c <= 122; ++c) s += QChar(c);
    FillMemoryCacheString(font, font3D, s);
}

void TSmoothFontManager3D::WriteMemoryCacheToDiskCache() { SmoothFontCache().WriteMemoryCacheToDiskCache(); }
