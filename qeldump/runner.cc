// The one runner: every tool starts here, after its path is checked (when
// root starts it) and recorded, through /bin/sh -c, and its status is
// passed up.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "handler.h"

namespace front {
namespace {

bool as_root(const policy::Tool &tool) {
	return std::strcmp(tool.account, policy::kRoot) == 0;
}

// Each tool root runs must pass the tool-path check: a component others
// may write refuses the run (126), one another account owns is only
// recorded. Returns 0 when the run may go on.
int check_root_tools(std::initializer_list<const policy::Tool *> tools,
                     const std::string &line) {
	for (const policy::Tool *tool : tools) {
		if (!as_root(*tool))
			continue;
		policy::ToolPathFinding f;
		int verdict = policy::check_tool_path(
		    tool->path, static_cast<uid_t>(-1), f);
		if (verdict == policy::kPathSafe)
			continue;
		audit_unsafe_path(f, line);
		if (verdict == policy::kPathUnsafe) {
			fprintf(
			    stderr, "%s: refusing to run %s as root: %s %s\n",
			    invoked, tool->path, f.component.c_str(), f.why);
			return kStatusUnsafeTool;
		}
	}
	return 0;
}

}  // namespace

int my_system(const char *command) {
	if (command == nullptr)
		return 1;
	const char *argv[] = {"sh", "-c", command, nullptr};
	const int inherited[3] = {-1, -1, -1};
	pid_t pid = spauth::start_child("/bin/sh", argv, tool_environment(),
	                                inherited, nullptr);
	return pid < 0 ? -1 : spauth::wait_child(pid);
}

int run_line(std::initializer_list<const policy::Tool *> tools,
             std::string_view cluster, const std::string &line) {
	const policy::Tool &first = **tools.begin();
	std::string account = first.account;
	if (getuid() == 0) {
		if (int refused = check_root_tools(tools, line))
			return refused;
	} else if (as_root(first)) {
		// Without root a tool the front end starts runs as the
		// caller, and the record says so.
		account = caller_name();
	}
	audit_start(account.c_str(), cluster, line);
	int rc = my_system(line.c_str());
	audit_end(rc, line);
	return rc;
}

}  // namespace front
