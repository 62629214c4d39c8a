#pragma once
// TSmoothFontManager3D: the non-visual component on the main window that
// holds the settings of the process-wide glyph cache. Its properties read and
// write the cache's values; creating one switches the disk cache on, and
// destroying one writes the cached sets to disk and trims the disk cache.
#include <QFont>
#include <QObject>
#include <QString>

class TFont3D;

class TSmoothFontManager3D : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 MemoryCacheSizeMax READ MemoryCacheSizeMax WRITE SetMemoryCacheSizeMax)
    Q_PROPERTY(qint64 DiskCacheSizeMax READ DiskCacheSizeMax WRITE SetDiskCacheSizeMax)
    Q_PROPERTY(QString DiskCacheDirectory READ DiskCacheDirectory WRITE SetDiskCacheDirectory)
    Q_PROPERTY(bool UseDiskCache READ UseDiskCache WRITE SetUseDiskCache)
public:
    explicit TSmoothFontManager3D(QObject* parent = nullptr);
    ~TSmoothFontManager3D() override;

    qint64 MemoryCacheSizeMax() const;
    void SetMemoryCacheSizeMax(qint64 value);
    qint64 DiskCacheSizeMax() const;
    void SetDiskCacheSizeMax(qint64 value);
    QString DiskCacheDirectory() const;
    void SetDiskCacheDirectory(const QString& value);
    bool UseDiskCache() const;
    void SetUseDiskCache(bool value);

    // Render the characters not cached yet. The font is taken as it would be
    // on the primary screen.
    void FillMemoryCacheChar(const QFont& font, const TFont3D& font3D, QChar ch);
    void FillMemoryCacheString(const QFont& font, const TFont3D& font3D, const QString& s);
    // Characters 32 to 122.
    void FillMemoryCacheAlphaNumeric(const QFont& font, const TFont3D& font3D);

    void WriteMemoryCacheToDiskCache();

    // Pixels per inch of the primary screen (96 without one).
    static int ScreenPixelsPerInch();
};
