#include "sharing/installlogic.h"
#include "platform/paths.h"
#include <QFile>

bool IsUsableRollName(const QString& name) {
    if (name.isEmpty() || name.startsWith('.') || name.contains(QLatin1String(".."))) return false;
    if (QFile::encodeName(name).size() > 255) return false;
    for (const QChar c : name) {
        if (c == '/' || c == '\\' || c == ':') return false;
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) return false;
    }
    return true;
}

QString ResolveDestination(const QString& typed, const QString& home, const QString& pictures) {
    QString path = typed.trimmed();
    // A drive letter and backslashes: the default of discs made for another
    // system; the folder it names goes into the pictures folder here.
    if (path.size() >= 2 && path[1] == ':' && path[0].isLetter()) {
        path = path.mid(2);
        path.replace('\\', '/');
        while (path.startsWith('/')) path.remove(0, 1);
        return Platform::WithTrailingSlash(Platform::WithTrailingSlash(pictures) + path);
    }
    path.replace('\\', '/');
    if (path == QLatin1String("~")) path = home;
    else if (path.startsWith(QLatin1String("~/"))) path = Platform::WithTrailingSlash(home) + path.mid(2);
    if (!path.startsWith('/')) return {};
    // No "." or ".." steps: the folder meant is the one written.
    for (const QString& step : path.split('/', Qt::SkipEmptyParts))
        if (step == QLatin1String(".") || step == QLatin1String("..")) return {};
    return Platform::WithTrailingSlash(path);
}

QString ShortcutFolder(const QString& applications, const QString& base, const QString& fallback) {
    const auto folderOf = [&](QString text) -> QString {
        text.replace('\\', '/');
        const QStringList steps = text.split('/', Qt::SkipEmptyParts);
        for (const QString& step : steps)
            if (!IsUsableRollName(step)) return {};
        return Platform::WithTrailingSlash(applications) + (steps.isEmpty() ? QString() : steps.join('/') + '/');
    };
    const QString folder = folderOf(base);
    return folder.isEmpty() ? folderOf(fallback) : folder;
}

QString DesktopExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        if (reserved.contains(c)) quote = true;
    QString out;
    for (const QChar c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    return quote ? '"' + out + '"' : out;
}

QByteArray DesktopEntryText(const TDesktopEntry& entry) {
    // Values of the entry are strings: "\" escaped, and no line breaks.
    const auto value = [](QString text) {
        text.replace('\\', QLatin1String("\\\\")).replace('\n', QLatin1String("\\n"));
        return text;
    };
    QStringList exec;
    for (const QString& argument : entry.Command) exec << DesktopExecArgument(argument);
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.0\n");
    text += QStringLiteral("Name=") + value(entry.Name) + '\n';
    text += QStringLiteral("Path=") + value(entry.WorkingFolder) + '\n';
    text += QStringLiteral("Exec=") + value(exec.join(' ')) + '\n';
    text += QStringLiteral("Categories=Graphics;Photography;\n");
    return text.toUtf8();
}
