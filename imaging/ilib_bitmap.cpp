// Bitmap handles: their lifetime, row access, and the status callback that
// long operations report to.
#include "imaging/ilib.h"
#include "imaging/ilibint.h"
#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

std::mutex StatusMutex;
STATUSCALLBACK StatusCallback = nullptr;
void* StatusUserData = nullptr;

}  // namespace

namespace ilib {

int ReportStatus(int percent) {
    STATUSCALLBACK callback;
    void* userData;
    {
        std::lock_guard lock(StatusMutex);
        callback = StatusCallback;
        userData = StatusUserData;
    }
    return callback ? callback(percent, userData) : SUCCESS;
}

bool HasStatusCallback() {
    std::lock_guard lock(StatusMutex);
    return StatusCallback != nullptr;
}

void SetCompression(FILEINFO& info, const char* text) {
    std::memset(info.Compression, 0, sizeof info.Compression);
    std::strncpy(info.Compression, text, sizeof info.Compression - 1);
}

}  // namespace ilib

// ---- handle lifetime -----------------------------------------------------------
int L_InitBitmap(pBITMAPHANDLE bitmap, int width, int height, int bitsPerPixel) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    *bitmap = BITMAPHANDLE();
    if (width > 0 && height > 0 && bitsPerPixel > 0)
        return L_AllocateBitmap(bitmap, width, height, bitsPerPixel);
    bitmap->BitsPerPixel = std::max(bitsPerPixel, 0);
    return SUCCESS;
}

int L_AllocateBitmap(pBITMAPHANDLE bitmap, int width, int height, int bitsPerPixel) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (width <= 0 || height <= 0) return ERROR_INV_PARAMETER;
    if (width > MaxPictureSide || height > MaxPictureSide || qint64(width) * height > MaxPicturePixels)
        return ERROR_IMAGE_TOO_LARGE;
    const QImage::Format format = ilib::FormatForBits(bitsPerPixel);
    if (format == QImage::Format_Invalid) return ERROR_BITPERPIXEL;
    QImage image(width, height, format);
    if (image.isNull()) return ERROR_NO_MEMORY;
    if (format == QImage::Format_Mono) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    } else if (format == QImage::Format_Indexed8) {
        QList<QRgb> table;
        const int colours = bitsPerPixel == 4 ? 16 : 256;
        for (int i = 0; i < colours; ++i) {
            const int v = i * 255 / (colours - 1);
            table.append(qRgb(v, v, v));
        }
        image.setColorTable(table);
    }
    image.fill(0);
    *bitmap = BITMAPHANDLE();
    bitmap->Image = std::move(image);
    bitmap->BitsPerPixel = bitsPerPixel;
    bitmap->SourceWidth = width;
    bitmap->SourceHeight = height;
    return SUCCESS;
}

int L_FreeBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    *bitmap = BITMAPHANDLE();
    return SUCCESS;
}

// ---- row access ------------------------------------------------------------------
int L_AccessBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    ++bitmap->Accessed;
    return SUCCESS;
}

int L_ReleaseBitmap(pBITMAPHANDLE bitmap) {
    if (!bitmap) return ERROR_INV_PARAMETER;
    if (bitmap->Accessed <= 0) return ERROR_INV_PARAMETER;
    --bitmap->Accessed;
    return SUCCESS;
}

// Bytes may span several rows of the bitmap's layout, starting at Row.
int L_PutBitmapRow(pBITMAPHANDLE bitmap, const uint8_t* buffer, int row, qint64 bytes) {
    if (!bitmap || !buffer || bytes < 0) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const qint64 stride = bitmap->Image.bytesPerLine();
    if (row < 0 || row >= bitmap->Height() || bytes > (bitmap->Height() - row) * stride)
        return ERROR_INV_RANGE;
    const uint8_t* current = bitmap->Image.constBits() + row * stride;
    if (current == buffer || bytes == 0) return SUCCESS;  // the decoder filled the rows in place
    std::memmove(bitmap->Image.bits() + row * stride, buffer, size_t(bytes));
    return SUCCESS;
}

int L_GetBitmapRow(const BITMAPHANDLE* bitmap, uint8_t* buffer, int row, qint64 bytes) {
    if (!bitmap || !buffer || bytes < 0) return ERROR_INV_PARAMETER;
    if (!bitmap->IsAllocated()) return ERROR_NO_BITMAP;
    const qint64 stride = bitmap->Image.bytesPerLine();
    if (row < 0 || row >= bitmap->Height() || bytes > (bitmap->Height() - row) * stride)
        return ERROR_INV_RANGE;
    const uint8_t* from = bitmap->Image.constBits() + row * stride;
    if (from != buffer) std::memmove(buffer, from, size_t(bytes));
    return SUCCESS;
}

// ---- status -----------------------------------------------------------------------------
int L_SetStatusCallBack(STATUSCALLBACK callback, void* userData) {
    std::lock_guard lock(StatusMutex);
    StatusCallback = callback;
    StatusUserData = userData;
    return SUCCESS;
}
