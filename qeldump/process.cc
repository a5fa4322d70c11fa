// The process state a root shell inherits from the caller, made clean
// before anything is opened: descriptors, timers, the environment, signal
// dispositions and mask, the umask.
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "qeldump.h"

namespace {

bool clear_timers() {
	itimerval off = {};
	bool ok = true;
	for (int which : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF})
		ok = setitimer(which, &off, nullptr) == 0 && ok;
	return ok;
}

}  // namespace

bool sanitize_process() {
	// First, before anything is opened: the caller's descriptors must not
	// reach root's tools, nor the caller's timers end us mid-run.
	bool ok = close_range(3, ~0U, 0) == 0 && clear_timers();
	build_environment();

	// An inherited ignored SIGCHLD or blocked signal must not reach the
	// wait or the tools. EINVAL: a signal that cannot be set (SIGKILL,
	// SIGSTOP, those the C library keeps), so none to reset.
	for (int sig = 1; sig < NSIG; ++sig)
		if (signal(sig, SIG_DFL) == SIG_ERR && errno != EINVAL)
			ok = false;
	sigset_t none;
	ok = ok && sigemptyset(&none) == 0 &&
	     sigprocmask(SIG_SETMASK, &none, nullptr) == 0;

	mode_t mask = umask(022);
	umask(mask | 022);
	return ok;
}
