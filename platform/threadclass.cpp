#include "platform/threadclass.h"

#include <cerrno>
#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

bool HasSysNice() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_SYS_NICE)].effective & CAP_TO_MASK(CAP_SYS_NICE)) != 0;
}

} // namespace

int CurrentThreadId() { return int(gettid()); }

TThreadClass ThreadClass(int tid) {
    if (tid <= 0) return TThreadClass::Unknown;
    const int policy = sched_getscheduler(pid_t(tid));
    if (policy == -1) return TThreadClass::Unknown;
    switch (policy & ~SCHED_RESET_ON_FORK) {
    case SCHED_OTHER: return TThreadClass::Normal;
    case SCHED_IDLE: return TThreadClass::Idle;
    default: return TThreadClass::Other;
    }
}

bool SetThreadClass(int tid, TThreadClass wanted) {
    if (tid <= 0 || (wanted != TThreadClass::Normal && wanted != TThreadClass::Idle)) {
        errno = EINVAL;
        return false;
    }
    const sched_param param{0};
    if (sched_setscheduler(pid_t(tid), wanted == TThreadClass::Idle ? SCHED_IDLE : SCHED_OTHER, &param) != 0)
        return false;
    return ThreadClass(tid) == wanted;
}

bool CanLeaveIdleClass(int tid) {
    if (HasSysNice()) return true;
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, id_t(tid));
    if (nice == -1 && errno != 0) return false;
    return limit.rlim_cur == RLIM_INFINITY || rlim_t(20 - nice) <= limit.rlim_cur;
}

} // namespace Platform
