#include "shell/registry.h"
#include "platform/paths.h"
#include "shell/inifile.h"

namespace Registry {

namespace {

// Owner only: the store holds the online account's password. The atomic
// write applies the mode to every new version of the file.
constexpr int StoreMode = 0600;

TIniFile Store() { return TIniFile(StoreFileName(), StoreMode); }

} // namespace

QString StoreFileName() { return Platform::ConfigFolder() + "registry.ini"; }

QString ProductKey(const QString& title) { return QStringLiteral("\\SOFTWARE\\Halvorn\\") + title; }

bool KeyExists(const QString& key) { return Store().SectionExists(key); }

QString ReadString(const QString& key, const QString& valueName, const QString& def) {
    return Store().ReadString(key, valueName, def);
}

void WriteString(const QString& key, const QString& valueName, const QString& value) {
    TIniFile store = Store();
    store.WriteString(key, valueName, value);
}

} // namespace Registry
