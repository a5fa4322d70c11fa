// The one runner: every tool starts here, after its path is checked (when
// root starts it) and recorded, through /bin/sh -c, and its status is
// passed up.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "qeldump.h"

extern char **environ;

int my_system(const char *command) {
	if (command == nullptr)
		return 1;
	// The front end's environment, and the caller's TZ for the tools.
	std::vector<const char *> envp;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e)
		envp.push_back(*e);
	if (tool_tz() != nullptr)
		envp.push_back(tool_tz());
	envp.push_back(nullptr);
	const char *argv[] = {"sh", "-c", command, nullptr};
	const int inherited[3] = {-1, -1, -1};
	pid_t pid = spauth::start_child("/bin/sh", argv, envp.data(), inherited,
	                                nullptr);
	return pid < 0 ? -1 : spauth::wait_child(pid);
}

int run_tool(const char *account, std::string_view cluster,
             const std::string &command) {
	audit_start(account, cluster, command);
	int rc = my_system(command.c_str());
	audit_end(rc, command);
	return rc;
}

int run_direct(std::initializer_list<const char *> tools,
               std::string_view cluster, const std::string &command) {
	// Without root the tool runs as the caller, and the record says so.
	if (getuid() != 0)
		return run_tool(audit_caller().c_str(), cluster, command);
	for (const char *tool : tools) {
		policy::ToolPathFinding f;
		int verdict =
		    policy::check_tool_path(tool, static_cast<uid_t>(-1), f);
		if (verdict == policy::kPathSafe)
			continue;
		audit_unsafe_path(f, command);
		if (verdict == policy::kPathUnsafe) {
			fprintf(
			    stderr, "%s: refusing to run %s as root: %s %s\n",
			    invoked_name(), tool, f.component.c_str(), f.why);
			return kStatusUnsafeTool;
		}
	}
	return run_tool(policy::kRoot, cluster, command);
}
