// make-variant: turns a plain JPEG file into a photo-service variant file
// (see suite/iprot/FORMAT.md), for authoring test discs.
#include "suite/iprot/iprot.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

const char* const UsageText =
    "Usage: make-variant [--variant A|B] [--turns N] [--flip] [--reverse] IN.jpg OUT\n"
    "Converts a plain JPEG file into a photo-service variant file.\n"
    "\n"
    "  --variant A|B  variant to write (default A)\n"
    "  --turns N      quarter turns clockwise to apply when shown, 0..15 (default 0)\n"
    "  --flip         flip top to bottom when shown\n"
    "  --reverse      reverse left to right when shown\n"
    "  --help         show this text\n";

// Larger inputs do not fit the 32-bit payload length of the formats.
constexpr qint64 MaxInputSize = 0xFFFFFFFFll;

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

int Fail(const QString& message, ExitCode code = ExitFailed) {
    std::fprintf(stderr, "make-variant: %s\n", message.toLocal8Bit().constData());
    if (code == ExitUsage) std::fputs("Try 'make-variant --help'.\n", stderr);
    return code;
}

struct TOptions {
    bool VariantB = false;
    unsigned Turns = 0;
    bool Flip = false;
    bool Reverse = false;
    QString Input;
    QString Output;
};

// Returns an empty text when the arguments were understood, else what was wrong.
QString ParseArguments(const QStringList& args, TOptions& options, bool& help) {
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded || !a.startsWith("--")) {
            positional << a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help") {
            help = true;
        } else if (a == "--flip") {
            options.Flip = true;
        } else if (a == "--reverse") {
            options.Reverse = true;
        } else if (a == "--variant" || a == "--turns") {
            if (i + 1 >= args.size()) return QString("option %1 needs a value").arg(a);
            const QString v = args[++i];
            if (a == "--variant") {
                if (v.compare("A", Qt::CaseInsensitive) == 0)
                    options.VariantB = false;
                else if (v.compare("B", Qt::CaseInsensitive) == 0)
                    options.VariantB = true;
                else
                    return QString("unknown variant \"%1\" (use A or B)").arg(v);
            } else {
                bool ok = false;
                const uint n = v.toUInt(&ok);
                if (!ok || n > IProt::OrientationTurnMask)
                    return QString("--turns needs a number from 0 to 15, not \"%1\"").arg(v);
                options.Turns = n;
            }
        } else {
            return QString("unknown option %1").arg(a);
        }
    }
    if (help) return {};
    if (positional.size() != 2) return "expected an input JPEG file and an output file";
    options.Input = positional[0];
    options.Output = positional[1];
    return {};
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    TOptions options;
    bool help = false;
    const QString problem = ParseArguments(args, options, help);
    if (help) {
        std::fputs(UsageText, stdout);
        return ExitOk;
    }
    if (!problem.isEmpty()) return Fail(problem, ExitUsage);

    QFile in(options.Input);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(QString("cannot read %1: %2").arg(options.Input, in.errorString()));
    if (in.size() > MaxInputSize)
        return Fail(QString("%1 is too large (more than 4 GiB)").arg(options.Input));
    const QByteArray jpeg = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Fail(QString("cannot read %1: %2").arg(options.Input, in.errorString()));
    in.close();

    // A walk of the marker segments up to the start of scan tells a JPEG from
    // anything else without decoding it.
    uint32_t value = 0;
    uint16_t length = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(jpeg.constData());
    if (IProt::FindMarkerPosition(bytes, jpeg.size(), 0xDAFF, value, length) < 0)
        return Fail(QString("%1 is not a JPEG file").arg(options.Input));

    unsigned flags = options.Turns;
    if (options.Flip) flags |= IProt::OrientationFlip;
    if (options.Reverse) flags |= IProt::OrientationReverse;
    const QByteArray variant = options.VariantB ? IProt::MakeVariantB(jpeg, flags)
                                                : IProt::MakeVariantA(jpeg, flags);
    if (variant.isEmpty()) return Fail(QString("could not convert %1").arg(options.Input));

    // Written through a temporary file so a failed run leaves no half file behind.
    QSaveFile out(options.Output);
    if (!out.open(QIODevice::WriteOnly) || out.write(variant) != variant.size() || !out.commit())
        return Fail(QString("cannot write %1: %2").arg(options.Output, out.errorString()));
    return ExitOk;
}
