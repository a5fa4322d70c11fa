// Shared state and helpers of the front end.
#ifndef QELDUMP_H
#define QELDUMP_H

#include <sys/types.h>

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "SP_auth/spauth.h"

// Process-wide state, set up by the entry.
extern uid_t myuid;
extern struct user_profile *tmpUser;
extern const char *binPath;
extern const char *NAMEPANIC;
extern const char *NAMECORE;
// The version stamp, "qeldump VERSION".
extern const char *qel_version;

// An authority rule: its format, the uids for its %d places in order (the
// %s place takes the cluster), the buffer it was built in, and the longest
// cluster name its function takes.
struct Rule {
	const char *format;
	std::array<int, 4> uids;
	size_t buffer;  // bytes, terminator included
	size_t cluster_max;
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
// qelcmd lets this uid past its rule, held to the upgrade-check scripts.
inline constexpr uid_t kUpgradeUid = 512;
// qelmup's gate: whether the marker file passes now.
bool mup_marker_ok();

// Rules of the functions that have one, beside their handlers.
extern const Rule kDumpRule, kDrivesRule, kCorvanexRule, kCmdRule, kCageRule,
    kCBIOSRule, kRescueRule;

// The dispatch table: each invoked name, its handler and its rule (null:
// none; qelmup is gated by its marker file).
struct Command {
	const char *name;
	Handler handler;
	const Rule *rule;
};
extern const Command kCommands[8];

// The only search path root's shells get: sudo and grep are found here.
inline constexpr const char *kSafePath =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
// Process hygiene owed to the tools, before anything is opened or reads the
// environment; false when it could not be done.
bool sanitize_process();
// Whether the allowlist keeps a variable of the caller's for root's tools.
bool env_kept(std::string_view name, std::string_view value);
// The caller's name for USER and LOGNAME, once the profile is known.
bool set_caller_env(const char *username);
// The caller's TZ, if the allowlist kept it: for the tools only, so that
// the front end's own records keep the system's time zone. Null: none.
const char *tool_tz();

// Once setuid(0) has worked: root's groups, process 1's resource limits
// (core dumps off) and the system's scheduling state. False, with errno,
// when one could not be set.
bool take_root_groups();
bool take_system_limits();
bool take_system_scheduling();

// Tools the front end starts directly, as root once it has root.
inline constexpr const char *kCallnode = "/home/spcomm/bin/callnode";
inline constexpr const char *kMup = "/home/spcomm/bin/MUP";
inline constexpr const char *kNpTee = "/sp/prod/code/csst/bin/npTee";
inline constexpr const char *kCorvanexScript =
    "/sp/prod/code/csst/bin/Corvanex.sh";
// Every tool a function starts and the account it runs as ("root":
// started directly); for the inspection tool.
struct Tool {
	const char *path;
	const char *account;
};
extern const Tool kTools[11];

// What check_tool_path found on the way to a tool: the first component
// that makes it unsafe, else the first one owned by neither root nor
// also_owner.
enum ToolPathVerdict { kPathSafe, kPathForeignOwner, kPathUnsafe };
// What check_tool_path says of a component; spauth verify finds its fix
// by these.
inline constexpr const char *kPathWritable = "is writable by group or others";
inline constexpr const char *kPathNotRoots = "is not owned by root";
inline constexpr const char *kPathNotRegular = "is not a regular file";
inline constexpr const char *kPathUnexamined = "cannot be examined";
struct ToolPathFinding {
	std::string component;
	uid_t owner = 0;
	const char *why = "";  // completes "<component> ..."
};
// Checks the tool file and every directory above it with lstat; a
// symbolic link above the tool's own directory is checked where it leads,
// the tool itself must be a regular file. also_owner: an account allowed
// besides root, or (uid_t)-1.
int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f);

// Runs one line through /bin/sh -c: the tool's status, -1, 127 or a raw
// wait status.
int my_system(const char *command);

// The audit trail. audit_begin opens the log under the function's name and
// keeps the invoked name and the operands for refusal records.
void audit_begin(const char *invoked, int argc, char **argv);
void audit_refusal(const char *reason);
// Records and runs the line of a tool started through sudo as account:
// its status.
int run_tool(const char *account, std::string_view cluster,
             const std::string &command);
// The same for a line the front end starts directly; as root, each of
// tools must pass check_tool_path first (126 when one does not).
int run_direct(std::initializer_list<const char *> tools,
               std::string_view cluster, const std::string &command);

// Refusal reasons.
inline constexpr const char *kNotAuthorized = "not authorized";
inline constexpr const char *kNotAllowed = "command not allowed";
inline constexpr const char *kNoProfile = "no passwd entry";
inline constexpr const char *kBadMarker = "marker file refused";
inline constexpr const char *kBadCluster = "invalid cluster operand";

// Registry.
inline constexpr size_t kValidateMax = 4064;
int ValidateCluster(const char *cluster);
const char *getSysName(const char *ipaddr, const char *serial);

// A cluster name fit for a rule and a registry path: no "/" (a path) or
// ":" (more terms), and within max characters.
bool cluster_name_fits(std::string_view cluster, size_t max);
// The same for a caller's operand: "/" and ":" are logged as refusals.
bool cluster_operand_ok(std::string_view cluster, size_t max);

// The rule text for cluster; false when it would not fit rule.buffer.
bool format_rule(const Rule &rule, std::string_view cluster, std::string &out);
// Evaluates rule for the caller; 0 refuses (also a rule that does not fit)
// and is logged.
int permitted(const Rule &rule, std::string_view cluster);

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
