// The set-user-ID front end: its process-wide state, statuses, handlers,
// and the pieces every handler uses.
#ifndef QELDUMP_H
#define QELDUMP_H

#include <sys/resource.h>
#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "SP_auth/spauth.h"
#include "policy/policy.h"

// Process-wide state, set up by the entry.
extern uid_t myuid;
extern struct user_profile *tmpUser;
extern const char *binPath;
extern const char *NAMEPANIC;
extern const char *NAMECORE;
// The version stamp, "qeldump VERSION".
extern const char *qel_version;

// The front end's own exit statuses; otherwise it exits with the tool's.
enum Status : int {
	kStatusDumpRefused = 1,  // qeldump: dump type, unregistered cluster
	kStatusDumpUsage = 9,    // qeldump: options, -I with -N, not found
	kStatusUnknownName = 115,
	kStatusUsage = 119,  // usage, invalid cluster, too long
	kStatusRefused = 120,
	kStatusUnsafeTool = 126,
	kStatusFailSafe = 255,  // no clean process state, marker refused
};

// Handlers: the argument vector exactly as the process received it.
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

// The process state root's tools inherit (process.cc, env.cc): before
// anything is opened, descriptors, timers, signals, umask and an
// environment built from the allowlist; false when it could not be done.
bool sanitize_process();
// Whether the allowlist keeps a variable of the caller's for root's tools,
// and the environment built from it.
bool env_kept(std::string_view name, std::string_view value);
void build_environment();
// The caller's name for USER and LOGNAME, once the profile is known.
bool set_caller_env(const char *username);
// The caller's TZ, if the allowlist kept it: for the tools only, so that
// the front end's own records keep the system's time zone. Null: none.
const char *tool_tz();

// Once setuid(0) has worked (identity.cc): root's groups, process 1's
// resource limits (core dumps off), the system's scheduling state, and
// the default execution domain, a session keyring of root's own and the
// default timer slack.
// False, with errno, when one could not be set.
bool take_root_groups();
bool take_system_limits();
bool take_system_scheduling();
bool take_system_process_state();
// One line of process 1's limits file: its resource, soft and hard limit;
// false for the header and anything not understood.
bool parse_system_limit(const char *line, int &resource, struct rlimit &lim);

// The audit trail: records only. audit_begin opens the log under the
// function's name and keeps the invoked name and the operands as given.
void audit_begin(const char *invoked, int argc, char **argv);
void audit_refusal(const char *reason);
void audit_start(const char *account, std::string_view cluster,
                 const std::string &command);
void audit_end(int status, const std::string &command);
void audit_unsafe_path(const policy::ToolPathFinding &f,
                       const std::string &command);
// The invoked name, for the front end's own messages; the caller, as
// records name the caller.
const char *invoked_name();
std::string audit_caller();
// Refusal reasons.
inline constexpr const char *kNotAuthorized = "not authorized";
inline constexpr const char *kNotAllowed = "command not allowed";
inline constexpr const char *kNoProfile = "no passwd entry";
inline constexpr const char *kBadMarker = "marker file refused";
inline constexpr const char *kBadCluster = "invalid cluster operand";

// The runner: one line through /bin/sh -c; the tool's status, -1, 127 or a
// raw wait status.
int my_system(const char *command);
// Records and runs the line of a tool started through sudo as account.
int run_tool(const char *account, std::string_view cluster,
             const std::string &command);
// The same for a line the front end starts directly; as root, each of the
// tools must pass the tool-path check first (126 when one does not).
int run_direct(std::initializer_list<const char *> tools,
               std::string_view cluster, const std::string &command);

// The gates (gates.cc): a cluster operand the function takes ("/" and ":"
// are logged as refusals), and the function's rule for the caller (0
// refuses, and is logged).
bool cluster_operand_ok(std::string_view cluster, const policy::Function &f);
int permitted(const policy::Function &f, std::string_view cluster);

// The registry search by address or serial number (search.cc).
const char *getSysName(const char *ipaddr, const char *serial);

// A command format and the buffer its line must fit, terminator included.
struct LineFormat {
	const char *format;
	size_t size;
};
// Fills the %s places of the format with values, each quoted for the
// shell; false when the line would not fit.
bool compose(std::string &out, const LineFormat &format,
             std::initializer_list<std::string_view> values);
// Each function's command formats, beside its handler.
extern const LineFormat kDumpLines[2][2];  // by -D, by output file
extern const LineFormat kCmdLine, kDrivesLine, kCageLine, kCBIOSLine2,
    kCBIOSLine3, kRescueDataLine, kRescueLine;
// qelcmd: the callnode line, each command word split at blanks, tabs and
// newlines as the shell would split it, and each piece quoted.
bool compose_cmd_line(std::string &out, std::string_view flag,
                      std::string_view cluster, std::string_view node,
                      int nwords, char *const *words);
// Corvanex: the archive script under npTee unless notee; fifth may be null.
bool compose_corvanex_line(std::string &out, bool dontlock, bool notee,
                           std::string_view cluster, const char *fifth);

// Prints text followed by a newline; usage prints each line of a usage text.
void line(const char *text);
template <size_t N>
void usage(const char *const (&lines)[N]) {
	for (const char *l : lines)
		line(l);
}
// "\n<invoked name>: parameter too long", status 119.
int too_long(const char *name);

#endif
