#include "shell/inifile.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "shell/strings.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <climits>
#include <mutex>
#include <vector>

namespace {

// A settings file larger than this is not one: reads give defaults, writes fail.
constexpr qint64 MaxIniBytes = qint64(64) << 20;
const QByteArray Utf8Bom("\xEF\xBB\xBF");

// File text decoded, with what is needed to encode it back byte for byte.
struct TDecoded {
    QString Text;
    bool Utf8 = true;
    bool Bom = false;
};

TDecoded Decode(const QByteArray& bytes) {
    TDecoded d;
    QByteArrayView body(bytes);
    if (bytes.startsWith(Utf8Bom)) {
        d.Bom = true;
        body = body.sliced(Utf8Bom.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    d.Text = utf8.decode(body);
    if (utf8.hasError()) {
        // Not UTF-8: files written by older tools are Latin-1, which maps
        // every byte and so reads anything without loss.
        d.Utf8 = false;
        d.Bom = false;
        d.Text = QString::fromLatin1(bytes);
    }
    return d;
}

QByteArray Encode(const QString& text, const TDecoded& original) {
    if (!original.Utf8) {
        bool latin1 = true;
        for (QChar c : text) {
            if (c.unicode() > 0xFF) {
                latin1 = false;
                break;
            }
        }
        // A character Latin-1 cannot hold turns the file into UTF-8: the text
        // of every other entry is kept, only its bytes change.
        if (latin1) return text.toLatin1();
    }
    QByteArray out = original.Bom ? Utf8Bom : QByteArray();
    out += text.toUtf8();
    return out;
}

enum class TKind { Other, Section, Key };

struct TLine {
    qsizetype Start = 0;  // first character
    qsizetype End = 0;    // end of the text, before CR LF
    qsizetype Next = 0;   // start of the next line
    TKind Kind = TKind::Other;
    QStringView Name;     // section name or key
    QStringView Value;    // raw value, trimmed
};

bool SameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString Unquoted(QStringView value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    qsizetype length = qMin<qsizetype>(value.size(), TIniFile::MaxValueLength);
    // Never leave half of a surrogate pair at the cut.
    if (length < value.size() && length > 0 && value.at(length - 1).isHighSurrogate()) --length;
    return value.first(length).toString();
}

// The parsed lines of one file text. Views point into Text, which outlives it.
class TModel {
public:
    explicit TModel(const QString& text) : FText(text) {
        const qsizetype size = text.size();
        qsizetype pos = 0;
        while (pos < size) {
            TLine line;
            line.Start = pos;
            qsizetype eol = text.indexOf(u'\n', pos);
            if (eol < 0) eol = size;
            line.Next = eol < size ? eol + 1 : size;
            line.End = (eol > pos && text.at(eol - 1) == u'\r') ? eol - 1 : eol;
            Classify(line);
            FLines.push_back(line);
            pos = line.Next;
        }
    }

    const std::vector<TLine>& Lines() const { return FLines; }

    // Index of the first header of Section, or -1.
    qsizetype FindSection(QStringView section, qsizetype from = 0) const {
        for (qsizetype i = from; i < qsizetype(FLines.size()); ++i)
            if (FLines[i].Kind == TKind::Section && SameName(FLines[i].Name, section)) return i;
        return -1;
    }

    // One past the last line of the section whose header is at Header.
    qsizetype SectionEnd(qsizetype header) const {
        qsizetype i = header + 1;
        while (i < qsizetype(FLines.size()) && FLines[i].Kind != TKind::Section) ++i;
        return i;
    }

    // Index of the first line of Key in the first Section, or -1.
    qsizetype FindKey(QStringView section, QStringView key) const {
        const qsizetype header = FindSection(section);
        if (header < 0) return -1;
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i)
            if (FLines[i].Kind == TKind::Key && SameName(FLines[i].Name, key)) return i;
        return -1;
    }

    // Key lines of the first Section, in file order.
    std::vector<qsizetype> KeyLines(QStringView section) const {
        std::vector<qsizetype> keys;
        const qsizetype header = FindSection(section);
        if (header < 0) return keys;
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i)
            if (FLines[i].Kind == TKind::Key) keys.push_back(i);
        return keys;
    }

    QString LineEnding() const {
        const qsizetype lf = FText.indexOf(u'\n');
        if (lf > 0 && FText.at(lf - 1) == u'\r') return QStringLiteral("\r\n");
        return QStringLiteral("\n");
    }

private:
    void Classify(TLine& line) {
        const QStringView text = QStringView(FText).sliced(line.Start, line.End - line.Start).trimmed();
        if (text.isEmpty() || text.front() == u';') return;
        if (text.front() == u'[') {
            // Up to the last "]", so that a name holding "]" reads back whole;
            // a header without one takes the rest of the line.
            QStringView name = text.sliced(1);
            const qsizetype close = name.lastIndexOf(u']');
            if (close >= 0) name = name.first(close);
            line.Kind = TKind::Section;
            line.Name = name.trimmed();
            return;
        }
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0) return;  // no "=": not a key, reads skip it
        line.Kind = TKind::Key;
        line.Name = text.first(equals).trimmed();
        line.Value = text.sliced(equals + 1).trimmed();
    }

    const QString& FText;
    std::vector<TLine> FLines;
};

// The text written for Value so that it reads back unchanged.
QString StoredValue(const QString& value) {
    const bool blanks = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                        value.back() == value.front();
    return (blanks || quoted) ? u'"' + value + u'"' : value;
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

std::mutex& WriteLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

// ---------------------------------------------------------------------------

namespace IniText {

QString ReadString(const QByteArray& text, const QString& section, const QString& key,
                   const QString& def) {
    const TDecoded decoded = Decode(text);
    const TModel model(decoded.Text);
    const qsizetype line = model.FindKey(QStringView(section).trimmed(), QStringView(key).trimmed());
    if (line < 0) return def;
    return Unquoted(model.Lines()[line].Value);
}

namespace {

// Key names of Section in file order; with a Budget, only as many as fit that
// many bytes of zero-terminated names (the raw section list's buffer).
QStringList KeyNames(const TModel& model, const QString& section, qsizetype budget) {
    QStringList keys;
    qsizetype used = 1;  // the zero that ends the list
    for (qsizetype i : model.KeyLines(QStringView(section).trimmed())) {
        const QStringView name = model.Lines()[i].Name;
        // An empty name would read as the end of the list.
        if (name.isEmpty()) continue;
        if (budget > 0) {
            const qsizetype need = name.toUtf8().size() + 1;
            if (used + need > budget) break;
            used += need;
        }
        keys.append(name.toString());
    }
    return keys;
}

} // namespace

void ReadSection(const QByteArray& text, const QString& section, QStringList& keys) {
    const TDecoded decoded = Decode(text);
    keys = KeyNames(TModel(decoded.Text), section, TIniFile::SectionBufferSize);
}

void ReadSectionValues(const QByteArray& text, const QString& section, QStringList& lines) {
    lines.clear();
    const TDecoded decoded = Decode(text);
    const TModel model(decoded.Text);
    // Every line of the section: a caller rewriting the section from this
    // list must not lose what a fixed-size buffer would have cut off.
    const QStringList keys = KeyNames(model, section, 0);
    if (keys.isEmpty()) return;
    // Each key shows the value a read of it gives: that of its first line.
    QHash<QString, QString> first;
    for (qsizetype i : model.KeyLines(QStringView(section).trimmed())) {
        const TLine& line = model.Lines()[i];
        const QString folded = line.Name.toString().toCaseFolded();
        if (!first.contains(folded)) first.insert(folded, Unquoted(line.Value));
    }
    for (const QString& key : keys) lines.append(key + u'=' + first.value(key.toCaseFolded()));
}

void ReadSections(const QByteArray& text, QStringList& sections) {
    sections.clear();
    const TDecoded decoded = Decode(text);
    const TModel model(decoded.Text);
    QHash<QString, bool> seen;
    for (const TLine& line : model.Lines()) {
        if (line.Kind != TKind::Section) continue;
        const QString folded = line.Name.toString().toCaseFolded();
        if (seen.contains(folded)) continue;
        seen.insert(folded, true);
        sections.append(line.Name.toString());
    }
}

bool SectionExists(const QByteArray& text, const QString& section) {
    const TDecoded decoded = Decode(text);
    return TModel(decoded.Text).FindSection(QStringView(section).trimmed()) >= 0;
}

bool CanWrite(const QString& section, const QString& key, const QString& value) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (s.isEmpty() || k.isEmpty()) return false;
    if (HasLineBreak(s) || HasLineBreak(k) || HasLineBreak(value)) return false;
    if (k.contains(u'=') || k.front() == u'[' || k.front() == u';') return false;
    return true;
}

QByteArray WriteString(const QByteArray& text, const QString& section, const QString& key,
                       const QString& value) {
    if (!CanWrite(section, key, value)) return text;
    const TDecoded decoded = Decode(text);
    const QString& source = decoded.Text;
    const TModel model(source);
    const QString sectionName = section.trimmed();
    const QString entry = key.trimmed() + u'=' + StoredValue(value);
    const QString eol = model.LineEnding();
    const auto& lines = model.Lines();

    QString result;
    const qsizetype keyLine = model.FindKey(sectionName, key.trimmed());
    if (keyLine >= 0) {
        const TLine& line = lines[keyLine];
        result = source.left(line.Start) + entry + source.mid(line.End);
    } else if (const qsizetype header = model.FindSection(sectionName); header >= 0) {
        // After the section's last non-blank line, so a blank line that
        // separates it from the next section stays where it is.
        qsizetype last = header;
        const qsizetype end = model.SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i)
            if (!QStringView(source).sliced(lines[i].Start, lines[i].End - lines[i].Start).trimmed().isEmpty())
                last = i;
        const qsizetype at = lines[last].End;
        result = source.left(at) + eol + entry + source.mid(at);
    } else {
        result = source;
        if (!result.isEmpty()) {
            if (!result.endsWith(u'\n')) result += eol;
            result += eol;
        }
        result += u'[' + sectionName + u']' + eol + entry + eol;
    }
    return Encode(result, decoded);
}

QByteArray EraseSection(const QByteArray& text, const QString& section) {
    const TDecoded decoded = Decode(text);
    const TModel model(decoded.Text);
    const QString name = section.trimmed();
    if (model.FindSection(name) < 0) return text;
    // Every header of that name goes, so the section is gone for good.
    QString result;
    const auto& lines = model.Lines();
    bool dropping = false;
    for (const TLine& line : lines) {
        if (line.Kind == TKind::Section) dropping = SameName(line.Name, name);
        if (!dropping) result += QStringView(decoded.Text).sliced(line.Start, line.Next - line.Start);
    }
    return Encode(result, decoded);
}

QByteArray DeleteKey(const QByteArray& text, const QString& section, const QString& key) {
    const TDecoded decoded = Decode(text);
    const TModel model(decoded.Text);
    const qsizetype line = model.FindKey(section.trimmed(), key.trimmed());
    if (line < 0) return text;
    const TLine& l = model.Lines()[line];
    return Encode(decoded.Text.left(l.Start) + decoded.Text.mid(l.Next), decoded);
}

} // namespace IniText

// ---------------------------------------------------------------------------

int IniStrToIntDef(const QString& text, int def) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        qint64 value = 0;
        for (qsizetype i = 2; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            int digit;
            if (c >= u'0' && c <= u'9') digit = c - u'0';
            else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
            else return def;
            value = value * 16 + digit;
            if (value > INT_MAX) return def;
        }
        return int(value);
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= text.size()) return def;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return def;
        value = value * 10 + (c - u'0');
        if (value > qint64(INT_MAX) + 1) return def;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return def;
    return int(value);
}

// ---------------------------------------------------------------------------

namespace {

QByteArray ReadForQuery(const QString& fileName) {
    QByteArray bytes;
    // An unreadable or missing file reads as empty: every key its default.
    if (!Platform::ReadWholeFile(fileName, bytes, MaxIniBytes)) bytes.clear();
    return bytes;
}

[[noreturn]] void RaiseWriteError(const QString& fileName) {
    throw EError(ResString(TStr::UnableToWriteTo).replace(QLatin1String("%s"), fileName));
}

// Reads the file for a change; only a missing file counts as empty, any
// other failure would lose its content and so stops the write.
QByteArray ReadForChange(const QString& fileName) {
    QByteArray bytes;
    if (Platform::ReadWholeFile(fileName, bytes, MaxIniBytes)) return bytes;
    if (errno == ENOENT) return {};
    RaiseWriteError(fileName);
}

} // namespace

TIniFile::TIniFile(QString fileName, int createMode)
    : FFileName(std::move(fileName)), FCreateMode(createMode) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    return IniText::ReadString(ReadForQuery(FFileName), section, key, def);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    return IniStrToIntDef(ReadString(section, key, QString()), def);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (!IniText::CanWrite(section, key, value)) RaiseWriteError(FFileName);
    // One writer at a time, so two threads' changes cannot undo each other.
    std::lock_guard<std::mutex> guard(WriteLock());
    const QByteArray bytes = ReadForChange(FFileName);
    if (!Platform::WriteFileAtomically(FFileName, IniText::WriteString(bytes, section, key, value),
                                       FCreateMode))
        RaiseWriteError(FFileName);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::EraseSection(const QString& section) {
    std::lock_guard<std::mutex> guard(WriteLock());
    const QByteArray bytes = ReadForChange(FFileName);
    if (!IniText::SectionExists(bytes, section)) return;
    if (!Platform::WriteFileAtomically(FFileName, IniText::EraseSection(bytes, section), FCreateMode))
        RaiseWriteError(FFileName);
}

void TIniFile::ReplaceSection(const QString& section,
                              const QList<std::pair<QString, QString>>& entries) {
    for (const auto& [key, value] : entries)
        if (!IniText::CanWrite(section, key, value)) RaiseWriteError(FFileName);
    std::lock_guard<std::mutex> guard(WriteLock());
    const QByteArray bytes = ReadForChange(FFileName);
    QByteArray changed = IniText::SectionExists(bytes, section) ? IniText::EraseSection(bytes, section) : bytes;
    for (const auto& [key, value] : entries) changed = IniText::WriteString(changed, section, key, value);
    if (changed == bytes) return;
    if (!Platform::WriteFileAtomically(FFileName, changed, FCreateMode)) RaiseWriteError(FFileName);
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    std::lock_guard<std::mutex> guard(WriteLock());
    const QByteArray bytes = ReadForChange(FFileName);
    const QByteArray changed = IniText::DeleteKey(bytes, section, key);
    if (changed == bytes) return;
    if (!Platform::WriteFileAtomically(FFileName, changed, FCreateMode)) RaiseWriteError(FFileName);
}

void TIniFile::ReadSection(const QString& section, QStringList& keys) const {
    IniText::ReadSection(ReadForQuery(FFileName), section, keys);
}

void TIniFile::ReadSectionValues(const QString& section, QStringList& lines) const {
    IniText::ReadSectionValues(ReadForQuery(FFileName), section, lines);
}

void TIniFile::ReadSections(QStringList& sections) const {
    IniText::ReadSections(ReadForQuery(FFileName), sections);
}

bool TIniFile::SectionExists(const QString& section) const {
    return IniText::SectionExists(ReadForQuery(FFileName), section);
}
