// The shell runner: one child, waited for, its status passed up.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "qeldump.h"

extern char **environ;

int my_system(const char *command) {
	if (command == nullptr)
		return 1;
	// The front end's environment, and the caller's TZ for the tools.
	std::vector<char *> envp;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e)
		envp.push_back(*e);
	if (tool_tz() != nullptr)
		envp.push_back(const_cast<char *>(tool_tz()));
	envp.push_back(nullptr);
	fflush(nullptr);  // our messages before the tool's
	pid_t pid = fork();
	if (pid < 0)
		return -1;
	if (pid == 0) {
		const char *argv[] = {"sh", "-c", command, nullptr};
		execve("/bin/sh", const_cast<char **>(argv), envp.data());
		_exit(127);
	}
	int status;
	while (waitpid(pid, &status, 0) < 0)
		if (errno != EINTR)
			return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : status;
}
