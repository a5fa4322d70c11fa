// spauth verify's findings: each kind of finding, and the one way each is
// reported: one line, the place, what is wrong there, why it matters and
// how to mend it:
//   spauth verify: PLACE: WHAT; WHY; fix: HOW
// or, for --json, one record in the document. Information that is no
// finding reads "spauth verify: info: TEXT".
#ifndef ADMIN_FINDINGS_H
#define ADMIN_FINDINGS_H

#include <string>
#include <string_view>
#include <vector>

#include "policy/policy.h"

namespace findings {

// How grave a kind is: whoever exploits it gains root or a function; the
// functions fail; a search misses.
inline constexpr const char *kCritical = "critical";
inline constexpr const char *kError = "error";
inline constexpr const char *kWarning = "warning";

// One kind of finding: its id (stable, never reused; spauth(8) lists
// them), its severity, and its texts. {w} stands for the place, {d} for
// the detail; in the fix both are quoted for the shell. A fix that is
// advice starts with "# ", and a command in which one cannot be pasted is
// printed as a comment to mend by hand.
struct Kind {
	const char *id;
	const char *severity;
	const char *what;
	const char *why;
	const char *fix;
};

// A finding as reported, with its texts filled in.
struct Finding {
	const char *id;
	const char *severity;
	std::string place, what, why, fix;
};

// Once per place and fault: a directory above several tools is one fault.
void report(const Kind &k, std::string_view where,
            std::string_view detail = {});
// What the tool-path check found at a place, for a use the why names; the
// fix follows from what it found.
void report_place(const policy::ToolPathFinding &f, const char *why,
                  std::string_view detail = {});
void info(std::string_view text);
// The tool-path check of the front end on a tool (false when it finds
// something), on a file root reads, and on a directory root relies on
// (false when it is absent), each finding reported for why.
bool check_path(const std::string &path, uid_t also_owner, const char *why,
                std::string_view detail = {});
void check_file(const std::string &path, const char *why,
                std::string_view detail = {});
bool check_dir(const std::string &dir, const char *why);
// The findings reported so far.
int count();
// Kept for the document, not printed (spauth verify --json).
void keep_for_document();
const std::vector<Finding> &reported_findings();
const std::vector<std::string> &reported_infos();

// The uses a place can have: why a finding there matters.
inline constexpr const char *kWhyRootTool =
    "the front end runs {d} as root, so whoever can change it runs "
    "commands as root";
inline constexpr const char *kWhySudoTool =
    "the front end runs {d}, so whoever can change it runs commands as "
    "that account";
inline constexpr const char *kWhyAccounts = "whoever can write it can {d}";
inline constexpr const char *kWhySearchPath =
    "the front end's shell looks up sudo and grep there as root, so "
    "whoever can write there runs commands as root";
inline constexpr const char *kWhyRegistry =
    "whoever can write a registry file can name any ADMINGROUP and so "
    "grant that group the functions";
inline constexpr const char *kWhySpTmp =
    "the archive log is written there as root, so whoever can write there "
    "chooses what root overwrites";

// The kinds of finding.
inline constexpr Kind kNoSelf = {
    "QV101", kError, "cannot be read",
    "spauth finds the installed front end beside itself",
    "mount -t proc proc /proc"};
inline constexpr Kind kFrontEndMissing = {"QV102", kError, "is missing",
                                          "no function can be started",
                                          "# reinstall the front end"};
inline constexpr Kind kNameMissing = {"QV103", kError, "is missing",
                                      "callers of {d} get no function",
                                      "ln -s qeldump {w}"};
inline constexpr Kind kNotFrontEnd = {
    "QV104", kCritical, "is not the front end {d}",
    "every name must be the one set-user-ID file, or callers meet another "
    "program or an outdated copy",
    "ln -sf qeldump {w}"};
inline constexpr Kind kFrontEndNotRegular = {
    "QV105", kCritical, policy::kPathNotRegular,
    "the front end must be one set-user-ID program",
    "# reinstall the front end"};
inline constexpr Kind kFrontEndOwner = {
    "QV106", kCritical, policy::kPathNotRootOwned,
    "a set-user-ID program runs as its owner, and the functions need root",
    "chown root:root {w} && chmod 4755 {w}"};
inline constexpr Kind kFrontEndMode = {
    "QV107", kCritical, "has mode {d}, not 4755",
    "the front end takes root through its set-user-ID bit, and no one but "
    "root may change it",
    "chmod 4755 {w}"};
inline constexpr Kind kNosuid = {
    "QV108", kError, "is on a file system mounted nosuid",
    "the kernel ignores its set-user-ID bit, so no function gets root",
    "# remount that file system without nosuid"};
inline constexpr Kind kToolMissing = {"QV201", kError, "is missing",
                                      "the functions that start it fail",
                                      "# install {w}"};
inline constexpr Kind kToolNotExecutable = {
    "QV202", kError, "is not executable by {d}",
    "the functions that start it fail", "chmod 755 {w}"};
inline constexpr Kind kNoAccount = {"QV301", kError, "has no account {d}",
                                    "the functions that run a tool as {d} fail",
                                    "useradd {d}"};
inline constexpr Kind kNoGroup = {
    "QV302", kError, "has no group {d}",
    "the rules grant its members every function that has a rule, so they "
    "have none",
    "groupadd {d}"};
inline constexpr Kind kNoSudo = {
    "QV303", kError, "has no sudo",
    "the functions that run a tool as spcomm or stapp fail",
    "apt-get install sudo"};
inline constexpr Kind kSudoRefuses = {
    "QV304", kError, "does not let root run commands as {d} without a password",
    "the functions that run a tool as {d} fail",
    "# add this line with visudo: root ALL=({d}) NOPASSWD: ALL"};
inline constexpr Kind kUnknownAdminGroup = {
    "QV401", kCritical, "names ADMINGROUP {d}, which /etc/group does not have",
    "the cluster's administrators get none of its functions, and whoever "
    "is later given a group of that name gets them",
    "# groupadd {d}, or correct ADMINGROUP in {w}"};
inline constexpr Kind kSharedKey = {
    "QV402", kWarning, "shares {d}",
    "the search by address or serial number takes the first file in name "
    "order, so it never finds this cluster",
    "# give each cluster its own value in {w}"};
inline constexpr Kind kNotSticky = {
    "QV501", kCritical, "has no sticky bit",
    "any account can remove or replace another's files there, the MUP "
    "marker included",
    "chmod +t {w}"};
// Both kernel protections are mended alike.
inline constexpr const char *kSysctlFix =
    "sysctl -w {w}=1  # and set it in /etc/sysctl.d";
inline constexpr Kind kNoHardlinkProtection = {
    "QV502", kCritical, "is {d}, not 1",
    "any account can link root's files into /tmp, where the MUP marker is "
    "checked",
    kSysctlFix};
inline constexpr Kind kNoSymlinkProtection = {
    "QV503", kCritical, "is {d}, not 1",
    "root follows links that other accounts plant in sticky directories "
    "such as /tmp",
    kSysctlFix};

// The kinds of a candidate registry file's content (--registry-file); the
// detail is the line's number.
inline constexpr Kind kRegLineUnread = {
    "QV701", kError, "line {d} is neither KEY=VALUE, a comment nor empty",
    "the registry reads only KEY=VALUE lines, so this text is a mistake",
    "# correct or remove line {d} of {w}"};
inline constexpr Kind kRegLineBytes = {
    "QV702", kError, "line {d} holds a byte outside printable ASCII",
    "the readers end a line at a NUL, and a control character hides text "
    "from whoever reads the file",
    "# write line {d} of {w} in printable ASCII"};
inline constexpr Kind kRegKeyMisspelt = {
    "QV703", kError, "line {d} is not read as the key it resembles",
    "a key counts only as IPADDRESS=, SERIALNO= or ADMINGROUP= at the start "
    "of its line, with no blank and no quotes",
    "# write line {d} of {w} as KEY=VALUE"};
inline constexpr Kind kRegBadValue = {
    "QV704", kError, "line {d} holds a value its key cannot take",
    "IPADDRESS takes an IPv4 address of at most 15 characters, SERIALNO "
    "1 to 7 letters or digits and ADMINGROUP a group name of at most 79 "
    "characters, and the front end finds no other",
    "# correct the value on line {d} of {w}"};
inline constexpr Kind kRegKeyRepeated = {
    "QV705", kError, "line {d} repeats its key",
    "only the first ADMINGROUP counts, and a search finds the cluster by "
    "either IPADDRESS or SERIALNO, so one of the lines misleads",
    "# keep one line of each key in {w}"};

}  // namespace findings

#endif
