#pragma once
#include <QByteArray>
#include <QtGlobal>

// Sets (or with Unset, removes) an environment variable for one scope.
class TEnvGuard {
public:
    TEnvGuard(const char* name, const QByteArray& value, bool unset = false)
        : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name)) {
        unset ? qunsetenv(name) : qputenv(name, value);
    }
    ~TEnvGuard() { FHad ? qputenv(FName, FOld) : qunsetenv(FName); }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};
