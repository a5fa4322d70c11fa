// my_system_pipe: a shell command with its standard output captured. The
// pipe is read while the child runs, so a big output cannot block it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "SP_auth/internal.h"

extern char **environ;

extern "C" int my_system_pipe(char *command, size_t length, char *output_buff) {
	if (command == nullptr)
		return 127;
	output_buff[0] = '\0';
	int fd[2];
	if (pipe2(fd, O_CLOEXEC) != 0) {
		perror("my_system_pipe: pipe failed:");
		return 127;
	}
	const char *argv[] = {"/bin/sh", "-c", command, nullptr};
	const int fds[3] = {-1, fd[1], -1};
	pid_t pid = spauth::start_child(argv[0], argv, environ, fds,
	                                "my_system_pipe: execlp failed:");
	if (pid < 0) {
		perror("my_system_pipe: fork:");
		close(fd[0]);
		close(fd[1]);
		return 127;
	}
	close(fd[1]);
	size_t kept = 0;
	bool read_failed = false;
	for (;;) {
		char chunk[4096];
		ssize_t n = read(fd[0], chunk, sizeof chunk);
		if (n == 0)
			break;
		if (n < 0) {
			if (errno == EINTR)
				continue;
			perror("my_system_pipe: no output on pipe:");
			read_failed = true;
			break;
		}
		// Keep what fits; the rest is drained unread.
		for (ssize_t i = 0; i < n && kept + 1 < length; ++i)
			output_buff[kept++] = chunk[i];
	}
	output_buff[kept] = '\0';
	close(fd[0]);
	int status = spauth::wait_child(pid);
	return read_failed && status != -1 ? 127 : status;
}
