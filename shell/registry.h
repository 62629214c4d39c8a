#pragma once
#include <QString>

// The per-machine value store that stands in for the registry: an INI file
// $XDG_CONFIG_HOME/lumora/registry.ini, one section per key path (for example
// "\SOFTWARE\Halvorn\" + the application title), value names unchanged.
// The file is created readable by its owner only: it holds a password.
namespace Registry {

QString StoreFileName();
// "\SOFTWARE\Halvorn\" followed by Title.
QString ProductKey(const QString& title);

bool KeyExists(const QString& key);
QString ReadString(const QString& key, const QString& valueName, const QString& def = QString());
// Raises EError("Unable to write to <file>") on failure.
void WriteString(const QString& key, const QString& valueName, const QString& value);

// Value names used by the program.
inline const char* const LumoraPath = "LumoraPath";
inline const char* const Username = "Username";
inline const char* const Password = "Password";
inline const char* const ReplyTo = "ReplyTo";

} // namespace Registry
