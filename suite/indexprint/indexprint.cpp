#include "suite/indexprint/indexprint.h"
#include "suite/indexprint/printjob.h"
#include "suite/indexprint/sheetlayout.h"
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QColorSpace>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <mutex>

namespace {

struct TCallback {
    TPrintProgressCallback Function = nullptr;
    void* UserData = nullptr;
};

std::mutex CallbackLock;

TCallback& Callback() {
    static TCallback callback;
    return callback;
}

int32_t Report(int32_t kind, int32_t param) {
    TCallback callback;
    {
        std::lock_guard lock(CallbackLock);
        callback = Callback();
    }
    return callback.Function ? callback.Function(callback.UserData, kind, param) : 0;
}

struct TOptions {
    QString ProductType;
    bool Labels = true;
    bool HalfTone = true;
    bool SavePaper = true;
};

// "key=value;" items; a key without "=" or an unknown key is skipped.
TOptions ParseOptions(const QString& text) {
    TOptions options;
    for (const QString& item : text.split(';', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf('=');
        if (eq < 0) continue;
        const QString key = item.left(eq).trimmed(), value = item.mid(eq + 1).trimmed();
        const auto flag = [&value] { return value.toInt() != 0; };
        if (key.compare(QLatin1String("ProductType"), Qt::CaseInsensitive) == 0) options.ProductType = value;
        else if (key.compare(QLatin1String("Labels"), Qt::CaseInsensitive) == 0) options.Labels = flag();
        else if (key.compare(QLatin1String("HalfTone"), Qt::CaseInsensitive) == 0) options.HalfTone = flag();
        else if (key.compare(QLatin1String("SavePaper"), Qt::CaseInsensitive) == 0) options.SavePaper = flag();
    }
    return options;
}

// The photo read at about the size of Box: JPEGs are decoded scaled down in
// the DCT (and averaged), so a sheet of large photos reads quickly. It is
// printed as the viewer shows it: upright by its orientation tag, in sRGB.
QImage ReadPhoto(const QString& path, QSize box, bool halfTone) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The reader scales the picture as stored and turns it afterwards.
    const bool across = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty()) return {};
    const QSize full = across ? stored.transposed() : stored;
    const QSize fitted = full.scaled(box, Qt::KeepAspectRatio);
    if (halfTone && fitted.width() < full.width()) reader.setScaledSize(across ? fitted.transposed() : fitted);
    QImage image = reader.read();
    if (image.isNull()) return {};
    const QColorSpace srgb(QColorSpace::SRgb);
    if (image.colorSpace().isValid() && image.colorSpace() != srgb) image.convertToColorSpace(srgb);
    if (image.size() != fitted)
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, halfTone ? Qt::SmoothTransformation : Qt::FastTransformation);
    return image;
}

QFont SheetFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(pixels, 1));
    font.setBold(bold);
    return font;
}

void DrawSheetFrame(QPainter& painter, const TIndexSheet& sheet, const QString& title, const QImage& templ) {
    if (!templ.isNull()) painter.drawImage(sheet.Grid, templ);
    painter.setFont(SheetFont(sheet.TitlePixels, true));
    painter.setPen(Qt::black);
    painter.drawText(sheet.Title, Qt::AlignCenter | Qt::TextSingleLine,
                     QFontMetrics(painter.font(), painter.device()).elidedText(title, Qt::ElideRight, sheet.Title.width()));
}

void DrawLabel(QPainter& painter, const TIndexCell& cell, const QString& text, int pixels) {
    painter.setFont(SheetFont(pixels, false));
    painter.setPen(Qt::black);
    const QFontMetrics metrics(painter.font(), painter.device());
    painter.drawText(cell.Label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     metrics.elidedText(text, Qt::ElideMiddle, cell.Label.width()));
}

} // namespace

void SetPrintProgressCallback(TPrintProgressCallback callback, void* userData) {
    std::lock_guard lock(CallbackLock);
    Callback() = {callback, userData};
}

int32_t MakePrintFromList(const char* fileList, const char* title, const char* templateFile, QPrinter* printer,
                          const char* options) {
    using namespace IndexPrint;
    const TOptions parsed = ParseOptions(QString::fromUtf8(options ? options : ""));
    if (parsed.ProductType != QLatin1String("IndexPrintFullPage")) return NotSupported;
    if (!printer) return NoPrinter;
    const QString list = QString::fromUtf8(fileList ? fileList : "");
    if (list.isEmpty()) return NoPictures;
    QStringList paths;
    for (const QString& name : list.split('|'))
        if (!name.isEmpty()) paths << name;
    if (paths.isEmpty()) return OnlyEmptyNames;

    const QSize page = printer->pageLayout().paintRectPixels(printer->resolution()).size();
    const TIndexSheet sheet = LayoutIndexSheet(page, parsed.SavePaper, parsed.Labels);
    const QString heading = QString::fromUtf8(title ? title : "");
    QImage templ;
    if (templateFile && *templateFile) {
        QImageReader reader(QString::fromUtf8(templateFile));
        if (reader.size().isValid()) reader.setScaledSize(reader.size().scaled(sheet.Grid.size(), Qt::KeepAspectRatio));
        templ = reader.read();
    }

    TPrintJob job(*printer);
    QPainter painter;
    if (!job.Begin(painter)) return IndexFailed;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, parsed.HalfTone);
    const int perSheet = int(sheet.Cells.size());
    bool pictureFailed = false;
    for (int i = 0; i < paths.size(); ++i) {
        if (Report(EventPicture, i) == StopAnswer) {
            job.Abort(painter);
            return Stopped;
        }
        const int place = i % perSheet;
        if (place == 0) {
            if (i > 0 && !printer->newPage()) {
                job.Abort(painter);
                return IndexFailed;
            }
            DrawSheetFrame(painter, sheet, heading, templ);
        }
        const TIndexCell& cell = sheet.Cells[size_t(place)];
        const QImage photo = ReadPhoto(paths[i], cell.Photo.size(), parsed.HalfTone);
        if (photo.isNull()) {
            pictureFailed = true;
        } else {
            const QSize shown = photo.size().scaled(cell.Photo.size(), Qt::KeepAspectRatio);
            const QRect at(cell.Photo.left() + (cell.Photo.width() - shown.width()) / 2,
                           cell.Photo.top() + (cell.Photo.height() - shown.height()) / 2, shown.width(), shown.height());
            painter.drawImage(at, photo);
        }
        if (parsed.Labels) DrawLabel(painter, cell, QFileInfo(paths[i]).fileName(), sheet.LabelPixels);
    }
    if (!job.Finish(painter)) return IndexFailed;
    return pictureFailed ? PictureFailed : Printed;
}
