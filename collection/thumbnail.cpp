#include "collection/thumbnail.h"
#include "imaging/loading.h"
#include "shell/tracelog.h"
#include <QFileInfo>

std::unique_ptr<TThumbnail> GenerateThumbnailFor(const QString& path, int size,
                                                 TThumbnailConverter converter) {
    TraceScope trace("GenerateThumbnailFor");
    // A missing or empty file never reaches the decoder.
    const QFileInfo file(path);
    if (!file.isFile() || file.size() == 0) return nullptr;
    try {
        auto thumbnail = std::make_unique<TThumbnail>();
        {
            // A centre cut needs only the middle of the picture: the decoder
            // then skips the rest.
            TSmallLoadScope request({size, converter == ConvertBitmapToCenterThumbnail});
            thumbnail->LoadFromFile(path, ColorMode24Bits);
        }
        if (thumbnail->IsEmpty()) return nullptr;  // the load was stopped
        if (converter) converter(*thumbnail, QSize(size, size));
        return thumbnail;
    } catch (const EError& e) {
        // No thumbnail: the icon stays black and the loader goes on.
        TraceLog::WarningMsg("No thumbnail for " + path + ": " + e.Message());
        return nullptr;
    } catch (const std::exception& e) {
        TraceLog::WarningMsg("No thumbnail for " + path + ": " + QString::fromUtf8(e.what()));
        return nullptr;
    }
}

std::unique_ptr<TThumbnail> MakeCenterCutThumbnailFor(const QString& path, int size) {
    TraceScope trace("MakeCenterCutThumbnailFor");
    return GenerateThumbnailFor(path, size, ConvertBitmapToCenterThumbnail);
}

void ConvertBitmapToCenterThumbnail(TIEBitmap& bitmap, QSize size) {
    TraceScope trace("ConvertBitmapToCenterThumbnail");
    bitmap.CenterCrop();
    bitmap.Resample(size);
}
