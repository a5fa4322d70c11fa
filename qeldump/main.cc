// Entry and dispatch: the invoked name picks one function.
#include <libgen.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qeldump.h"

namespace {

constexpr size_t kArg0Size = 4096;

}  // namespace

int main(int argc, char **argv) {
	// The last path component of the first argument, cut to the buffer;
	// an empty vector is the empty name.
	char arg0[kArg0Size] = "";
	if (argc > 0 && argv[0] != nullptr)
		snprintf(arg0, sizeof arg0, "%s", argv[0]);
	const char *invoked = arg0[0] != '\0' ? basename(arg0) : "";

	myuid = getuid();
	if (!sanitize_process()) {
		fprintf(stderr, "%s: cannot set up a clean environment\n",
		        invoked);
		exit(255);  // fail safe: before root, before any tool
	}
	audit_begin(invoked, argc, argv);
	if (setuid(0) != 0) {
		fprintf(stderr, "%s: cannot become root: %s\n", invoked,
		        strerror(errno));
	} else if (!take_root_groups()) {
		fprintf(stderr, "%s: cannot take root's groups: %s\n", invoked,
		        strerror(errno));
		exit(255);  // fail safe: no tool with the caller's groups
	} else if (!take_system_limits()) {
		fprintf(stderr, "%s: cannot set the system's limits: %s\n",
		        invoked, strerror(errno));
		exit(255);
	}

	uid_t uid = myuid;
	tmpUser = get_user_profile(SPAUTH_BY_UID, &uid);
	if (tmpUser == nullptr) {
		audit_refusal(kNoProfile);
		return 120;
	}
	if (!set_caller_env(tmpUser->username)) {
		fprintf(stderr, "%s: cannot set up a clean environment\n",
		        invoked);
		exit(255);
	}

	for (const Command &c : kCommands) {
		if (std::strcmp(invoked, c.name) == 0) {
			int rc = c.handler(argc, argv);
			free_user(tmpUser);
			exit(rc);
		}
	}
	free_user(tmpUser);
	if (setuid(myuid) != 0)
		exit(115);  // fail safe: never go on as root here
	printf("%s: command not found\n", invoked);
	exit(115);
}
