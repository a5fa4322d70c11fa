// Entry and dispatch: the invoked name picks one function.
#include <libgen.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "entry.h"
#include "handler.h"

namespace front {
namespace {

constexpr size_t kArg0Size = 4096;

// The dispatch table: each function of the policy's table, in its order,
// and the handler that carries it out.
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

Handler handler_of(const policy::Function *f) {
	const Dispatch *d =
	    std::find_if(std::begin(kDispatch), std::end(kDispatch),
	                 [&](const Dispatch &e) { return &e.function == f; });
	return d != std::end(kDispatch) ? d->handler : nullptr;
}

// The front end's own failures: the step that failed and why, status 255,
// before any tool can start. The status stands even where the message
// cannot be written: a caller's file-size limit of 0 would otherwise end
// us by SIGXFSZ.
[[noreturn]] void fail_safe(const char *step) {
	int err = errno;
	signal(SIGXFSZ, SIG_IGN);
	fprintf(stderr, "%s: %s: %s\n", invoked, step, strerror(err));
	exit(kStatusFailSafe);
}

// What the caller's process holds that a root shell would inherit: made
// clean first, before anything is opened.
void clean_process_state() {
	if (!close_descriptors())
		fail_safe("cannot close descriptors");
	if (!clear_timers())
		fail_safe("cannot clear the interval timers");
	build_environment();
	if (!reset_signals())
		fail_safe("cannot reset the signals");
	tighten_umask();
}

// Root, whole: setuid(0) changes the user only, so root's groups, process
// 1's limits, a control group of root's, the system's scheduling state
// and a process state of root's own follow it. If setuid itself fails the run
// goes on as the caller, and says so; any later step that fails ends the run.
void become_root() {
	if (setuid(0) != 0) {
		fprintf(stderr, "%s: cannot become root: %s\n", invoked,
		        strerror(errno));
		return;
	}
	if (!take_root_groups())
		fail_safe("cannot take root's groups");
	if (!take_system_limits())
		fail_safe("cannot set the system's limits");
	// First: moving may change the CPUs a cpuset allows.
	if (!leave_caller_groups())
		fail_safe("cannot leave the caller's control group");
	if (!take_system_scheduling())
		fail_safe("cannot take the system's scheduling");
	if (!take_system_process_state())
		fail_safe("cannot leave the caller's process state");
}

}  // namespace
}  // namespace front

using namespace front;

int main(int argc, char **argv) {
	// The last path component of the first argument, cut to the buffer;
	// an empty vector is the empty name, whose XPG basename is ".".
	char arg0[kArg0Size] = "";
	if (argc > 0 && argv[0] != nullptr)
		snprintf(arg0, sizeof arg0, "%s", argv[0]);
	invoked = basename(arg0);

	myuid = getuid();
	clean_process_state();
	const policy::Function *function = policy::function_named(invoked);
	audit_begin(function, argc, argv);
	become_root();

	uid_t uid = myuid;
	tmpUser = get_user_profile(SPAUTH_BY_UID, &uid);
	if (tmpUser == nullptr) {
		audit_refusal(kReasonNoProfile);
		return kStatusRefused;
	}
	set_caller_env(tmpUser->username);

	if (Handler handler = handler_of(function)) {
		int rc = handler(argc, argv);
		free_user(tmpUser);
		exit(rc);
	}
	free_user(tmpUser);
	// Never go on as root here, not even to say so.
	if (setuid(myuid) != 0)
		exit(kStatusUnknownName);
	printf("%s: command not found\n", invoked);
	exit(kStatusUnknownName);
}
