#include "shell/appfonts.h"
#include "platform/safefolder.h"
#include <QFont>
#include <QFontDatabase>

namespace {

// Far above any font we ship; a bigger file is no font of ours.
constexpr qint64 MaxFontBytes = qint64(32) << 20;

bool IsFontName(const QString& name) {
    return name.endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".otf"), Qt::CaseInsensitive);
}

} // namespace

QStringList RegisterProgramFonts(const QString& folder) {
    QStringList families;
    // The folder may be on a disc: a link or a FIFO named like a font is never read.
    const Platform::TSafeFolder fonts = Platform::TSafeFolder::Open(folder);
    if (fonts.IsOpen()) {
        for (const auto& entry : fonts.List()) {
            if (entry.Kind != Platform::TSafeFolder::TKind::File || !IsFontName(entry.Name)) continue;
            QByteArray data;
            if (!fonts.ReadFile(entry.Name, data, MaxFontBytes)) continue;
            const int id = QFontDatabase::addApplicationFontFromData(data);
            if (id < 0) continue;
            for (const QString& family : QFontDatabase::applicationFontFamilies(id))
                if (!families.contains(family)) families << family;
        }
    }
    families.sort();
    // Qt tries a family's substitutes before fontconfig's fallbacks, and only
    // when the family itself is missing, so a real Arial still wins.
    if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")) &&
        !QFont::substitutes(QStringLiteral("Arial")).contains(QStringLiteral("Liberation Sans")))
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    return families;
}
