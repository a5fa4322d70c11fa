/* itimer SECONDS PROGRAM [ARGS...]: arms ITIMER_REAL, as a caller could,
 * and executes PROGRAM with the timer running. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

int main(int argc, char **argv) {
	double s = argc > 2 ? atof(argv[1]) : 0;
	struct itimerval t = {{0, 0}, {(time_t)s, (suseconds_t)((s - (time_t)s) * 1e6)}};
	if (argc < 3 || setitimer(ITIMER_REAL, &t, NULL) != 0)
		return 2;
	execv(argv[2], argv + 2);
	perror("itimer");
	return 127;
}
