// The policy both programs share, as data: the eight functions with their
// rules, the tools they start and as whom, and the limits on a cluster name;
// the cluster-name rule, the tool-path check, the registry and the MUP
// marker. The front end enforces it; spauth explains and audits it. Nothing
// here starts a tool or reads a caller's operands.
#ifndef POLICY_POLICY_H
#define POLICY_POLICY_H

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "SP_auth/internal.h"

// The two tool directories; every tool path is built from one of them.
#define QEL_TOOL_DIR "/sp/prod/code/csst/bin"
#define QEL_SPCOMM_BIN "/home/spcomm/bin"
// Where the archive script's log is written, as root.
#define QEL_ARCHIVE_LOG_DIR "/sp/tmp"

namespace policy {

// The version stamp both programs carry; spauth --version prints it.
inline constexpr const char *kVersion = "qeldump " QEL_VERSION;

// A tool, and the account it runs as ("root": the front end starts it).
struct Tool {
	const char *path;
	const char *account;
};
inline constexpr const char *kRoot = "root";
// The service accounts the tools run as through sudo.
inline constexpr const char *kSpcomm = "spcomm";
inline constexpr const char *kStapp = "stapp";
inline constexpr const char *kServiceAccounts[] = {kSpcomm, kStapp};
inline constexpr Tool kGetPanicDump = {QEL_SPCOMM_BIN "/getpanicdump", kSpcomm};
inline constexpr Tool kGetCoreDump = {QEL_SPCOMM_BIN "/getcoredump", kSpcomm};
inline constexpr Tool kCallnode = {QEL_SPCOMM_BIN "/callnode", kRoot};
inline constexpr Tool kDcup = {QEL_TOOL_DIR "/Dcup", kStapp};
inline constexpr Tool kDrvCageUp = {QEL_TOOL_DIR "/DrvCageUp", kSpcomm};
inline constexpr Tool kFlashCBIOS = {QEL_SPCOMM_BIN "/flashCBIOS", kSpcomm};
inline constexpr Tool kNodeRescueData = {QEL_TOOL_DIR "/getNodeRescueData",
                                         kSpcomm};
inline constexpr Tool kRescueScript = {QEL_SPCOMM_BIN "/qelrescue.sh", kSpcomm};
inline constexpr Tool kMup = {QEL_SPCOMM_BIN "/MUP", kRoot};
inline constexpr Tool kNpTee = {QEL_TOOL_DIR "/npTee", kRoot};
inline constexpr Tool kCorvanexScript = {QEL_TOOL_DIR "/Corvanex.sh", kRoot};
inline constexpr const char *kArchiveLog = QEL_ARCHIVE_LOG_DIR "/Corvane_log.";
// Every tool, in the order spauth verify examines them.
inline constexpr const Tool *kTools[] = {
    &kGetPanicDump, &kGetCoreDump, &kCallnode,       &kDcup,
    &kDrvCageUp,    &kFlashCBIOS,  &kNodeRescueData, &kRescueScript,
    &kMup,          &kNpTee,       &kCorvanexScript};

// An authority rule: its format, the uids for its %d places in order (its
// %s place takes the cluster), and the buffer it is built in, terminator
// included.
struct Rule {
	std::string_view format;
	std::array<int, 4> uids;
	size_t buffer;
};

// A uid let past a function's rule, held to a list of commands (each as
// stored, with its one trailing blank); grant: how spauth check words it.
struct Exception {
	uid_t uid;
	std::span<const char *const> commands;
	const char *grant;
};

// One function: its invoked name, its rule (null: qelmup, gated by its
// marker) and the message that refuses a caller (a %d place takes the
// caller's uid), the size of a buffer of its own that the cluster name
// must also fit, terminator included (0: none), and a uid let past its
// rule.
struct Function {
	const char *name;
	const Rule *rule;
	const char *refusal;
	size_t cluster_buffer = 0;
	const Exception *exception = nullptr;
};

inline constexpr Rule kDumpRule = {
    "U=0:U=%d:U=%d:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
    {508, 509, 507, 512},
    512};
inline constexpr Rule kDrivesRule = {
    "U=0:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s", {509, 512}, 512};
inline constexpr Rule kCorvanexRule = {
    "U=0:U=%d:U=%d:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
    {508, 509, 507, 512},
    128};
inline constexpr Rule kCmdRule = {
    "U=0:U=%d:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s", {508, 507, 509}, 1024};
inline constexpr Rule kCageRule = kDrivesRule;
inline constexpr Rule kCBIOSRule = {
    "U=0:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s", {508, 509}, 128};
inline constexpr Rule kRescueRule = {"U=0:U=%d:G=qeloem:G=qelsvc", {509}, 512};

// Uid 512 may use qelcmd past its rule, for the upgrade-check scripts
// alone, each one word.
inline constexpr const char *kUpgradeScripts[] = {
    (QEL_TOOL_DIR "/upgrade_scripts/pre_check/check_clustercore_flag/"
                  "check_clustercore_flag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/upgrade_check/"
                  "check_clustercore_flag/check_clustercore_flag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/upgrade_check/check_defrag/"
                  "check_defrag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/post_check/"
                  "check_cluster_update_flags/up_cexflagcheck.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/post_check/check_defrag/"
                  "check_defrag.sh "),
};
static_assert(std::size(kUpgradeScripts) == 5, "the grant counts them");
inline constexpr Exception kUpgradeException = {
    512, kUpgradeScripts, "restricted to the five upgrade-check scripts"};

inline constexpr const char *kRefusalAuthFailure = "\nAuthorization failure\n";
inline constexpr const char *kRefusalNotAuthorized =
    "\nYou are not authorized to perform this function!!\n";

// The dispatch table as data, in the order the invoked name is compared.
// qeldump's design keeps the cluster, found or given, in a 64-byte buffer.
inline constexpr Function kDump = {"qeldump", &kDumpRule, kRefusalAuthFailure,
                                   64};
inline constexpr Function kDrives = {"qeldrive", &kDrivesRule,
                                     kRefusalAuthFailure};
inline constexpr Function kCorvanex = {"Corvanex", &kCorvanexRule,
                                       "\nAuthorization failure (UID=%d)\n"};
inline constexpr Function kCmd = {"qelcmd", &kCmdRule, kRefusalNotAuthorized, 0,
                                  &kUpgradeException};
inline constexpr Function kCage = {"qelcage", &kCageRule, kRefusalAuthFailure};
inline constexpr Function kCBIOS = {"qelbios", &kCBIOSRule,
                                    kRefusalNotAuthorized};
inline constexpr Function kRescue = {"qelrescue", &kRescueRule,
                                     kRefusalAuthFailure};
inline constexpr Function kMupFunction = {"qelmup", nullptr, nullptr};
inline constexpr const Function *kFunctions[] = {
    &kDump, &kDrives, &kCorvanex, &kCmd,
    &kCage, &kCBIOS,  &kRescue,   &kMupFunction};
// The functions in the order the invoked name is compared; null when name
// is none of them.
const Function *function_named(std::string_view name);
// Whether the exception lets its uid run the joined command words: they
// agree with the start of an allowed command over their own length, so one
// script path as a single word, or nothing.
bool excepted(const Exception &e, std::string_view joined);

// The only search path root's shells get: sudo and grep are found here.
inline constexpr const char *kSafePath =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// As much of an address or serial number as the dump function's search is
// given; a registry value longer is never found.
inline constexpr size_t kIpMax = 15;
inline constexpr size_t kSerialMax = 7;

// The registry path buffer a cluster name without a rule term must fit.
inline constexpr size_t kValidateMax = 4064;

constexpr size_t digits(int v) {
	size_t n = 1;
	for (; v >= 10; v /= 10)
		++n;
	return n;
}

// Whether the function's rule names the cluster (a C term).
constexpr bool takes_cluster(const Function &f) {
	return f.rule != nullptr &&
	       f.rule->format.find("%s") != f.rule->format.npos;
}

// The longest cluster name a function takes: what its rule's buffer leaves
// for the %s place, the evaluator's limit on a C term and its own buffer;
// without a C term, the registry path's.
constexpr size_t cluster_max(const Function &f) {
	if (!takes_cluster(f))
		return kValidateMax;
	std::string_view format = f.rule->format;
	size_t fixed = format.size() - 2;  // less the %s
	for (size_t i = 0, n = 0; (i = format.find("%d", i)) != format.npos;
	     i += 2, ++n)
		fixed = fixed - 2 + digits(f.rule->uids[n]);
	size_t max = std::min(f.rule->buffer - 1 - fixed, spauth::kClusterMax);
	return f.cluster_buffer == 0 ? max
	                             : std::min(max, f.cluster_buffer - 1);
}

// The characters the front end refuses in a cluster name, and records: "/"
// would name a file outside the registry, ":" would add terms to the rule.
bool cluster_chars_ok(std::string_view cluster);
// The one cluster-name rule of the front end: those characters, and the
// function's limit.
bool cluster_name_fits(std::string_view cluster, const Function &f);
// The rule's text for the cluster.
std::string format_rule(const Rule &rule, std::string_view cluster);

// What check_tool_path found on the way to a tool: the first component
// that makes it unsafe, else the first one owned by neither root nor
// also_owner.
enum ToolPathVerdict { kPathSafe, kPathForeignOwner, kPathUnsafe };
// What check_tool_path says of a component; spauth verify finds its fix
// by these.
inline constexpr const char *kPathWritable = "is writable by group or others";
inline constexpr const char *kPathNotRootOwned = "is not owned by root";
inline constexpr const char *kPathNotRegular = "is not a regular file";
inline constexpr const char *kPathNotDirectory = "is not a directory";
inline constexpr const char *kPathUnexamined = "cannot be examined";
inline constexpr const char *kPathNestedScript =
    "is a script's interpreter that is itself a script";
struct ToolPathFinding {
	std::string component;
	uid_t owner = 0;
	const char *why = "";  // completes "<component> ..."
	std::string link;      // the link the walk came through, if any
};
// Checks the tool file and every directory above it with lstat: a
// symbolic link on the way is checked where it leads, as far as that
// exists; the tool itself must be a regular file, and a script's "#!"
// interpreter is checked the same way. also_owner: an account allowed
// besides root, or (uid_t)-1. trusted: a directory taken as examined with
// all above it (for a test's scratch tree), never the front end's.
int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f,
                    std::string_view trusted = {});
// The same for a file root reads (the account files, a registry file),
// without the interpreter; and for a directory root relies on (the
// registry's, the archive log's): missing when it does not exist.
int check_file_path(const char *file, ToolPathFinding &f);
int check_dir_path(const char *dir, ToolPathFinding &f, bool &missing);

// qelmup's gate: the marker file, and whether it passes now.
inline constexpr const char *kMupMarker = "/tmp/spmup.tar";
bool mup_marker_ok();

}  // namespace policy

// The registry: 0 when the cluster's file is readable, else -1.
int ValidateCluster(const char *cluster);

#endif
