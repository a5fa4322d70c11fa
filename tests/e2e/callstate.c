/* callstate alarm=SECONDS|slack=NS|key|slice=NS|mpol|thp PROGRAM [ARGS...]:
 * gives itself a piece of process state a caller could, then executes
 * PROGRAM with it: ITIMER_REAL armed, a timer slack (PROGRAM then runs in a
 * child, whose default slack is that one too), a session keyring of its own
 * holding the key "user:qel-caller-key", a time slice of NS (sched_setattr),
 * memory bound to NUMA node 0, or transparent huge pages turned off. */
#include <linux/keyctl.h>
#include <sched.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

static int take(const char *what) {
	if (strncmp(what, "alarm=", 6) == 0) {
		double s = atof(what + 6);
		struct itimerval t = {{0, 0}, {(time_t)s, (suseconds_t)((s - (time_t)s) * 1e6)}};
		return setitimer(ITIMER_REAL, &t, NULL);
	}
	if (strncmp(what, "slack=", 6) == 0) {
		int status;
		pid_t pid;
		if (prctl(PR_SET_TIMERSLACK, strtoul(what + 6, NULL, 10)) != 0 || (pid = fork()) < 0)
			return -1;
		if (pid > 0)
			exit(waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : 255);
		return 0;
	}
	if (strncmp(what, "slice=", 6) == 0) {
		struct {
			uint32_t size, policy;
			uint64_t flags;
			int32_t nice;
			uint32_t priority;
			uint64_t runtime, deadline, period;
		} attr = {48, SCHED_OTHER, 0, 0, 0, strtoull(what + 6, NULL, 10), 0, 0};
		return syscall(SYS_sched_setattr, 0, &attr, 0);
	}
	if (strcmp(what, "mpol") == 0) {
		unsigned long node0 = 1;
		return syscall(SYS_set_mempolicy, 2 /* MPOL_BIND */, &node0, 8 * sizeof node0);
	}
	if (strcmp(what, "thp") == 0)
		return prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
	if (strcmp(what, "key") == 0)
		return syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, NULL) < 0 ||
		       syscall(SYS_add_key, "user", "qel-caller-key", "secret", 6,
		               KEY_SPEC_SESSION_KEYRING) < 0;
	return -1;
}

int main(int argc, char **argv) {
	if (argc < 3 || take(argv[1]) != 0) {
		perror("callstate");
		return 2;
	}
	execv(argv[2], argv + 2);
	perror("callstate");
	return 127;
}
