// my_system_pipe: a shell command with its standard output captured. The
// pipe is read while the child runs, so a big output cannot block it.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "SP_auth/internal.h"

extern "C" int my_system_pipe(char *command, size_t length, char *output_buff) {
	if (command == nullptr)
		return 127;
	output_buff[0] = '\0';
	int fd[2];
	if (pipe2(fd, O_CLOEXEC) != 0) {
		perror("my_system_pipe: pipe failed:");
		return 127;
	}
	pid_t pid = fork();
	if (pid < 0) {
		perror("my_system_pipe: fork:");
		close(fd[0]);
		close(fd[1]);
		return 127;
	}
	if (pid == 0) {
		if (dup2(fd[1], STDOUT_FILENO) < 0)
			_exit(127);
		execl("/bin/sh", "/bin/sh", "-c", command,
		      static_cast<char *>(nullptr));
		perror("my_system_pipe: execlp failed:");
		_exit(127);
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
	int status;
	while (waitpid(pid, &status, 0) < 0)
		if (errno != EINTR)
			return -1;
	if (read_failed)
		return 127;
	return WIFEXITED(status) ? WEXITSTATUS(status) : status;
}
