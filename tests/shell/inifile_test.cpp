#include "shell/inifile.h"
#include "platform/errors.h"
#include "support/fixtures.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QByteArray Sample =
    "; disc settings\r\n"
    "[Config]\r\n"
    "  SSInterval = 0x1F  \r\n"
    "Installed=abc\r\n"
    "Name = \"  quoted  \"\r\n"
    "Single='x'\r\n"
    "Mixed=\"x'\r\n"
    "no equals sign here\r\n"
    ";Commented=1\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "Empty=\r\n"
    "\r\n"
    "[Other]\r\n"
    "Key=other\r\n"
    "[config]\r\n"
    "Late=ignored\r\n";

QString Read(const QByteArray& text, const char* section, const char* key, const char* def = "<def>") {
    return IniText::ReadString(text, section, key, def);
}

// Writes Text to a temporary INI file and opens it.
struct TIniFixture {
    TTempFolder Temp;
    QString Name;
    TIniFile Ini;
    explicit TIniFixture(const QByteArray& text = Sample)
        : Name(Temp.Write("test.ini", text)), Ini(Name) {}
    QByteArray Bytes() const { return ReadFileBytes(Name); }
};

} // namespace

TEST(IniText, ReadRules) {
    const struct { const char* section; const char* key; const char* expected; } cases[] = {
        {"Config", "SSInterval", "0x1F"},          // blanks around key and value go
        {"CONFIG", "ssinterval", "0x1F"},          // case does not matter
        {" Config ", " SSInterval ", "0x1F"},
        {"Config", "Name", "  quoted  "},          // matching quotes go, inner blanks stay
        {"Config", "Single", "x"},
        {"Config", "Mixed", "\"x'"},               // quotes that do not match stay
        {"Config", "Dup", "first"},                // first match wins
        {"Config", "Empty", ""},                   // present but empty is not the default
        {"Config", "no equals sign here", "<def>"},
        {"Config", ";Commented", "<def>"},
        {"Config", "Commented", "<def>"},
        {"Config", "Late", "<def>"},               // only the first [Config] counts
        {"Other", "Key", "other"},
        {"Other", "SSInterval", "<def>"},
        {"Missing", "Key", "<def>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(Sample, c.section, c.key), QString(c.expected)) << c.section << "/" << c.key;
}

TEST(IniText, LongValueIsCutAt1023) {
    const QByteArray text = "[S]\nK=" + QByteArray(1500, 'v') + "\n";
    EXPECT_EQ(Read(text, "S", "K"), QString(1023, 'v'));
    // A cut never splits a character made of two UTF-16 units.
    QByteArray emoji = "[S]\nK=" + QByteArray(1022, 'a');
    for (int i = 0; i < 10; ++i) emoji += "\xF0\x9F\x98\x80";
    const QString cut = Read(emoji, "S", "K");
    EXPECT_EQ(cut, QString(1022, 'a'));
}

TEST(IniText, DecodesUtf8ElseLatin1) {
    EXPECT_EQ(Read("[S]\nK=\xC3\xA9t\xC3\xA9\n", "S", "K"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(Read("[S]\nK=caf\xE9\n", "S", "K"), QString::fromLatin1("caf\xE9"));
    EXPECT_EQ(Read("\xEF\xBB\xBF[S]\nK=v\n", "S", "K"), "v");  // byte-order mark
    EXPECT_EQ(Read("[S]\nK=v", "S", "K"), "v");                 // no final line end
    EXPECT_EQ(Read("[S]\rK=v\r", "S", "K"), "<def>");            // a lone CR does not end a line
}

TEST(IniText, HostileInputStaysBounded) {
    QByteArray junk;
    for (int i = 0; i < 200000; ++i) junk += char((i * 7919) & 0xFF);
    junk += "\n[S]\nK=after junk\n";
    EXPECT_EQ(Read(junk, "S", "K"), "after junk");
    QStringList keys;
    IniText::ReadSection(junk, "S", keys);
    EXPECT_EQ(keys, QStringList{"K"});

    const QByteArray nul = QByteArray("[S]\nA=1\0\0\nB=2\n", 14);
    EXPECT_EQ(Read(nul, "S", "B"), "2");

    const QByteArray huge = "[S]\nK=" + QByteArray(1 << 20, 'x') + "\nL=" + QByteArray(1 << 20, '[') + "\n";
    EXPECT_EQ(Read(huge, "S", "K").size(), 1023);
    EXPECT_EQ(Read(huge, "S", "L").size(), 1023);
    EXPECT_EQ(Read(QByteArray(1 << 20, '['), "S", "K"), "<def>");
}

TEST(IniText, ReadSectionKeepsWithinBuffer) {
    // "Key00000" is 8 characters plus its zero: 9 bytes each, and one more
    // zero ends the list, so 910 names fit in 8192 bytes and the 911th not.
    QByteArray text = "[Many]\n";
    for (int i = 0; i < 1000; ++i) text += QByteArray("Key") + QByteArray::number(i).rightJustified(5, '0') + "=v\n";
    QStringList keys;
    IniText::ReadSection(text, "Many", keys);
    ASSERT_EQ(keys.size(), 910);
    EXPECT_EQ(keys.first(), "Key00000");
    EXPECT_EQ(keys.last(), "Key00909");
}

TEST(IniText, ReadSectionAndValuesInFileOrder) {
    QStringList keys{"stale"};
    IniText::ReadSection(Sample, "config", keys);
    EXPECT_EQ(keys, (QStringList{"SSInterval", "Installed", "Name", "Single", "Mixed", "Dup", "dup", "Empty"}));
    QStringList lines{"stale"};
    IniText::ReadSectionValues(Sample, "Config", lines);
    EXPECT_EQ(lines, (QStringList{"SSInterval=0x1F", "Installed=abc", "Name=  quoted  ", "Single=x",
                                  "Mixed=\"x'", "Dup=first", "dup=first", "Empty="}));
    IniText::ReadSection(Sample, "Missing", keys);
    EXPECT_TRUE(keys.isEmpty());
    QStringList sections;
    IniText::ReadSections(Sample, sections);
    EXPECT_EQ(sections, (QStringList{"Config", "Other"}));
}

TEST(IniStrToIntDef, Rule) {
    const struct { const char* text; int expected; } cases[] = {
        {"0x1F", 31}, {"0X1f", 31}, {"0x7FFFFFFF", 2147483647}, {"0x80000000", -7}, {"0x", -7},
        {"0xG", -7}, {"abc", -7}, {"", -7}, {"-12", -12}, {"+5", 5}, {"12", 12}, {"007", 7},
        {"-2147483648", -2147483647 - 1}, {"2147483647", 2147483647}, {"2147483648", -7},
        {"-2147483649", -7}, {"99999999999999999999", -7}, {"1 2", -7}, {"-", -7}, {"1.5", -7},
        {"$1F", -7}, {"-0x10", -7}, {"2", 2}, {"yes", -7},
    };
    for (const auto& c : cases) EXPECT_EQ(IniStrToIntDef(c.text, -7), c.expected) << c.text;
}

TEST(IniFile, ReadsIntegersAndBooleans) {
    TIniFixture f("[Config]\nHex=0x1F\nWord=abc\nYes=yes\nTwo=2\nZero=0\nNeg=-12\n");
    EXPECT_EQ(f.Ini.ReadInteger("Config", "Hex", 0), 31);
    EXPECT_EQ(f.Ini.ReadInteger("Config", "Word", 5), 5);
    EXPECT_EQ(f.Ini.ReadInteger("Config", "Neg", 0), -12);
    EXPECT_EQ(f.Ini.ReadInteger("Config", "Absent", 9), 9);
    EXPECT_FALSE(f.Ini.ReadBool("Config", "Yes", false));
    EXPECT_TRUE(f.Ini.ReadBool("Config", "Yes", true));
    EXPECT_TRUE(f.Ini.ReadBool("Config", "Two", false));
    EXPECT_FALSE(f.Ini.ReadBool("Config", "Zero", true));
}

TEST(IniFile, MissingFileGivesDefaultsAndIsReadAfresh) {
    TTempFolder temp;
    const TIniFile ini(temp.Path() + "none.ini");
    EXPECT_EQ(ini.ReadString("Config", "K", "d"), "d");
    EXPECT_EQ(ini.ReadInteger("Config", "K", 1), 1);
    EXPECT_TRUE(ini.ReadBool("Config", "K", true));
    EXPECT_FALSE(ini.SectionExists("Config"));
    temp.Write("none.ini", "[Config]\nK=now\n");
    EXPECT_EQ(ini.ReadString("Config", "K", "d"), "now");  // nothing was cached
    // A folder in the file's place reads as empty too.
    const TIniFile folder(temp.Make("dir.ini").chopped(1));
    EXPECT_EQ(folder.ReadString("S", "K", "d"), "d");
}

TEST(IniFile, WriteKeepsEverythingElse) {
    TIniFixture f;
    f.Ini.WriteString("config", "installed", "1");
    QByteArray expected = Sample;
    expected.replace("Installed=abc\r\n", "installed=1\r\n");
    EXPECT_EQ(f.Bytes(), expected);

    f.Ini.WriteString("Other", "New", "value");
    expected.replace("Key=other\r\n", "Key=other\r\nNew=value\r\n");
    EXPECT_EQ(f.Bytes(), expected);

    f.Ini.WriteInteger("Config", "Added", 42);  // after the last line of the section, before the blank
    expected.replace("Empty=\r\n\r\n", "Empty=\r\nAdded=42\r\n\r\n");
    EXPECT_EQ(f.Bytes(), expected);

    f.Ini.WriteBool("Fresh", "On", true);
    expected += "\r\n[Fresh]\r\nOn=1\r\n";
    EXPECT_EQ(f.Bytes(), expected);
    EXPECT_TRUE(f.Ini.ReadBool("Fresh", "On", false));
}

TEST(IniFile, WriteRoundTripsAwkwardValues) {
    TTempFolder temp;
    TIniFile ini(temp.Path() + "new.ini");
    const QStringList values = {"  padded  ", "\"quoted\"", "'single'", "\"open", "a=b;c", "", "caf\u00e9 \u65e5\u672c"};
    for (const QString& v : values) {
        ini.WriteString("S", "K", v);
        EXPECT_EQ(ini.ReadString("S", "K", "<def>"), v);
    }
    EXPECT_EQ(ReadFileBytes(temp.Path() + "new.ini"), QByteArray("[S]\nK=caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\n"));
}

TEST(IniFile, Latin1FileStaysLatin1) {
    TIniFixture f("[S]\nA=caf\xE9\n");
    f.Ini.WriteString("S", "B", QString::fromLatin1("na\xEFve"));
    EXPECT_EQ(f.Bytes(), QByteArray("[S]\nA=caf\xE9\nB=na\xEFve\n"));
    // A character Latin-1 lacks turns the file into UTF-8 without losing A.
    f.Ini.WriteString("S", "C", "\u65e5");
    EXPECT_EQ(f.Ini.ReadString("S", "A", ""), QString::fromLatin1("caf\xE9"));
    EXPECT_EQ(f.Ini.ReadString("S", "C", ""), "\u65e5");
}

TEST(IniFile, UnstorableEntriesRaiseAndWriteNothing) {
    TIniFixture f("[S]\nA=1\n");
    const struct { const char* section; const char* key; const char* value; } cases[] = {
        {"S", "K", "two\nlines"}, {"S", "K", "cr\r"}, {"S", "a=b", "v"}, {"S", "[K", "v"},
        {"S", ";K", "v"}, {"S", "", "v"}, {"", "K", "v"}, {"S\n[T]", "K", "v"},
    };
    for (const auto& c : cases) {
        try {
            f.Ini.WriteString(c.section, c.key, c.value);
            ADD_FAILURE() << "no error for " << c.key;
        } catch (const EError& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + f.Name);
        }
    }
    EXPECT_EQ(f.Bytes(), "[S]\nA=1\n");
}

TEST(IniFile, ReplaceSectionWritesAllOrNothing) {
    TIniFixture f("[S]\nA=1\nB=2\n[T]\nC=3\n");
    f.Ini.ReplaceSection("s", {{"D", "4"}, {"E", " 5 "}});
    EXPECT_EQ(f.Ini.ReadString("S", "A", "-"), "-");
    EXPECT_EQ(f.Ini.ReadString("S", "D", ""), "4");
    EXPECT_EQ(f.Ini.ReadString("S", "E", ""), " 5 ");
    EXPECT_EQ(f.Ini.ReadString("T", "C", ""), "3");
    const QByteArray before = f.Bytes();
    EXPECT_THROW(f.Ini.ReplaceSection("S", {{"F", "6"}, {"G", "two\nlines"}}), EError);
    EXPECT_EQ(f.Bytes(), before);
    f.Ini.ReplaceSection("S", {});
    EXPECT_FALSE(f.Ini.SectionExists("S"));
    EXPECT_EQ(f.Ini.ReadString("T", "C", ""), "3");
}

TEST(IniFile, EraseSectionAndDeleteKey) {
    TIniFixture f;
    f.Ini.EraseSection("CONFIG");  // both [Config] and [config] go
    EXPECT_EQ(f.Bytes(), QByteArray("; disc settings\r\n[Other]\r\nKey=other\r\n"));
    EXPECT_FALSE(f.Ini.SectionExists("Config"));
    f.Ini.EraseSection("Nothing");  // nothing to do is no error
    f.Ini.DeleteKey("Other", "key");
    EXPECT_EQ(f.Bytes(), QByteArray("; disc settings\r\n[Other]\r\n"));
    EXPECT_TRUE(f.Ini.SectionExists("other"));

    TTempFolder temp;
    TIniFile absent(temp.Path() + "absent.ini");
    absent.EraseSection("S");
    absent.DeleteKey("S", "K");
    EXPECT_FALSE(QFile::exists(absent.FileName()));  // removing nothing creates nothing
}

TEST(IniFile, WriteFailureNamesTheFile) {
    TTempFolder temp;
    const QString dir = temp.Make("folder.ini").chopped(1);
    TIniFile ini(dir);
    try {
        ini.WriteString("S", "K", "v");
        FAIL() << "writing over a folder succeeded";
    } catch (const EError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir);
    }
    TIniFile nowhere(temp.Path() + "no/folder/x.ini");
    EXPECT_THROW(nowhere.WriteString("S", "K", "v"), EError);
    EXPECT_THROW(TIniFile(dir).EraseSection("S"), EError);
}

TEST(IniFile, WriteFailureInReadOnlyFolderKeepsOldFile) {
    if (RunningAsRoot()) GTEST_SKIP() << "root writes regardless of permissions";
    TTempFolder temp;
    const QString name = temp.Write("ro/test.ini", "[S]\nK=old\n");
    const QByteArray folder = QFile::encodeName(temp.Path() + "ro");
    ASSERT_EQ(chmod(folder.constData(), 0500), 0);
    TIniFile ini(name);
    try {
        ini.WriteString("S", "K", "new");
        ADD_FAILURE() << "write in a read-only folder succeeded";
    } catch (const EError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + name);
    }
    chmod(folder.constData(), 0700);
    EXPECT_EQ(ReadFileBytes(name), "[S]\nK=old\n");
}

TEST(IniFile, CreatesFileWithConstructorMode) {
    TTempFolder temp;
    TIniFile ini(temp.Path() + "private.ini", 0600);
    ini.WriteString("S", "K", "v");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(ini.FileName()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(IniText, WritesIntoJunkReadBack) {
    // Texts stitched from the pieces that trip line-based parsers.
    const QByteArray pieces[] = {"[", "]", "=", ";", "\r", "\n", "\r\n", " ", "\t", "Fuzz", "key",
                                 "Other", "\"", "'", "\xC3", "\xA9", QByteArray(1, '\0'), "x"};
    quint32 seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return seed >> 16; };
    for (int round = 0; round < 500; ++round) {
        QByteArray text;
        const int count = int(next() % 60);
        for (int i = 0; i < count; ++i) text += pieces[next() % std::size(pieces)];
        const QString value = QStringLiteral(" v%1 ").arg(round);
        const QByteArray written = IniText::WriteString(text, "Fuzz", "Key", value);
        ASSERT_EQ(IniText::ReadString(written, "Fuzz", "Key", "<none>"), value) << text.toHex().constData();
        QStringList before, after;
        IniText::ReadSections(text, before);
        IniText::ReadSections(written, after);
        after.removeAll("Fuzz");
        before.removeAll("Fuzz");
        EXPECT_EQ(after.size(), before.size()) << text.toHex().constData();
        const QByteArray erased = IniText::EraseSection(written, "fuzz");
        EXPECT_FALSE(IniText::SectionExists(erased, "Fuzz")) << text.toHex().constData();
    }
}
