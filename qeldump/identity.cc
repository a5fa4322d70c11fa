// Root's identity, whole: setuid(0) changes the user only, and the
// caller's groups, resource limits and scheduling state would otherwise
// reach root's tools.
#include <fcntl.h>
#include <grp.h>
#include <linux/keyctl.h>
#include <sched.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "entry.h"

namespace front {
namespace {

constexpr const char *kSystemLimits = "/proc/1/limits";
constexpr const char *kOomScoreAdj = "/proc/self/oom_score_adj";
constexpr pid_t kSystemPid = 1;
constexpr int kIoprioWhoProcess = 1;                 // <linux/ioprio.h>
constexpr unsigned long kDefaultTimerSlack = 50000;  // ns, every task's at boot
constexpr int kMpolDefault = 0;                      // <linux/mempolicy.h>

// Each resource by the name process 1's limits file gives it, and how far
// its limit must reach where root may not raise it to process 1's value:
// kWhole, all of process 1's soft value (the limits that cut a running
// tool off mid-write); a number, the smaller of that and process 1's (a
// tool that cannot open a file, grow its stack or start a process fails
// part-way); 0, as far as the hard limit allows, never refused (nothing a
// service tool needs). Without process 1's file a limit is set to its
// floor: unlimited for kWhole.
constexpr rlim_t kWhole = RLIM_INFINITY;
struct LimitRule {
	const char *name;
	int resource;
	rlim_t floor;
};
constexpr LimitRule kLimitRules[] = {
    {"Max cpu time", RLIMIT_CPU, kWhole},
    {"Max file size", RLIMIT_FSIZE, kWhole},
    {"Max data size", RLIMIT_DATA, kWhole},
    {"Max stack size", RLIMIT_STACK, 8 << 20},
    {"Max core file size", RLIMIT_CORE, 0},
    {"Max resident set", RLIMIT_RSS, 0},
    {"Max processes", RLIMIT_NPROC, 1024},
    {"Max open files", RLIMIT_NOFILE, 1024},
    {"Max locked memory", RLIMIT_MEMLOCK, 0},
    {"Max address space", RLIMIT_AS, kWhole},
    {"Max file locks", RLIMIT_LOCKS, 0},
    {"Max pending signals", RLIMIT_SIGPENDING, 0},
    {"Max msgqueue size", RLIMIT_MSGQUEUE, 0},
    {"Max nice priority", RLIMIT_NICE, 0},
    {"Max realtime priority", RLIMIT_RTPRIO, 0},
    {"Max realtime timeout", RLIMIT_RTTIME, 0},
};

// Sets want; where the hard limit may not be raised (root without
// CAP_SYS_RESOURCE), the soft limit goes as far as the hard one allows,
// which must reach the smaller of want and floor.
bool set_limit(int r, rlimit want, rlim_t floor) {
	auto res = static_cast<__rlimit_resource>(r);
	if (setrlimit(res, &want) == 0)
		return true;
	rlimit now;
	if (errno != EPERM || getrlimit(res, &now) != 0)
		return false;
	rlimit best = {std::min(want.rlim_cur, now.rlim_max),
	               std::min(want.rlim_max, now.rlim_max)};
	if (setrlimit(res, &best) != 0)
		return false;
	errno = EPERM;
	return best.rlim_cur >= std::min(want.rlim_cur, floor);
}

bool parse_limit(const char *text, rlim_t &out, const char **end) {
	while (*text == ' ')
		++text;
	if (std::strncmp(text, "unlimited", 9) == 0) {
		out = RLIM_INFINITY;
		*end = text + 9;
		return true;
	}
	if (*text < '0' || *text > '9')
		return false;
	char *e;
	out = std::strtoull(text, &e, 10);
	*end = e;
	return *e == ' ';
}

// Denied for want of a capability: go on with what could be set.
bool allowed(long rc) {
	return rc == 0 || errno == EPERM || errno == EACCES;
}

bool write_text(const char *path, std::string_view text) {
	int fd = open(path, O_WRONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	ssize_t n = write(fd, text.data(), text.size());
	int err = errno;
	close(fd);
	errno = err;
	return n == static_cast<ssize_t>(text.size());
}

// Process 1's CPUs; where the caller's cpuset shares none of them, every
// CPU the cpuset allows (the kernel keeps those of a full mask). Never
// refused: it decides only where a tool runs.
void take_system_cpus() {
	cpu_set_t cpus;
	if (sched_getaffinity(kSystemPid, sizeof cpus, &cpus) == 0 &&
	    sched_setaffinity(0, sizeof cpus, &cpus) == 0)
		return;
	for (int i = 0; i < CPU_SETSIZE; ++i)
		CPU_SET(i, &cpus);
	sched_setaffinity(0, sizeof cpus, &cpus);
}

// One line of process 1's limits file: its resource, soft and hard limit;
// false for the header and anything not understood.
bool parse_system_limit(const char *line, int &resource, rlimit &lim) {
	for (const LimitRule &n : kLimitRules) {
		size_t len = std::strlen(n.name);
		if (std::strncmp(line, n.name, len) != 0 || line[len] != ' ')
			continue;
		const char *p = line + len;
		resource = n.resource;
		return parse_limit(p, lim.rlim_cur, &p) &&
		       parse_limit(p, lim.rlim_max, &p);
	}
	return false;
}

// The kernel's struct sched_attr as first defined; its own header clashes
// with the C library's struct sched_param.
struct SchedAttr {
	uint32_t size;
	uint32_t sched_policy;
	uint64_t sched_flags;  // cppcheck-suppress unusedStructMember
	int32_t sched_nice;
	uint32_t sched_priority;  // cppcheck-suppress unusedStructMember
	uint64_t sched_runtime;
	uint64_t sched_deadline;  // cppcheck-suppress unusedStructMember
	uint64_t sched_period;    // cppcheck-suppress unusedStructMember
};

// SCHED_OTHER at nice 0 with the kernel's own time slice (a runtime of 0;
// sched_setscheduler would keep one the caller set with sched_setattr);
// where root may not lower the nice value, at the caller's.
bool take_system_policy() {
	SchedAttr attr = {};
	attr.size = sizeof attr;
	attr.sched_policy = SCHED_OTHER;
	attr.sched_runtime = 0;  // the kernel's own slice
	if (syscall(SYS_sched_setattr, 0, &attr, 0) == 0)
		return true;
	if (errno != EPERM)
		return false;
	errno = 0;
	attr.sched_nice = getpriority(PRIO_PROCESS, 0);
	return errno == 0 && allowed(syscall(SYS_sched_setattr, 0, &attr, 0));
}

}  // namespace

bool take_root_groups() {
	return setgid(0) == 0 && setgroups(0, nullptr) == 0;
}

bool take_system_limits() {
	rlimit lim[RLIM_NLIMITS] = {};
	rlim_t floor[RLIM_NLIMITS] = {};
	bool set[RLIM_NLIMITS] = {};
	for (const LimitRule &n : kLimitRules)
		if (n.floor != 0) {
			lim[n.resource] = {n.floor, n.floor};
			floor[n.resource] = n.floor;
			set[n.resource] = true;
		}
	if (FILE *f = fopen(kSystemLimits, "re")) {
		char text[256];
		rlimit l;
		int r;
		while (fgets(text, sizeof text, f) != nullptr)
			if (parse_system_limit(text, r, l)) {
				lim[r] = l;
				set[r] = true;
			}
		fclose(f);
	}
	// A crashing root tool must not leave a core in the caller's directory.
	lim[RLIMIT_CORE] = {0, 0};
	set[RLIMIT_CORE] = true;
	for (int r = 0; r < RLIM_NLIMITS; ++r)
		if (set[r] && !set_limit(r, lim[r], floor[r]))
			return false;
	return true;
}

// A caller's oom_score_adj, nice value, scheduling policy and time slice,
// I/O class or CPU affinity would make root's tool the kernel's first
// victim or starve it. Each is reset to the system's; where root may not
// (a container without CAP_SYS_RESOURCE or CAP_SYS_NICE), it goes as far
// as allowed: none of them gives the caller anything of root's, and what
// root cannot undo there was set for the caller's whole session, not by
// the caller.
bool take_system_scheduling() {
	// The I/O class "none": its priority follows the nice value.
	bool ok = allowed(write_text(kOomScoreAdj, "0") ? 0 : -1) &&
	          take_system_policy() &&
	          allowed(syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, 0));
	take_system_cpus();
	return ok;
}

// The caller's execution domain (UNAME26 would show root's tools another
// kernel), session keyring (root's tools would hold the caller's keys, and
// the caller could read what they add), timer slack (seconds of it would
// slow every sleep of root's tools), NUMA memory policy (bound to one node,
// a tool would be starved of memory) and transparent huge pages turned off.
bool take_system_process_state() {
	if (personality(PER_LINUX) == -1 ||
	    prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0) != 0)
		return false;
	// ENOSYS: a kernel without NUMA has no policy to leave.
	if (syscall(SYS_set_mempolicy, kMpolDefault, nullptr, 0) != 0 &&
	    errno != ENOSYS)
		return false;
	// ENOSYS: no keyrings, none to leave. Denied: only where no keyring
	// can be reached at all (a filter keeps the tools from them too),
	// never while the caller's still can.
	long keyring =
	    syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, nullptr);
	if (keyring < 0 && errno != ENOSYS &&
	    (!allowed(keyring) || syscall(SYS_keyctl, KEYCTL_GET_KEYRING_ID,
	                                  KEY_SPEC_SESSION_KEYRING, 0) >= 0))
		return false;
	return prctl(PR_SET_TIMERSLACK, kDefaultTimerSlack) == 0;
}

}  // namespace front
