// Entry and dispatch: the invoked name picks one function.
#include <libgen.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qeldump.h"

namespace {

constexpr size_t kArg0Size = 4096;

// The dispatch table: each function of the policy's table, compared in its
// order by exact, case-sensitive equality with the invoked name, and the
// handler that carries it out.
struct Dispatch {
	const policy::Function &function;
	Handler handler;
};
constexpr Dispatch kDispatch[] = {
    {policy::kDump, doDump},         {policy::kDrives, doDrives},
    {policy::kCorvanex, doCorvanex}, {policy::kCmd, doCMD},
    {policy::kCage, doCage},         {policy::kCBIOS, doCBIOS},
    {policy::kRescue, doRescue},     {policy::kMupFunction, doMUP},
};
// Both programs list the functions in the same order.
constexpr bool in_policy_order() {
	for (size_t i = 0; i < std::size(kDispatch); ++i)
		if (&kDispatch[i].function != policy::kFunctions[i])
			return false;
	return std::size(kDispatch) == std::size(policy::kFunctions);
}
static_assert(in_policy_order());

// No tool may run without the process state it is owed. The status is
// 255 even where the message cannot be written: a caller's file-size
// limit of 0 would otherwise end us by SIGXFSZ.
[[noreturn]] void fail_safe(const char *invoked, const char *what,
                            bool with_error) {
	int err = errno;
	signal(SIGXFSZ, SIG_IGN);
	if (with_error)
		fprintf(stderr, "%s: %s: %s\n", invoked, what, strerror(err));
	else
		fprintf(stderr, "%s: %s\n", invoked, what);
	exit(kStatusFailSafe);
}

// setuid(0), then the rest of root's identity. If setuid itself fails the
// run goes on as the caller, and says so.
void become_root(const char *invoked) {
	if (setuid(0) != 0)
		fprintf(stderr, "%s: cannot become root: %s\n", invoked,
		        strerror(errno));
	else if (!take_root_groups())
		fail_safe(invoked, "cannot take root's groups", true);
	else if (!take_system_limits())
		fail_safe(invoked, "cannot set the system's limits", true);
	else if (!take_system_scheduling())
		fail_safe(invoked, "cannot take the system's scheduling", true);
	else if (!take_system_process_state())
		fail_safe(invoked, "cannot leave the caller's process state",
		          true);
}

}  // namespace

int main(int argc, char **argv) {
	// The last path component of the first argument, cut to the buffer;
	// an empty vector is the empty name, whose XPG basename is ".".
	char arg0[kArg0Size] = "";
	if (argc > 0 && argv[0] != nullptr)
		snprintf(arg0, sizeof arg0, "%s", argv[0]);
	const char *invoked = basename(arg0);

	myuid = getuid();
	if (!sanitize_process())
		fail_safe(invoked, "cannot set up a clean environment", false);
	audit_begin(invoked, argc, argv);
	become_root(invoked);

	uid_t uid = myuid;
	tmpUser = get_user_profile(SPAUTH_BY_UID, &uid);
	if (tmpUser == nullptr) {
		audit_refusal(kNoProfile);
		return kStatusRefused;
	}
	if (!set_caller_env(tmpUser->username))
		fail_safe(invoked, "cannot set up a clean environment", false);

	for (const Dispatch &d : kDispatch) {
		if (std::strcmp(invoked, d.function.name) == 0) {
			int rc = d.handler(argc, argv);
			free_user(tmpUser);
			exit(rc);
		}
	}
	free_user(tmpUser);
	if (setuid(myuid) != 0)
		exit(
		    kStatusUnknownName);  // fail safe: never go on as root here
	printf("%s: command not found\n", invoked);
	exit(kStatusUnknownName);
}
