#include "imaging/shellpictures.h"
#include "imaging/loading.h"
#include "shell/pictures.h"
#include <QBuffer>

namespace {

QImage DecodeThroughPipeline(const QByteArray& data) {
    QByteArray copy = data;
    QBuffer stream(&copy);
    if (!stream.open(QIODevice::ReadOnly)) return {};
    QString error;
    ImageInfo info;
    // Mode 3: the file's own depth.
    const TBitmapHandlePtr handle = LoadPictureStream(stream, 3, false, error, info);
    if (!handle || !handle->IsAllocated()) return {};
    return L_ToQImage(handle.get()).copy();
}

} // namespace

void UseImagingForShellPictures() { SetPictureDecoder(&DecodeThroughPipeline); }
