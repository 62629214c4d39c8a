// xres-pack: builds a skin resource file from a folder, lists one, and takes
// resources out again. The container format is in suite/xres/FORMAT.md.
#include "platform/paths.h"
#include "suite/xres/xres.h"
#include <QCoreApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

const char* const HelpText =
    "Usage: xres-pack pack FOLDER FILE          build FILE from the resources in FOLDER\n"
    "       xres-pack list FILE                 list the resources of FILE\n"
    "       xres-pack extract FILE TYPE NAME OUT  write one resource to OUT\n"
    "       xres-pack unpack FILE FOLDER        write every resource into FOLDER\n"
    "\n"
    "FOLDER holds one sub-folder per resource type, one file per resource, named\n"
    "by the resource's four-character name:\n"
    "  JPEG/0001.jpg      a still picture\n"
    "  AJPG/0031.jpg      an animation strip; its frames are square, so the frame\n"
    "                     count is width / height (a strip that is not a whole\n"
    "                     number of squares counts as one frame)\n"
    "  AJPG/0091.12.jpg   an animation strip of 12 frames, whatever their shape\n"
    "  JP2X/0001.jpg      the twin of JPEG 0001: the same picture at twice its\n"
    "                     size, shown on screens of a device pixel ratio above 1\n"
    "  AJ2X/0031.jpg      the twin of AJPG 0031, frames counted as for AJPG\n"
    "  FILE/0001.txt      any other file\n"
    "Types and names are four of A-Z, 0-9 and _. Pictures of the JPEG types must be\n"
    "JPEG files. The format is described in suite/xres/FORMAT.md.\n"
    "\n"
    "Exit status: 0 on success, 1 on failure (a damaged file is refused), 2 on bad usage.\n";

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

int Fail(const QString& text) {
    Print(stderr, QStringLiteral("xres-pack: %1").arg(text));
    return ExitFailure;
}

bool IsJpegType(const QByteArray& type) { return type == "JPEG" || type == "AJPG" || !XRes::BaseTypeOf(type).isEmpty(); }
bool IsStripType(const QByteArray& type) { return type == "AJPG" || type == "AJ2X"; }

QSize JpegSize(const QByteArray& data) {
    QByteArray copy = data;
    QBuffer buffer(&copy);
    return QImageReader(&buffer, "jpeg").size();
}

// Frames of a strip: square frames side by side.
int SquareFrames(QSize size) {
    if (size.height() <= 0 || size.width() % size.height() != 0) return 1;
    return std::clamp(size.width() / size.height(), 1, XRes::MaxFrames);
}

// One resource from FOLDER/TYPE/NAME[.FRAMES].ext; empty Error on success.
XRes::TResource ReadResource(const QString& path, const QByteArray& type, QString& error) {
    XRes::TResource r;
    r.Type = type;
    const QString base = QFileInfo(path).fileName();
    const QStringList parts = base.split('.');
    r.Name = XRes::NormalKey(parts.first().toLatin1());
    if (r.Name.isEmpty() || parts.first().size() != 4) {
        error = QStringLiteral("%1: the name must be four of A-Z, 0-9 and _").arg(path);
        return r;
    }
    int given = 0;
    if (parts.size() >= 3) {
        bool ok = false;
        given = parts[1].toInt(&ok);
        if (!ok || given < 1 || given > XRes::MaxFrames) {
            error = QStringLiteral("%1: \"%2\" is no frame count from 1 to %3").arg(path, parts[1]).arg(XRes::MaxFrames);
            return r;
        }
    }
    if (!Platform::ReadWholeFile(path, r.Data, XRes::MaxFileSize)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    if (IsJpegType(type)) {
        QImageReader reader(path, "jpeg");
        const QSize size = reader.size();
        if (!r.Data.startsWith("\xFF\xD8") || !size.isValid()) {
            error = QStringLiteral("%1 is not a JPEG file").arg(path);
            return r;
        }
        if (IsStripType(type)) {
            r.Frames = given > 0 ? given : SquareFrames(size);
            if (size.width() % r.Frames != 0) {
                error = QStringLiteral("%1: a width of %2 can't hold %3 equal frames").arg(path).arg(size.width()).arg(r.Frames);
                return r;
            }
        } else if (given > 1) {
            error = QStringLiteral("%1: a still has one frame").arg(path);
            return r;
        }
    } else {
        r.Frames = given > 0 ? given : 1;
    }
    return r;
}

int Pack(const QString& folder, const QString& file) {
    const QDir root(folder);
    if (!root.exists()) return Fail(QStringLiteral("%1 is not a folder").arg(folder));
    QList<XRes::TResource> resources;
    const QStringList typeFolders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& typeName : typeFolders) {
        const QByteArray type = XRes::NormalKey(typeName.toLatin1());
        if (type.isEmpty()) return Fail(QStringLiteral("%1/%2: a type folder needs a four-character name").arg(folder, typeName));
        const QDir dir(root.filePath(typeName));
        for (const QString& entry : dir.entryList(QDir::Files, QDir::Name)) {
            QString error;
            XRes::TResource r = ReadResource(dir.filePath(entry), type, error);
            if (!error.isEmpty()) return Fail(error);
            resources.append(std::move(r));
        }
    }
    if (resources.isEmpty()) return Fail(QStringLiteral("%1 holds no resources").arg(folder));
    QString error;
    const QByteArray container = XRes::Build(resources, &error);
    if (container.isEmpty()) return Fail(error);
    if (!Platform::WriteFileAtomically(file, container))
        return Fail(QStringLiteral("cannot write %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno))));
    Print(stdout, QStringLiteral("%1: %2 resources, %3 bytes").arg(file).arg(resources.size()).arg(container.size()));
    return 0;
}

bool OpenContainer(const QString& file, XRes::TXResFile& container) {
    QString error;
    if (container.Open(file, &error)) return true;
    Fail(error);
    return false;
}

// What a twin of twice the size is to the program: the picture it doubles,
// or why it is ignored (see FORMAT.md).
QString TwinNote(const XRes::TXResFile& container, const XRes::TEntry& twin) {
    const QByteArray base = XRes::BaseTypeOf(twin.Type);
    if (base.isEmpty()) return {};
    const QString of = QStringLiteral("%1 %2").arg(QString::fromLatin1(base), QString::fromLatin1(twin.Name));
    const XRes::TEntry* one = container.Find(base, twin.Name);
    if (!one) return QStringLiteral("  2x, ignored: no %1").arg(of);
    const QSize size = JpegSize(container.Data(*one)), sharp = JpegSize(container.Data(twin));
    if (!size.isValid() || sharp != size * 2 || one->Frames != twin.Frames)
        return QStringLiteral("  2x, ignored: not twice %1").arg(of);
    return QStringLiteral("  2x of %1").arg(of);
}

int List(const QString& file) {
    XRes::TXResFile container;
    if (!OpenContainer(file, container)) return ExitFailure;
    Print(stdout, QStringLiteral("TYPE NAME FRAMES   SIZE   OFFSET"));
    for (const XRes::TEntry& e : container.Entries())
        Print(stdout, QStringLiteral("%1 %2 %3 %4 %5%6")
                          .arg(QString::fromLatin1(e.Type), QString::fromLatin1(e.Name))
                          .arg(e.Frames, 6).arg(e.Size, 6).arg(e.Offset, 8).arg(TwinNote(container, e)));
    return 0;
}

bool WriteOut(const QString& path, const QByteArray& data) {
    if (Platform::WriteFileAtomically(path, data)) return true;
    Fail(QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

int Extract(const QString& file, const QString& type, const QString& name, const QString& out) {
    XRes::TXResFile container;
    if (!OpenContainer(file, container)) return ExitFailure;
    const XRes::TEntry* e = container.Find(type.toLatin1(), name.toLatin1());
    if (!e) return Fail(QStringLiteral("%1 holds no resource %2/%3").arg(file, type, name));
    return WriteOut(out, container.Data(*e)) ? 0 : ExitFailure;
}

int Unpack(const QString& file, const QString& folder) {
    XRes::TXResFile container;
    if (!OpenContainer(file, container)) return ExitFailure;
    for (const XRes::TEntry& e : container.Entries()) {
        const QString typeFolder = Platform::WithTrailingSlash(folder) + QString::fromLatin1(e.Type) + '/';
        if (!QDir().mkpath(typeFolder)) return Fail(QStringLiteral("cannot create %1").arg(typeFolder));
        const QByteArray data = container.Data(e);
        QString name = QString::fromLatin1(e.Name);
        const int implied = IsStripType(e.Type) ? SquareFrames(JpegSize(data)) : 1;
        if (int(e.Frames) != implied) name += QStringLiteral(".%1").arg(e.Frames);
        name += IsJpegType(e.Type) ? QStringLiteral(".jpg") : QStringLiteral(".bin");
        if (!WriteOut(typeFolder + name, data)) return ExitFailure;
    }
    Print(stdout, QStringLiteral("%1 resources written to %2").arg(container.Entries().size()).arg(folder));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("-h") || args.first() == QLatin1String("--help")) {
        std::fputs(HelpText, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? ExitUsage : 0;
    }
    const QString command = args.first();
    const auto usage = [](const QString& text) {
        Print(stderr, QStringLiteral("xres-pack: %1").arg(text));
        Print(stderr, QStringLiteral("Try 'xres-pack --help'."));
        return ExitUsage;
    };
    if (command == QLatin1String("pack")) {
        if (args.size() != 3) return usage(QStringLiteral("pack takes FOLDER and FILE"));
        return Pack(args[1], args[2]);
    }
    if (command == QLatin1String("list")) {
        if (args.size() != 2) return usage(QStringLiteral("list takes FILE"));
        return List(args[1]);
    }
    if (command == QLatin1String("extract")) {
        if (args.size() != 5) return usage(QStringLiteral("extract takes FILE, TYPE, NAME and OUT"));
        return Extract(args[1], args[2], args[3], args[4]);
    }
    if (command == QLatin1String("unpack")) {
        if (args.size() != 3) return usage(QStringLiteral("unpack takes FILE and FOLDER"));
        return Unpack(args[1], args[2]);
    }
    return usage(QStringLiteral("unknown command %1").arg(command));
}
