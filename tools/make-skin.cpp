// make-skin: draws the default skin and writes its two resource files,
// XLumRes.EN and Custom.EN, in the container format of suite/xres.
//
//   make-skin [--pictures DIR] [--filmcans DIR] OUTPUT_FOLDER
#include "imaging/ilib.h"
#include "platform/paths.h"
#include "suite/xres/xres.h"
#include "tools/makeskin/skinset.h"
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace MakeSkin;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int JpegQuality = 95;
// A twin's JPEG blocks are half as large on the screen, so a lower quality
// looks as good and keeps the viewer folder small.
constexpr int TwinJpegQuality = 90;

const char* const HelpText =
    "Usage: make-skin [--pictures DIR] [--filmcans DIR] OUTPUT_FOLDER\n"
    "\n"
    "Draws the default skin of the Lumora viewer and writes its resource files\n"
    "XLumRes.EN and Custom.EN into OUTPUT_FOLDER (the program's folder).\n"
    "Every picture is drawn twice: at its size and, as its twin for screens of a\n"
    "device pixel ratio above 1, at twice the size (types JP2X and AJ2X).\n"
    "  --pictures DIR   also write every picture as DIR/<group>/<type>/<name>.jpg,\n"
    "                   the folder layout xres-pack builds a skin file from\n"
    "  --filmcans DIR   also write the roll page's film-can pictures, filmcan.png,\n"
    "                   filmcan-hilight.png and their twins filmcan-2x.png and\n"
    "                   filmcan-hilight-2x.png (program resources of the viewer)\n"
    "  -h, --help       show this text\n";

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

// 4:4:4 at a high quality: the pictures are drawn with sharp edges.
QByteArray EncodeJpeg(const QImage& image, int quality, QString& error) {
    BITMAPHANDLE handle;
    L_InitBitmap(&handle);
    int result = L_ConvertFromDDB(&handle, image.convertToFormat(QImage::Format_RGB32));
    QByteArray out;
    if (result == SUCCESS) result = L_SaveJpegMemory(out, &handle, quality, false);
    L_FreeBitmap(&handle);
    if (result != SUCCESS) error = ImagingErrorText(result);
    return out;
}

bool Write(const QString& path, const QByteArray& data) {
    if (QDir().mkpath(QFileInfo(path).absolutePath()) && Platform::WriteFileAtomically(path, data)) return true;
    Print(stderr, QStringLiteral("make-skin: cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

int Run(const QString& output, const QString& pictures, const QString& filmcans) {
    RegisterImagingErrorTexts();
    QMap<QString, QList<XRes::TResource>> groups;
    // Every picture and its twin of twice the size, drawn at that scale.
    QList<TSkinPicture> drawn = DrawDefaultSkin(1);
    for (TSkinPicture picture : DrawDefaultSkin(2)) {
        picture.Type = XRes::SharpType(picture.Type);
        drawn << picture;
    }
    for (const TSkinPicture& picture : drawn) {
        QString error;
        XRes::TResource r;
        r.Type = picture.Type;
        r.Name = picture.Name;
        r.Frames = picture.Frames;
        r.Data = EncodeJpeg(picture.Image, XRes::BaseTypeOf(picture.Type).isEmpty() ? JpegQuality : TwinJpegQuality, error);
        if (r.Data.isEmpty()) {
            Print(stderr, QStringLiteral("make-skin: %1/%2: %3").arg(picture.Group, QString::fromLatin1(picture.Name), error));
            return ExitFailure;
        }
        if (!pictures.isEmpty()) {
            // Frames that are not square need the count in the name.
            const bool square = picture.Image.width() == picture.Image.height() * picture.Frames;
            const QString name = QString::fromLatin1(picture.Name) +
                                 (picture.Type.startsWith('A') && !square ? QStringLiteral(".%1").arg(picture.Frames) : QString());
            const QString path = QStringLiteral("%1/%2/%3/%4.jpg")
                                     .arg(pictures, picture.Group, QString::fromLatin1(picture.Type), name);
            if (!Write(path, r.Data)) return ExitFailure;
        }
        groups[picture.Group].append(r);
    }
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        QString error;
        const QByteArray container = XRes::Build(it.value(), &error);
        if (container.isEmpty()) {
            Print(stderr, QStringLiteral("make-skin: %1: %2").arg(it.key(), error));
            return ExitFailure;
        }
        const QString path = Platform::WithTrailingSlash(output) + it.key() + QStringLiteral(".EN");
        if (!Write(path, container)) return ExitFailure;
    }
    if (!filmcans.isEmpty()) {
        for (const int scale : {1, 2}) {
            for (const bool lit : {false, true}) {
                const QString name = QStringLiteral("filmcan%1%2.png")
                                         .arg(lit ? QStringLiteral("-hilight") : QString(),
                                              scale == 2 ? QStringLiteral("-2x") : QString());
                const QString path = Platform::WithTrailingSlash(filmcans) + name;
                QDir().mkpath(filmcans);
                QImage can = DrawFilmCan(lit, scale).convertToFormat(QImage::Format_RGB32);
                can.setDevicePixelRatio(1);  // a plain picture of that many pixels
                if (!can.save(path, "PNG")) {
                    Print(stderr, QStringLiteral("make-skin: cannot write %1").arg(path));
                    return ExitFailure;
                }
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Fonts need a GUI application; the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString output, pictures, filmcans;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (a == QLatin1String("--pictures") || a == QLatin1String("--filmcans")) {
            if (i + 1 >= args.size()) {
                Print(stderr, QStringLiteral("make-skin: %1 needs a folder").arg(a));
                return ExitUsage;
            }
            (a == QLatin1String("--pictures") ? pictures : filmcans) = args[++i];
        } else if (a.startsWith('-')) {
            Print(stderr, QStringLiteral("make-skin: unknown option %1").arg(a));
            return ExitUsage;
        } else if (output.isEmpty()) {
            output = a;
        } else {
            Print(stderr, QStringLiteral("make-skin: more than one output folder given"));
            return ExitUsage;
        }
    }
    if (output.isEmpty()) {
        std::fputs(HelpText, stderr);
        return ExitUsage;
    }
    return Run(output, pictures, filmcans);
}
