#pragma once
// 70 x 70 centre-cut thumbnails, made on a roll's loader thread.
#include "imaging/iebitmap.h"
#include <memory>

// A picture that prefers a small stored resolution: a JPEG is decoded with DCT
// scaling at the smallest scale whose shorter side still reaches the size asked for.
class TThumbnail : public TIEBitmap {
public:
    bool PreferSmallSize() const override { return true; }
};

constexpr int ThumbnailSize = 70;

using TThumbnailConverter = void (*)(TIEBitmap& bitmap, QSize size);

// None when the file is missing, empty or cannot be made into a thumbnail;
// errors are swallowed.
std::unique_ptr<TThumbnail> GenerateThumbnailFor(const QString& path, int size,
                                                 TThumbnailConverter converter);
std::unique_ptr<TThumbnail> MakeCenterCutThumbnailFor(const QString& path, int size);
// CenterCrop, then Resample(Size). Raises TIEPixException.
void ConvertBitmapToCenterThumbnail(TIEBitmap& bitmap, QSize size);
