// The one way the project starts a child and waits for it.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "SP_auth/internal.h"

namespace spauth {

pid_t start_child(const char *path, const char *const argv[],
                  const char *const envp[], const int fds[3],
                  const char *exec_failed) {
	fflush(nullptr);  // what we wrote comes before what the child writes
	pid_t pid = fork();
	if (pid != 0)
		return pid;
	for (int i = 0; i < 3; ++i)
		if (fds[i] >= 0 && dup2(fds[i], i) < 0)
			_exit(127);
	execve(path, const_cast<char *const *>(argv),
	       const_cast<char *const *>(envp));
	if (exec_failed != nullptr)
		perror(exec_failed);
	_exit(127);
}

int wait_child(pid_t pid) {
	int status;
	while (waitpid(pid, &status, 0) < 0)
		if (errno != EINTR)
			return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : status;
}

}  // namespace spauth
