#include "support/pdf.h"
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QByteArray Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

} // namespace

TPdfInfo PdfInfo(const QString& file) {
    TPdfInfo info;
    const QString text = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {file}));
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    static const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption);
    if (const auto m = pages.match(text); m.hasMatch()) info.Pages = m.captured(1).toInt();
    if (const auto m = size.match(text); m.hasMatch()) info.PageSize = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    return info;
}

QString PdfText(const QString& file) {
    return QString::fromUtf8(Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")}));
}

QList<TPdfWord> PdfWords(const QString& file, int page) {
    const QString html = QString::fromUtf8(Run(QStringLiteral("pdftotext"),
                                               {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                                                QStringLiteral("-l"), QString::number(page), file, QStringLiteral("-")}));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<TPdfWord> words;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace(QLatin1String("&amp;"), QLatin1String("&")).replace(QLatin1String("&lt;"), QLatin1String("<"));
        words.append({text, QRectF(from, to)});
    }
    return words;
}

QImage RenderPdfPage(const QString& file, int page, int dpi) {
    QTemporaryDir folder;
    const QString stem = folder.filePath(QStringLiteral("page"));
    Run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
                                      QString::number(dpi), QStringLiteral("-f"), QString::number(page),
                                      QStringLiteral("-l"), QString::number(page), file, stem});
    return QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}
