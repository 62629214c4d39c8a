#pragma once
#include <QString>

// Diagnostic trace. Each routine of interest calls Enter on entry and Leave on
// exit (TraceScope does both), building a per-thread call path; messages are
// written with level, thread, time and call path to stderr and a log file.
// The master switch is off as shipped (build with -DLUMORA_TRACE=ON to turn it
// on); then every call returns at once and looked-up error texts are empty.
namespace TraceLog {

enum Level { lvExcessive = 1, lvTrace = 2, lvInfo = 3, lvWarning = 4, lvSevere = 5,
             lvException = 6, lvLog = 7, lvFatal = 8 };

bool MasterSwitch();
// For tests only: the shipped program never calls this.
void SetMasterSwitch(bool on);

unsigned LevelMask();              // initially 0xE1: {0, 5, 6, 7}
void SetLevelMask(unsigned mask);

void Enter(const char* name);
void Leave();                      // raises EError("Can't pop from empty stack.")
QString CallPath();                // this thread's path, "A,B"
void SetDetail(const QString& detail);
bool Suppressed();                 // this thread's last message was not written

void TraceMsg(const QString& text);
void InfoMsg(const QString& text);
void WarningMsg(const QString& text);
void SevereMsg(const QString& text);
void Write(int level, const QString& message);
// Continuation line: Text and CR LF to the debug stream only, no head.
void WriteContinuation(const QString& text);

void RegisterErrorText(const QString& domain, int number, const QString& text);
QString ErrorText(const QString& domain, int number);
QString WarningCode(const QString& domain, int number);
QString SevereCode(const QString& domain, int number);

// Log file in use (empty until the first write): $XDG_CONFIG_HOME/lumora/Lumora.log
// unless LUMORA_TRACE_FILE names another.
QString LogFileName();
// For tests: the text that Write would produce for the current thread.
QString FormatEntry(int level, const QString& message);

} // namespace TraceLog

// Enter on construction, Leave on destruction (also when an error passes).
class TraceScope {
public:
    explicit TraceScope(const char* name) : FActive(TraceLog::MasterSwitch()) {
        if (FActive) TraceLog::Enter(name);
    }
    ~TraceScope() {
        if (FActive) {
            try { TraceLog::Leave(); } catch (...) {}  // a destructor must not throw
        }
    }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    bool FActive;
};
