#include "viewer/fullviewtext.h"
#include "collection/roll.h"

QString FormatDecimalArgs(const QString& templ, const std::vector<qint64>& values) {
    QString out;
    out.reserve(templ.size() + 16);
    for (qsizetype i = 0; i < templ.size(); ++i) {
        const QChar c = templ[i];
        if (c != '%') {
            out += c;
            continue;
        }
        // "%%" is a percent sign.
        if (i + 1 < templ.size() && templ[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %n!d!: one digit 1..9, then the decimal type.
        if (i + 4 >= templ.size() || !templ[i + 1].isDigit() || templ[i + 1] == '0') return templ;
        const int n = templ[i + 1].digitValue();
        if (templ.mid(i + 2, 3) != QLatin1String("!d!")) return templ;
        if (n > int(values.size())) return templ;
        out += QString::number(values[size_t(n - 1)]);
        i += 4;
    }
    return out;
}

QString ItemIndexText(const TRoll* roll, int currentIndex) {
    if (!roll) return QString::fromLatin1(NoImagesText);
    return FormatDecimalArgs(QString::fromLatin1(ItemIndexTemplate), {currentIndex + 1, roll->Count()});
}

QString LoadingImageText(int index) { return QString::fromLatin1(LoadingImagePrefix) + QString::number(index + 1); }
