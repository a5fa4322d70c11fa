// Whoever can change a root tool's path decides what root runs: the tool
// and every directory above it must be root's alone.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "qeldump.h"

namespace {

int unsafe(ToolPathFinding &f, const std::string &at, uid_t owner,
           const char *why) {
	f = {at, owner, why};
	return kPathUnsafe;
}

// Sticky or not: in a directory others may write, anyone can create the
// missing tool, or a missing directory on the way to it.
bool writable_by_others(const struct stat &st) {
	return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Walks path from "/" down. verdict is what was found so far (safe, or
// a foreign owner already recorded in f).
int walk(const std::string &path, bool to_tool, uid_t also_owner, int verdict,
         ToolPathFinding &f) {
	std::vector<std::string> parts;
	for (size_t pos = 0; pos < path.size();) {
		size_t end = path.find('/', pos);
		if (end == path.npos)
			end = path.size();
		if (end > pos)
			parts.emplace_back(path.substr(pos, end - pos));
		pos = end + 1;
	}
	std::string at = "/";
	for (size_t i = 0; i <= parts.size(); ++i) {
		if (i > 0)
			at.append(at.size() > 1 ? "/" : "")
			    .append(parts[i - 1]);
		bool tool = to_tool && i == parts.size();
		struct stat st;
		if (lstat(at.c_str(), &st) != 0) {
			// A missing entry in a safe directory: nothing to run,
			// the shell says so.
			if (errno == ENOENT)
				return verdict;
			return unsafe(f, at, 0, kPathUnexamined);
		}
		if (S_ISLNK(st.st_mode) && !tool) {
			char real[PATH_MAX];
			if (realpath(at.c_str(), real) == nullptr)
				return errno == ENOENT
				           ? verdict
				           : unsafe(f, at, st.st_uid,
				                    kPathUnexamined);
			verdict = walk(real, false, also_owner, verdict, f);
			if (verdict == kPathUnsafe)
				return verdict;
			at = real;
			continue;
		}
		if (tool && !S_ISREG(st.st_mode))
			return unsafe(f, at, st.st_uid, kPathNotRegular);
		if (writable_by_others(st))
			return unsafe(f, at, st.st_uid, kPathWritable);
		if (st.st_uid != 0 && st.st_uid != also_owner &&
		    verdict == kPathSafe) {
			f = {at, st.st_uid, kPathNotRoots};
			verdict = kPathForeignOwner;
		}
	}
	return verdict;
}

}  // namespace

int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f) {
	f = {};
	std::string path = tool;
	if (!path.starts_with("/"))
		return unsafe(f, path, 0, kPathUnexamined);
	return walk(path, true, also_owner, kPathSafe, f);
}
