// spauth verify: the installation as the front end will meet it. Each
// finding is one line: the place, what is wrong there, why it matters and
// how to mend it:
//   spauth verify: PLACE: WHAT; WHY; fix: HOW
// Information that is no finding reads "spauth verify: info: TEXT".
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SP_auth/internal.h"
#include "admin.h"
#include "policy/policy.h"

namespace {

constexpr const char *kPrefix = "spauth verify: ";
constexpr const char *kFrontEnd = "qeldump";  // the file; the rest link to it
constexpr const char *kBinDir = "bin/";       // beside spauth's sbin/
constexpr mode_t kSetuidMode = 04755;
constexpr const char *kSpTmp = "/sp/tmp";
constexpr size_t kSysctlMax = 15;

// One kind of finding. {w} stands for the place, {d} for the detail; in
// the fix both are quoted for the shell.
struct Kind {
	const char *what;
	const char *why;
	const char *fix;
};

// What check_tool_path finds at a place, and how to mend it; the why
// comes from the place's use.
struct Mend {
	const char *what;
	const char *fix;
};
constexpr Mend kMends[] = {
    {policy::kPathWritable, "chmod go-w {w}"},
    {policy::kPathNotRoots, "chown root {w}"},
    {policy::kPathNotRegular, "replace {w} by the regular file it should be"},
    {policy::kPathNotDirectory, "replace {w} by a directory that root owns"},
    {policy::kPathNestedScript,
     "make {w} a program, or name one in the script's #! line"},
};
constexpr const char *kAnyMend = "make {w} root's alone";
// A place reached through a link is mended at the link: what it leads
// into (/tmp, say) may rightly be open to all.
constexpr const char *kThroughLink = "leads through {d}";
constexpr const char *kLinkMend =
    "make {w} a directory of root's, or a link into one";

constexpr const char *kWhyRootTool =
    "the front end runs {d} as root, so whoever can change it runs "
    "commands as root";
constexpr const char *kWhySudoTool =
    "the front end runs {d}, so whoever can change it runs commands as "
    "that account";
constexpr const char *kWhyAccounts = "whoever can write it can {d}";
constexpr const char *kWhySearchPath =
    "the front end's shell looks up sudo and grep there as root, so "
    "whoever can write there runs commands as root";
constexpr const char *kWhyRegistry =
    "whoever can write a registry file can name any ADMINGROUP and so "
    "grant that group the functions";
constexpr const char *kWhySpTmp =
    "the archive log is written there as root, so whoever can write there "
    "chooses what root overwrites";

constexpr Kind kNoSelf = {"cannot be read",
                          "spauth finds the installed front end beside itself",
                          "mount /proc"};
constexpr Kind kFrontEndMissing = {"is missing", "no function can be started",
                                   "reinstall the front end"};
constexpr Kind kNameMissing = {"is missing", "callers of {d} get no function",
                               "ln -s qeldump {w}"};
constexpr Kind kNotFrontEnd = {
    "is not the front end {d}",
    "every name must be the one set-user-ID file, or callers meet another "
    "program or an outdated copy",
    "ln -sf qeldump {w}"};
constexpr Kind kFrontEndNotRegular = {
    policy::kPathNotRegular, "the front end must be one set-user-ID program",
    "reinstall the front end"};
constexpr Kind kFrontEndOwner = {
    policy::kPathNotRoots,
    "a set-user-ID program runs as its owner, and the functions need root",
    "chown root:root {w} && chmod 4755 {w}"};
constexpr Kind kFrontEndMode = {
    "has mode {d}, not 4755",
    "the front end takes root through its set-user-ID bit, and no one but "
    "root may change it",
    "chmod 4755 {w}"};
constexpr Kind kNosuid = {
    "is on a file system mounted nosuid",
    "the kernel ignores its set-user-ID bit, so no function gets root",
    "remount that file system without nosuid"};
constexpr Kind kToolMissing = {"is missing", "the functions that start it fail",
                               "install {w}"};
constexpr Kind kToolNotExecutable = {"is not executable by {d}",
                                     "the functions that start it fail",
                                     "chmod 755 {w}"};
constexpr Kind kNoAccount = {"has no account {d}",
                             "the functions that run a tool as {d} fail",
                             "useradd {d}"};
constexpr Kind kNoGroup = {
    "has no group {d}",
    "the rules grant its members every function that has a rule, so they "
    "have none",
    "groupadd {d}"};
constexpr Kind kNoSudo = {
    "has no sudo", "the functions that run a tool as spcomm or stapp fail",
    "apt-get install sudo"};
constexpr Kind kSudoRefuses = {
    "does not let root run commands as {d} without a password",
    "the functions that run a tool as {d} fail",
    "add this line with visudo: root ALL=({d}) NOPASSWD: ALL"};
constexpr Kind kUnknownAdminGroup = {
    "names ADMINGROUP {d}, which /etc/group does not have",
    "the cluster's administrators get none of its functions, and whoever "
    "is later given a group of that name gets them",
    "groupadd {d}, or correct ADMINGROUP in {w}"};
constexpr Kind kSharedKey = {
    "shares {d}",
    "the search by address or serial number takes the first file in name "
    "order, so it never finds this cluster",
    "give each cluster its own value in {w}"};
constexpr Kind kNotSticky = {
    "has no sticky bit",
    "any account can remove or replace another's files there, the MUP "
    "marker included",
    "chmod +t {w}"};
constexpr Kind kNoHardlinkProtection = {
    "is {d}, not 1",
    "any account can link root's files into /tmp, where the MUP marker is "
    "checked",
    "sysctl -w {w}=1, and set it in /etc/sysctl.d"};
constexpr Kind kNoSymlinkProtection = {
    "is {d}, not 1",
    "root follows links that other accounts plant in sticky directories "
    "such as /tmp",
    "sysctl -w {w}=1, and set it in /etc/sysctl.d"};

int findings;
std::set<std::string> reported;

std::string fill(std::string_view text, std::string_view where,
                 std::string_view detail, bool quote) {
	std::string out;
	for (size_t i = 0; i < text.size(); ++i) {
		std::string_view key = text.substr(i, 3);
		if (key != "{w}" && key != "{d}") {
			out.push_back(text[i]);
			continue;
		}
		std::string_view value = key == "{w}" ? where : detail;
		if (quote)
			spauth::shell_quote(value, out);
		else
			out.append(value);
		i += 2;
	}
	return out;
}

// Once per place and fault: a directory above several tools is one fault.
void report_line(std::string_view where, const std::string &what,
                 const std::string &why, const std::string &fix) {
	if (!reported.insert(std::string(where).append("\n").append(what))
	         .second)
		return;
	++findings;
	print_line(std::string(kPrefix)
	               .append(where)
	               .append(": ")
	               .append(what)
	               .append("; ")
	               .append(why)
	               .append("; fix: ")
	               .append(fix));
}

void report(const Kind &k, std::string_view where,
            std::string_view detail = {}) {
	report_line(where, fill(k.what, where, detail, false),
	            fill(k.why, where, detail, false),
	            fill(k.fix, where, detail, true));
}

void info(std::string_view text) {
	print_line(std::string(kPrefix).append("info: ").append(text));
}

void report_place(const policy::ToolPathFinding &f, const char *why,
                  std::string_view detail) {
	if (!f.link.empty()) {
		std::string place = f.component + ", which " + f.why;
		report_line(f.link, fill(kThroughLink, f.link, place, false),
		            fill(why, f.link, detail, false),
		            fill(kLinkMend, f.link, {}, true));
		return;
	}
	const char *fix = kAnyMend;
	for (const Mend &m : kMends)
		if (std::strcmp(m.what, f.why) == 0)
			fix = m.fix;
	report({f.why, why, fix}, f.component, detail);
}

// The front end's own test of a tool's path, for any file root relies
// on; false when it finds something.
bool check_path(const std::string &path, uid_t also_owner, const char *why,
                std::string_view detail = {}) {
	policy::ToolPathFinding f;
	if (policy::check_tool_path(path.c_str(), also_owner, f) ==
	    policy::kPathSafe)
		return true;
	report_place(f, why, detail);
	return false;
}

// A file root reads, and every directory above it.
void check_file(const std::string &path, const char *why,
                std::string_view detail = {}) {
	policy::ToolPathFinding f;
	if (policy::check_file_path(path.c_str(), f) != policy::kPathSafe)
		report_place(f, why, detail);
}

// A directory root relies on, and every one above it; false when it is
// absent.
bool check_dir(const std::string &dir, const char *why) {
	policy::ToolPathFinding f;
	bool missing;
	if (policy::check_dir_path(dir.c_str(), f, missing) !=
	    policy::kPathSafe)
		report_place(f, why, {});
	return !missing;
}

user_profile *profile_of(const char *account) {
	return get_user_profile(SPAUTH_BY_NAME, const_cast<char *>(account));
}

// The groups the library can read, as it reads them.
std::set<std::string, std::less<>> group_names() {
	std::set<std::string, std::less<>> names;
	spauth::LineReader r;
	if (!spauth::open_lines(r, spauth::kGroupPath))
		return names;
	std::string_view entry;
	bool overlong;
	uint32_t gid;
	while (spauth::read_line(r, entry, overlong)) {
		auto g = spauth::split_fields<3>(entry, ':');
		if (!overlong && g.size() >= 3 && !g[0].empty() &&
		    g[0].size() <= spauth::kNameMax &&
		    spauth::parse_id(g[2], spauth::kGroupGidMax, gid))
			names.emplace(g[0]);
	}
	return names;
}

void check_front_end() {
	char exe[PATH_MAX];
	ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
	if (n <= 0 || static_cast<size_t>(n) >= sizeof exe) {  // cut: unknown
		report(kNoSelf, "/proc/self/exe");
		return;
	}
	// PREFIX/sbin/spauth: the eight names are in PREFIX/bin.
	std::string dir(exe, static_cast<size_t>(n));
	dir.erase(dir.rfind('/'));
	dir.erase(dir.rfind('/') + 1).append(kBinDir);
	std::string main = dir + kFrontEnd;
	struct stat front;
	if (stat(main.c_str(), &front) != 0) {
		report(kFrontEndMissing, main);
		return;
	}
	if (!S_ISREG(front.st_mode)) {
		report(kFrontEndNotRegular, main);
		return;
	}
	if (front.st_uid != 0)
		report(kFrontEndOwner, main);
	if ((front.st_mode & 07777) != kSetuidMode) {
		char mode[8];
		snprintf(mode, sizeof mode, "%04o", front.st_mode & 07777);
		report(kFrontEndMode, main, mode);
	}
	struct statvfs fs;
	if (statvfs(main.c_str(), &fs) == 0 && (fs.f_flag & ST_NOSUID) != 0)
		report(kNosuid, main);
	for (const policy::Function *f : policy::kFunctions) {
		std::string name = dir + f->name;
		struct stat st;
		if (name == main)
			continue;
		if (stat(name.c_str(), &st) != 0)
			report(kNameMissing, name, f->name);
		else if (st.st_dev != front.st_dev || st.st_ino != front.st_ino)
			report(kNotFrontEnd, name, main);
	}
}

// up: the account the tool runs as; null: root, for whom any x bit does.
bool executable_by(const struct stat &st, const user_profile *up) {
	if (up == nullptr)
		return (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
	if (st.st_uid == up->uid)
		return (st.st_mode & S_IXUSR) != 0;
	for (const gent *g = up->group; g != nullptr; g = g->next)
		if (g->gid == st.st_gid)
			return (st.st_mode & S_IXGRP) != 0;
	return (st.st_mode & S_IXOTH) != 0;
}

void check_tool(const policy::Tool &t) {
	bool root = std::strcmp(t.account, policy::kRoot) == 0;
	user_profile *up = root ? nullptr : profile_of(t.account);
	uid_t also_owner = up != nullptr ? up->uid : static_cast<uid_t>(-1);
	std::string as =
	    root ? t.path : std::string(t.path) + " as " + t.account;
	// A tool missing where its path is unsafe is not to be installed there.
	bool path_ok = check_path(t.path, also_owner,
	                          root ? kWhyRootTool : kWhySudoTool, as);
	struct stat st;
	bool present = lstat(t.path, &st) == 0;
	if (!present && path_ok)
		report(kToolMissing, t.path);
	else if (present && S_ISREG(st.st_mode) && (root || up != nullptr) &&
	         !executable_by(st, up))
		report(kToolNotExecutable, t.path, t.account);
	free_user(up);
}

// Runs sudo as the front end's shell would, without a shell: status 0.
bool sudo_lets_root(const std::string &sudo, const char *account) {
	const std::string path_env = std::string("PATH=") + policy::kSafePath;
	int null = open("/dev/null", O_RDWR | O_CLOEXEC);
	if (null < 0)
		return false;
	const char *argv[] = {"sudo",  "-n",        "-u",
	                      account, "/bin/true", nullptr};
	const char *envp[] = {path_env.c_str(), nullptr};
	const int fds[3] = {null, null, null};
	pid_t pid = spauth::start_child(sudo.c_str(), argv, envp, fds, nullptr);
	close(null);
	return pid > 0 && spauth::wait_child(pid) == 0;
}

// The groups the rules name, each once.
std::set<std::string> rule_groups() {
	std::set<std::string> groups;
	for (const policy::Function *f : policy::kFunctions) {
		if (f->rule == nullptr)
			continue;
		for (std::string_view term :
		     spauth::split(f->rule->format, ':'))
			if (term.starts_with("G="))
				groups.emplace(term.substr(2));
	}
	return groups;
}

void check_accounts(const std::set<std::string, std::less<>> &groups) {
	std::string sudo;
	for (std::string_view dir : spauth::split(policy::kSafePath, ':')) {
		std::string candidate = std::string(dir) + "/sudo";
		check_path(candidate, static_cast<uid_t>(-1), kWhySearchPath);
		struct stat st;
		if (sudo.empty() && stat(candidate.c_str(), &st) == 0 &&
		    S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
			sudo = candidate;
	}
	if (sudo.empty())
		report(kNoSudo, policy::kSafePath);
	for (const char *account : policy::kServiceAccounts) {
		user_profile *up = profile_of(account);
		if (up == nullptr)
			report(kNoAccount, spauth::kPasswdPath, account);
		else if (!sudo.empty() && !sudo_lets_root(sudo, account))
			report(kSudoRefuses, sudo, account);
		free_user(up);
	}
	for (const std::string &group : rule_groups())
		if (groups.find(group) == groups.end())
			report(kNoGroup, spauth::kGroupPath, group);
	check_file(spauth::kPasswdPath, kWhyAccounts, "give any account uid 0");
	check_file(spauth::kGroupPath, kWhyAccounts, "join any group");
}

void check_admin_group(const std::string &path, std::string_view name,
                       const std::set<std::string, std::less<>> &groups) {
	std::string_view cluster = name.substr(0, name.size() - 5);
	char buffer[spauth::kClusterMax + 1];
	static_assert(sizeof buffer >= 80, "getAdminGroup's buffer");
	if (cluster.size() >= sizeof buffer)
		return;  // too long a name for any function
	std::memcpy(buffer, cluster.data(), cluster.size());
	buffer[cluster.size()] = '\0';
	const char *group = getAdminGroup(buffer);
	if (group != nullptr && group[0] != '\0' &&
	    groups.find(group) == groups.end())
		report(kUnknownAdminGroup, path, group);
}

// Whole lines, as the search matches them; the first file keeps a line.
void check_keys(const std::string &path,
                std::map<std::string, std::string> &first) {
	spauth::LineReader r;
	if (!spauth::open_lines(r, path.c_str()))
		return;
	std::string_view entry;
	bool overlong;
	while (spauth::read_line(r, entry, overlong)) {
		bool key = (entry.starts_with(policy::kIpKey) &&
		            entry.size() > policy::kIpKey.size()) ||
		           (entry.starts_with(policy::kSerialKey) &&
		            entry.size() > policy::kSerialKey.size());
		if (overlong || !key)
			continue;
		auto [at, fresh] = first.emplace(entry, path);
		if (!fresh && at->second != path)
			report(kSharedKey, path,
			       std::string(entry) + " with " + at->second);
	}
}

void check_registry(const std::set<std::string, std::less<>> &groups) {
	std::string dir = spauth::kRegistryDir;
	dir.pop_back();  // the trailing "/", as the path check names it
	if (!check_dir(dir, kWhyRegistry)) {
		info(dir + ": absent; no cluster is registered");
		return;
	}
	std::map<std::string, std::string> first;
	for (const std::string &name : policy::registry_files()) {
		std::string path = spauth::kRegistryDir + name;
		check_file(path, kWhyRegistry);
		struct stat st;
		if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
			continue;
		check_admin_group(path, name, groups);
		check_keys(path, first);
	}
}

// A protection is on when its file reads "1".
void check_sysctl(const char *name, const char *file, const Kind &kind) {
	char value[kSysctlMax + 1] = "unreadable";
	if (FILE *f = fopen(file, "re"); f != nullptr) {
		if (fgets(value, sizeof value, f) == nullptr)
			std::strcpy(value, "unreadable");
		value[std::strcspn(value, "\n")] = '\0';
		fclose(f);
	}
	if (std::strcmp(value, "1") != 0)
		report(kind, name, value);
}

void check_scratch() {
	struct stat st;
	if (stat("/tmp", &st) != 0 || (st.st_mode & S_ISVTX) == 0)
		report(kNotSticky, "/tmp");
	check_dir(kSpTmp, kWhySpTmp);
	check_sysctl("fs.protected_hardlinks",
	             "/proc/sys/fs/protected_hardlinks", kNoHardlinkProtection);
	check_sysctl("fs.protected_symlinks", "/proc/sys/fs/protected_symlinks",
	             kNoSymlinkProtection);
}

void show_marker() {
	struct stat st;
	std::string text =
	    std::string(policy::kMupMarker).append(": the MUP marker ");
	if (policy::mup_marker_ok())
		text.append(
		    "passes now, so qelmup runs MUP as root for any "
		    "caller");
	else if (lstat(policy::kMupMarker, &st) != 0)
		text.append("is absent, so qelmup refuses every caller");
	else
		text.append(
		    "fails its check now, so qelmup refuses every "
		    "caller");
	info(text);
}

}  // namespace

int verify_installation() {
	check_front_end();
	// Root's tools first: a place shared with a service account's tool
	// is reported for the graver use.
	for (bool as_root : {true, false})
		for (const policy::Tool *t : policy::kTools)
			if ((std::strcmp(t->account, policy::kRoot) == 0) ==
			    as_root)
				check_tool(*t);
	std::set<std::string, std::less<>> groups = group_names();
	check_accounts(groups);
	check_registry(groups);
	check_scratch();
	show_marker();
	return findings == 0 ? 0 : 1;
}
