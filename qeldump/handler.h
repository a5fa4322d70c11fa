// The handlers' side of the front end: the state the entry set up, and
// what every handler goes through in order: its gates, the command line
// it composes, the runner that starts the tool, and the records of it all.
#ifndef QELDUMP_HANDLER_H
#define QELDUMP_HANDLER_H

#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "SP_auth/spauth.h"
#include "policy/policy.h"

namespace front {

// Process-wide state, set up by the entry (state.cc).
extern uid_t myuid;
extern struct user_profile *tmpUser;
extern const char *invoked;  // the invoked name, for messages and records
// The caller as the records name the caller: the account's name, or
// "uid=N" without a profile.
std::string caller_name();
// The environment the entry finished for the tools (env.cc).
char *const *tool_environment();

// The front end's own exit statuses; otherwise it exits with the tool's.
enum Status : int {
	kStatusDumpBadType = 1,       // qeldump: an unsupported dump type
	kStatusDumpUnregistered = 1,  // qeldump: a cluster not in the registry
	kStatusDumpOptions = 9,       // qeldump: an option error, -I with -N
	kStatusDumpNotLocated = 9,    // qeldump: the search found no cluster
	kStatusUnknownName = 115,
	kStatusUsage = 119,  // usage, invalid cluster, too long
	kStatusRefused = 120,
	kStatusUnsafeTool = 126,
	kStatusNoMarker = 255,  // qelmup: the marker refused
	kStatusFailSafe = 255,  // no clean process state for root's tools
};

// Handlers: the argument vector exactly as the process received them.
using Handler = int (*)(int argc, char **argv);
int doDump(int argc, char **argv);
int doDrives(int argc, char **argv);
int doCorvanex(int argc, char **argv);
int doCMD(int argc, char **argv);
int doCage(int argc, char **argv);
int doCBIOS(int argc, char **argv);
int doRescue(int argc, char **argv);
int doMUP(int argc, char **argv);
void dumpUSAGE();

// The gates (gates.cc). gate_cluster: whether the function takes the
// cluster operand; one refused for its characters is recorded (the
// handler prints its own message). gate_rule: whether the function's rule
// permits the caller; a refusal is recorded and its message printed.
bool gate_cluster(std::string_view cluster, const policy::Function &f);
bool gate_rule(const policy::Function &f, std::string_view cluster);

// A command line's format after its tool's path, and the buffer the line
// must fit, terminator included.
struct LineFormat {
	const char *args;
	size_t size;
};
// The line that starts tool (compose.cc): through sudo as its account
// unless that is root, then its path and the %s places of the format,
// each value quoted for the shell; false when it would not fit.
bool compose_line(std::string &out, const policy::Tool &tool,
                  const LineFormat &format,
                  std::initializer_list<std::string_view> values);
// qelcmd: the callnode line, each command word split at blanks, tabs and
// newlines as the shell would split it, and each piece quoted.
bool compose_cmd_line(std::string &out, std::string_view flag,
                      std::string_view cluster, std::string_view node,
                      int nwords, char *const *words);
// Corvanex: the archive script under npTee unless notee; fifth may be null.
bool compose_corvanex_line(std::string &out, bool dontlock, bool notee,
                           std::string_view cluster, const char *fifth);

// Messages (messages.cc): a text and a newline; each line of a usage
// text; "\n<name>: parameter too long" (119); the function's refusal,
// recorded with reason (120).
void print_line(const char *text);
template <size_t N>
void print_usage(const char *const (&lines)[N]) {
	for (const char *l : lines)
		print_line(l);
}
int refuse_too_long(const char *name);
int refuse(const policy::Function &f, const char *reason);

// The runner (runner.cc): one line through /bin/sh -c; the tool's status,
// -1, 127 or a raw wait status.
int my_system(const char *command);
// Records and runs the line that starts tools, as the first one's account:
// through sudo as a service account, or as root. Root's tools are checked
// first: a path others may write refuses the run (126), one another
// account owns is recorded.
int run_line(std::initializer_list<const policy::Tool *> tools,
             std::string_view cluster, const std::string &line);

// The registry search by address or serial number (search.cc).
const char *getSysName(const char *ipaddr, const char *serial);

// The audit trail's records (audit.cc), and the refusal reasons.
inline constexpr const char *kReasonNotAuthorized = "not authorized";
inline constexpr const char *kReasonNotAllowed = "command not allowed";
inline constexpr const char *kReasonNoProfile = "no passwd entry";
inline constexpr const char *kReasonBadMarker = "marker file refused";
inline constexpr const char *kReasonBadCluster = "invalid cluster operand";
void audit_refusal(const char *reason);
void audit_start(const char *account, std::string_view cluster,
                 const std::string &command);
void audit_end(int status, const std::string &command);
void audit_unsafe_path(const policy::ToolPathFinding &f,
                       const std::string &command);

}  // namespace front

#endif
