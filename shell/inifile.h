#pragma once
#include <QString>
#include <QList>
#include <QStringList>
#include <utility>

// INI access object in the private-profile manner: it holds only the file
// name and reads the file afresh on every call. Sections and keys compare
// without regard to case, the first match wins, values are cut at 1023
// characters. Writes go through a temporary file and a rename.
class TIniFile {
public:
    explicit TIniFile(QString fileName, int createMode = 0644);
    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // "0x"/"0X" followed by hex digits reads hexadecimal, otherwise a signed
    // decimal; anything else (also empty or absent) gives Default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // Raise EError("Unable to write to <file>") on failure, also when the entry
    // cannot be stored (IniText::CanWrite) or the file is read-only. A value
    // with surrounding blanks or quotes is written quoted so it reads back unchanged.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);
    // Section erased and Entries written in its place, in one write of the
    // file: a failure (or an entry that can't be stored) leaves the file as it was.
    void ReplaceSection(const QString& section, const QList<std::pair<QString, QString>>& entries);
    void DeleteKey(const QString& section, const QString& key);

    // Key names of Section (the list is cleared first), as many as fit the
    // 8192-byte buffer of zero-terminated names.
    void ReadSection(const QString& section, QStringList& keys) const;
    // "key=value" lines of Section in file order, all of them (the list is
    // cleared first); unlike ReadSection it has no buffer limit.
    void ReadSectionValues(const QString& section, QStringList& lines) const;
    // Every section name in file order.
    void ReadSections(QStringList& sections) const;
    bool SectionExists(const QString& section) const;

    static constexpr int MaxValueLength = 1023;
    static constexpr int SectionBufferSize = 8192;

private:
    QString FFileName;
    int FCreateMode;
};

// The INI text model behind TIniFile, exposed for the fuzz target and tests:
// parses Text and answers the same questions without touching a file.
namespace IniText {
QString ReadString(const QByteArray& text, const QString& section, const QString& key,
                   const QString& def);
void ReadSectionValues(const QByteArray& text, const QString& section, QStringList& lines);
void ReadSection(const QByteArray& text, const QString& section, QStringList& keys);
// Returns the new text with Key of Section set to Value (section appended when absent).
QByteArray WriteString(const QByteArray& text, const QString& section, const QString& key,
                       const QString& value);
QByteArray EraseSection(const QByteArray& text, const QString& section);
QByteArray DeleteKey(const QByteArray& text, const QString& section, const QString& key);
void ReadSections(const QByteArray& text, QStringList& sections);
bool SectionExists(const QByteArray& text, const QString& section);
// False when the entry cannot be stored so that it reads back as written: an
// empty section or key, a line break anywhere, a key holding "=" or starting
// with "[" or ";". WriteString leaves the text unchanged then.
bool CanWrite(const QString& section, const QString& key, const QString& value);
} // namespace IniText

// ReadInteger's conversion rule on its own: "0x1F" -> 31, "abc" -> Default.
int IniStrToIntDef(const QString& text, int def);
