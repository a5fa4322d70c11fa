// The process state a root shell inherits from the caller, made clean
// before anything is opened: descriptors, timers, signal dispositions and
// mask, the umask.
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "entry.h"

namespace front {

// The caller's descriptors must not reach root's tools.
bool close_descriptors() {
	return close_range(3, ~0U, 0) == 0;
}

// Nor the caller's timers end us mid-run.
bool clear_timers() {
	itimerval off = {};
	for (int which : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF})
		if (setitimer(which, &off, nullptr) != 0)
			return false;
	return true;
}

// An inherited ignored SIGCHLD or blocked signal must not reach the wait
// or the tools. EINVAL: a signal that cannot be set (SIGKILL, SIGSTOP,
// those the C library keeps), so none to reset.
bool reset_signals() {
	for (int sig = 1; sig < NSIG; ++sig)
		if (signal(sig, SIG_DFL) == SIG_ERR && errno != EINVAL)
			return false;
	sigset_t none;
	return sigemptyset(&none) == 0 &&
	       sigprocmask(SIG_SETMASK, &none, nullptr) == 0;
}

void tighten_umask() {
	mode_t mask = umask(022);
	umask(mask | 022);
}

}  // namespace front
