// INI text from a disc: reads of every kind, section listing and a write.
#include "shell/inifile.h"
#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray text(reinterpret_cast<const char*>(data), int(size));
    QStringList lines, keys;
    for (const char* section : {"Config", "config", "Substitutions", "", "[", "Branding"}) {
        IniText::ReadSectionValues(text, section, lines);
        IniText::ReadSection(text, section, keys);
        for (const QString& k : keys) {
            QString v = IniText::ReadString(text, section, k, "def");
            if (v.size() > TIniFile::MaxValueLength) __builtin_trap();
            (void)IniStrToIntDef(v, 7);
        }
    }
    // Writing into junk must keep the value readable afterwards.
    QByteArray written = IniText::WriteString(text, "Fuzz", "Key", "Value");
    if (IniText::ReadString(written, "Fuzz", "Key", "") != "Value" &&
        IniText::ReadString(text, "Fuzz", "Key", "<none>") == "<none>")
        __builtin_trap();
    (void)IniText::EraseSection(text, "Config");
    return 0;
}
