// The caller's control groups. Whoever may write a group that root's
// tools run in can end them (cgroup.kill), freeze them or starve them
// (memory.max, pids.max, cpu.max): the very effects the scheduling resets
// exist to prevent. So a group that is not root's alone is left for
// process 1's before any tool starts. A group that is root's alone, such
// as a login session's scope, is kept: the session's accounting and its
// end still cover the run.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "entry.h"

namespace front {
namespace {

constexpr const char *kOwnGroups = "/proc/self/cgroup";
constexpr const char *kSystemGroups = "/proc/1/cgroup";
constexpr const char *kMountInfo = "/proc/self/mountinfo";
constexpr size_t kProcLineMax = 64 << 10;  // longer: not understood
constexpr std::string_view kEventControl = "cgroup.event_control";

// A line of a /proc/PID/cgroup file: "ID:CONTROLLERS:PATH", and the
// hierarchy it names: "0::" the unified one.
struct Group {
	std::string hierarchy;  // "ID:CONTROLLERS"
	std::string path;
};
// Where a hierarchy is mounted: its fields of /proc/self/mountinfo.
struct Mount {
	std::string root, point, type, options;
};

// The lines of a /proc file, each whole; false when one is too long.
bool proc_lines(const char *file, std::vector<std::string> &lines) {
	FILE *f = fopen(file, "re");
	char *text = nullptr;
	size_t size = 0;
	ssize_t n = 0;
	while (f != nullptr && (n = getline(&text, &size, f)) > 0 &&
	       static_cast<size_t>(n) <= kProcLineMax)
		lines.emplace_back(text, static_cast<size_t>(n) -
		                             (text[n - 1] == '\n' ? 1 : 0));
	bool whole = f != nullptr && n < 0 && feof(f);
	free(text);
	if (f != nullptr)
		fclose(f);
	return whole;
}

bool groups_of(const char *file, std::vector<Group> &groups) {
	std::vector<std::string> lines;
	if (!proc_lines(file, lines))
		return false;
	for (const std::string &l : lines) {
		size_t colon = l.find(':', l.find(':') + 1);
		if (colon == std::string::npos)
			return false;
		groups.push_back({l.substr(0, colon), l.substr(colon + 1)});
	}
	return true;
}

// A mountinfo field, its \ooo escapes undone.
std::string unescaped(std::string_view field) {
	std::string out;
	for (size_t i = 0; i < field.size(); ++i) {
		if (field[i] == '\\' && field.size() - i > 3) {
			out.push_back(static_cast<char>(std::strtol(
			    std::string(field.substr(i + 1, 3)).c_str(),
			    nullptr, 8)));
			i += 3;
		} else {
			out.push_back(field[i]);
		}
	}
	return out;
}

// The cgroup mounts: "ID PARENT DEV ROOT POINT OPTS [TAGS] - TYPE SRC
// SUPER"; false when the mounts cannot be read whole.
bool cgroup_mounts(std::vector<Mount> &mounts) {
	std::vector<std::string> lines;
	if (!proc_lines(kMountInfo, lines))
		return false;
	for (const std::string &l : lines) {
		std::vector<std::string_view> f = spauth::split(l, ' ');
		size_t dash = 6;
		while (dash < f.size() && f[dash] != "-")
			++dash;
		if (dash + 3 < f.size() &&
		    (f[dash + 1] == "cgroup" || f[dash + 1] == "cgroup2"))
			mounts.push_back(
			    {unescaped(f[3]), unescaped(f[4]),
			     std::string(f[dash + 1]),
			     "," + std::string(f[dash + 3]) + ","});
	}
	return true;
}

// Whether m mounts the hierarchy g is in.
bool mounts_hierarchy(const Mount &m, const Group &g) {
	std::string_view controllers =
	    std::string_view(g.hierarchy).substr(g.hierarchy.find(':') + 1);
	if (controllers.empty())
		return m.type == "cgroup2";
	if (m.type != "cgroup")
		return false;
	for (std::string_view c : spauth::split(controllers, ','))
		if (m.options.find("," + std::string(c) + ",") ==
		    std::string::npos)
			return false;
	return true;
}

// The directory of path in the hierarchy, and its mount point: false when
// no mount in this process's view holds it.
bool group_dir(const std::vector<Mount> &mounts, const Group &g,
               const std::string &path, std::string &dir, std::string &top) {
	for (const Mount &m : mounts) {
		std::string root = m.root == "/" ? "" : m.root;
		if (!mounts_hierarchy(m, g) || !path.starts_with(root) ||
		    (path.size() > root.size() && path[root.size()] != '/'))
			continue;
		top = m.point;
		dir = m.point + (path.size() > root.size() + 1
		                     ? path.substr(root.size())
		                     : std::string());
		return true;
	}
	return false;
}

bool roots(const struct stat &st) {
	return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A group directory and every file in it owned by root and writable by no
// group or other; its subdirectories are other groups. Older kernels make
// cgroup v1's cgroup.event_control writable by all: it only registers a
// notification, and moves, ends or limits nothing.
bool roots_alone(const std::string &dir) {
	DIR *d = opendir(dir.c_str());
	struct stat st;
	bool ok = d != nullptr && fstat(dirfd(d), &st) == 0 && roots(st);
	for (dirent *e; ok && (e = readdir(d)) != nullptr;)
		ok = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) ==
		         0 &&
		     (S_ISDIR(st.st_mode) || roots(st) ||
		      std::string_view(e->d_name) == kEventControl);
	if (d != nullptr)
		closedir(d);
	return ok;
}

// The group and every one above it up to the hierarchy's top: the owner
// of any of them can move, end or limit what runs below it.
bool roots_alone_up(std::string dir, const std::string &top) {
	for (;; dir.erase(dir.rfind('/'))) {
		if (!roots_alone(dir))
			return false;
		if (dir.size() <= top.size())
			return true;
	}
}

// Moves this process into process 1's group of g's hierarchy, which must
// be root's alone itself.
bool join_system_group(const std::vector<Mount> &mounts, const Group &g,
                       const std::vector<Group> &system) {
	std::string dir, top;
	for (const Group &s : system)
		if (s.hierarchy == g.hierarchy &&
		    group_dir(mounts, g, s.path, dir, top)) {
			if (!roots_alone_up(dir, top)) {
				errno = EACCES;
				return false;
			}
			int fd = open((dir + "/cgroup.procs").c_str(),
			              O_WRONLY | O_CLOEXEC);
			std::string pid = std::to_string(getpid());
			bool moved =
			    fd >= 0 && write(fd, pid.data(), pid.size()) ==
			                   static_cast<ssize_t>(pid.size());
			int err = errno;
			if (fd >= 0)
				close(fd);
			errno = err;
			return moved;
		}
	errno = ENOENT;
	return false;
}

}  // namespace

bool leave_caller_groups() {
	std::vector<Group> own, system;
	std::vector<Mount> mounts;
	if (!groups_of(kOwnGroups, own) || !groups_of(kSystemGroups, system) ||
	    !cgroup_mounts(mounts))
		return false;
	for (const Group &g : own) {
		std::string dir, top;
		// A group the front end cannot see (a chroot without
		// /sys/fs/cgroup) cannot be judged, unless it is the top of its
		// hierarchy, whose files only root may have given away.
		if (!group_dir(mounts, g, g.path, dir, top)) {
			if (g.path == "/")
				continue;
			errno = ENOENT;
			return false;
		}
		if (!roots_alone_up(dir, top) &&
		    !join_system_group(mounts, g, system))
			return false;
	}
	return true;
}

}  // namespace front
