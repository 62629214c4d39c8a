#pragma once
// The scheduling class of one thread, by its kernel thread id. Linux gives
// the idle priority as a class of its own (SCHED_IDLE) that an unprivileged
// thread may enter but, as a rule, not leave: the kernel lets it go back to
// the normal class only with CAP_SYS_NICE or when RLIMIT_NICE allows the
// thread's nice value (20 - nice <= limit; the limit is 0 unless raised).
namespace Platform {

enum class TThreadClass { Normal, Idle, Other, Unknown };

// Kernel id of the calling thread.
int CurrentThreadId();
// Class of thread Tid; Unknown when it can't be read (no such thread).
TThreadClass ThreadClass(int tid);
// Puts thread Tid into Normal (SCHED_OTHER) or Idle (SCHED_IDLE); true when
// the class read back afterwards is the one asked for.
bool SetThreadClass(int tid, TThreadClass wanted);
// Whether thread Tid, once idle, could be brought back to Normal.
bool CanLeaveIdleClass(int tid);

} // namespace Platform
