// The entry's side of the front end: what it sets up, in order, before a
// handler runs (main.cc holds the order). Each step is one call; a step
// that returns false leaves errno to say why.
#ifndef QELDUMP_ENTRY_H
#define QELDUMP_ENTRY_H

#include <string_view>

#include "policy/policy.h"

namespace front {

// The caller's process state, made clean before anything is opened
// (process.cc): no descriptor above 2, no interval timer, every signal
// default and unblocked, a umask of at least 022.
bool close_descriptors();
bool clear_timers();
bool reset_signals();
void tighten_umask();

// The environment (env.cc): built from the allowlist before root, and
// finished for the tools once the caller's name is known.
bool env_kept(std::string_view name, std::string_view value);
void build_environment();
void set_caller_env(const char *username);

// Once setuid(0) has worked (identity.cc): root's groups, process 1's
// resource limits (core dumps off), the system's scheduling state, and
// the default execution domain, a session keyring of root's own and the
// default timer slack.
bool take_root_groups();
bool take_system_limits();
// A control group the caller, or anyone but root, may write is left for
// process 1's (cgroup.cc).
bool leave_caller_groups();
bool take_system_scheduling();
bool take_system_process_state();

// The audit trail, opened under the function's name (function: null when
// the invoked name is none), with the operands as the caller gave them.
void audit_begin(const policy::Function *function, int argc, char **argv);

}  // namespace front

#endif
