#pragma once
// Desktop entries read back as a desktop reads them.
#include <QByteArray>
#include <QString>
#include <QStringList>

// An Exec line read back by the Desktop Entry rules: the string escapes
// first, then the arguments, quoted ones with their own escapes.
inline QStringList ParseExec(const QString& line) {
    QString unescaped;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            const QChar next = line[++i];
            unescaped += next == 'n' ? QChar('\n') : next == 's' ? QChar(' ') : next;
        } else {
            unescaped += line[i];
        }
    }
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == '\\' && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any || !current.isEmpty()) args << current;
            current.clear();
            any = false;
        } else if (c == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
            current += c;
            ++i;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty()) args << current;
    return args;
}

inline QString ExecOf(const QByteArray& entry) {
    for (const QByteArray& line : entry.split('\n'))
        if (line.startsWith("Exec=")) return QString::fromUtf8(line.mid(5));
    return {};
}

