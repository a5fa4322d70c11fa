// spauth verify: the installation as the front end will meet it, each
// guarantee it relies on checked in turn (findings.h says how a finding
// is reported).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "SP_auth/internal.h"
#include "admin.h"
#include "findings.h"
#include "policy/policy.h"

using namespace findings;

namespace {

constexpr const char *kFrontEnd = "qeldump";  // the file; the rest link to it
constexpr const char *kBinDir = "bin/";       // beside spauth's sbin/
constexpr mode_t kSetuidMode = 04755;
constexpr size_t kSysctlMax = 15;
constexpr const char *kSudoNotRun =
    ": not run to test sudoers, as its path is not sound (see above)";
// Under a root, where the packages install the front end, in this order.
constexpr const char *kPackageBinDirs[] = {"/usr/bin/", "/usr/local/bin/"};
constexpr const char *kSysctlDir = "/proc/sys/fs";

user_profile *profile_of(const char *account) {
	return get_user_profile(SPAUTH_BY_NAME, const_cast<char *>(account));
}

// The directory of the eight names: PREFIX/bin beside spauth's
// PREFIX/sbin; empty, reported, when spauth cannot find itself. Under a
// root, the first directory of the packages' that holds the front end (a
// spauth outside it tells nothing of it).
std::string installed_bin_dir(bool in_root) {
	if (in_root) {
		struct stat st;
		for (const char *dir : kPackageBinDirs)
			if (lstat((std::string(dir) + kFrontEnd).c_str(),
			          &st) == 0)
				return dir;
		return kPackageBinDirs[0];
	}
	char exe[PATH_MAX];
	ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
	if (n <= 0 || static_cast<size_t>(n) >= sizeof exe) {  // cut: unknown
		report(kNoSelf, "/proc/self/exe");
		return {};
	}
	std::string dir(exe, static_cast<size_t>(n));
	dir.erase(dir.rfind('/'));
	return dir.erase(dir.rfind('/') + 1).append(kBinDir);
}

// Every other name is the front end's file.
void check_names(const std::string &dir, const std::string &main,
                 const struct stat &front) {
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

void check_front_end(const std::string &dir) {
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
	check_names(dir, main, front);
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

// Every directory of the fixed PATH, where root's shell finds sudo and
// grep: the sudo found there, or empty. spauth runs that sudo as root,
// so only where its whole path was found sound.
std::string check_search_path() {
	std::string sudo;
	bool sound = false;
	for (std::string_view dir : spauth::split(policy::kSafePath, ':')) {
		std::string candidate = std::string(dir) + "/sudo";
		bool ok = check_path(candidate, static_cast<uid_t>(-1),
		                     kWhySearchPath);
		struct stat st;
		if (sudo.empty() && stat(candidate.c_str(), &st) == 0 &&
		    S_ISREG(st.st_mode) &&
		    access(candidate.c_str(), X_OK) == 0) {
			sudo = candidate;
			sound = ok;
		}
	}
	if (sudo.empty())
		report(kNoSudo, policy::kSafePath);
	else if (!sound)
		info(sudo + kSudoNotRun);
	return sound ? sudo : std::string();
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

void check_service_accounts(const std::string &sudo) {
	for (const char *account : policy::kServiceAccounts) {
		user_profile *up = profile_of(account);
		if (up == nullptr)
			report(kNoAccount, spauth::kPasswdPath, account);
		else if (!sudo.empty() && !sudo_lets_root(sudo, account))
			report(kSudoRefuses, sudo, account);
		free_user(up);
	}
}

// Each group a rule names, once.
void check_rule_groups(const Names &groups) {
	Names named;
	for (const policy::Function *f : policy::kFunctions) {
		if (f->rule == nullptr)
			continue;
		for (std::string_view term :
		     spauth::split(f->rule->format, ':'))
			if (term.starts_with("G="))
				named.emplace(term.substr(2));
	}
	for (const std::string &group : named)
		if (groups.find(group) == groups.end())
			report(kNoGroup, spauth::kGroupPath, group);
}

void check_admin_group(const std::string &path, std::string_view cluster,
                       const Names &groups) {
	std::string group;
	if (spauth::c_term_group(spauth::kRegistryDir, cluster, group) &&
	    !group.empty() && groups.find(group) == groups.end())
		report(kUnknownAdminGroup, path, group);
}

// The lines the search finds; the first file keeps a line.
void check_keys(const std::string &path,
                std::map<std::string, std::string> &first) {
	spauth::LineReader r;
	if (!spauth::open_lines(r, path.c_str()))
		return;
	std::string_view entry;
	bool overlong;
	while (spauth::read_line(r, entry, overlong)) {
		if (overlong ||
		    (!spauth::registry_key_line(entry, spauth::kIpKey) &&
		     !spauth::registry_key_line(entry, spauth::kSerialKey)))
			continue;
		auto [at, fresh] = first.emplace(entry, path);
		if (!fresh && at->second != path)
			report(kSharedKey, path,
			       std::string(entry) + " with " + at->second);
	}
}

void check_registry(const Names &groups) {
	std::string dir = spauth::kRegistryDir;
	dir.pop_back();  // the trailing "/", as the path check names it
	if (!check_dir(dir, kWhyRegistry)) {
		info(dir + ": absent; no cluster is registered");
		return;
	}
	std::map<std::string, std::string> first;
	for (const std::string &cluster :
	     spauth::registry_clusters(spauth::kRegistryDir)) {
		std::string path =
		    spauth::registry_file(spauth::kRegistryDir, cluster);
		check_file(path, kWhyRegistry);
		struct stat st;
		if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
			continue;
		check_admin_group(path, cluster, groups);
		check_keys(path, first);
	}
}

// A protection is on when its file reads "1". A root without /proc (an
// image) has no kernel: the one that runs it decides.
void check_sysctl(const char *leaf, const Kind &kind, bool in_root) {
	char value[kSysctlMax + 1] = "unreadable";
	std::string name = std::string("fs.") + leaf;
	std::string file = std::string(kSysctlDir) + "/" + leaf;
	struct stat st;
	if (in_root && stat(kSysctlDir, &st) != 0) {
		info(name + ": not checked: the root has no " + kSysctlDir);
		return;
	}
	if (FILE *f = fopen(file.c_str(), "re"); f != nullptr) {
		if (fgets(value, sizeof value, f) == nullptr)
			std::strcpy(value, "unreadable");
		value[std::strcspn(value, "\n")] = '\0';
		fclose(f);
	}
	if (std::strcmp(value, "1") != 0)
		report(kind, name, value);
}

void check_scratch(bool in_root) {
	struct stat st;
	if (stat("/tmp", &st) != 0 || (st.st_mode & S_ISVTX) == 0)
		report(kNotSticky, "/tmp");
	check_dir(QEL_ARCHIVE_LOG_DIR, kWhySpTmp);
	check_sysctl("protected_hardlinks", kNoHardlinkProtection, in_root);
	check_sysctl("protected_symlinks", kNoSymlinkProtection, in_root);
}

void show_marker() {
	struct stat st;
	const char *state =
	    policy::mup_marker_ok()
	        ? "passes now, so qelmup runs MUP as root for any caller"
	    : lstat(policy::kMupMarker, &st) != 0
	        ? "is absent, so qelmup refuses every caller"
	        : "fails its check now, so qelmup refuses every caller";
	info(std::string(policy::kMupMarker) + ": the MUP marker " + state);
}

}  // namespace

Names group_names() {
	Names names;
	spauth::LineReader r;
	if (!spauth::open_lines(r, spauth::kGroupPath))
		return names;
	std::string_view entry;
	bool overlong;
	spauth::GroupEntry g;
	while (spauth::read_line(r, entry, overlong))
		if (!overlong && spauth::group_entry(entry, g))
			names.emplace(g.name);
	return names;
}

void verify_installation(bool in_root) {
	if (std::string dir = installed_bin_dir(in_root); !dir.empty())
		check_front_end(dir);
	// Root's tools first: a place shared with a service account's tool
	// is reported for the graver use.
	for (bool as_root : {true, false})
		for (const policy::Tool *t : policy::kTools)
			if ((std::strcmp(t->account, policy::kRoot) == 0) ==
			    as_root)
				check_tool(*t);
	Names groups = group_names();
	check_service_accounts(check_search_path());
	check_rule_groups(groups);
	check_file(spauth::kPasswdPath, kWhyAccounts, "give any account uid 0");
	check_file(spauth::kGroupPath, kWhyAccounts, "join any group");
	check_registry(groups);
	check_scratch(in_root);
	show_marker();
}
