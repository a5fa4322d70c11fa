// Whoever can change a root tool's path decides what root runs: the tool
// and every directory above it must be root's alone.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "policy.h"

namespace policy {
namespace {

// What a walk allows besides root, the directory it takes as examined
// with everything above it (a test's scratch root; empty: none), and what
// it has found so far.
struct Walk {
	uid_t also_owner;
	std::string_view trusted;
	ToolPathFinding &f;
	int verdict = kPathSafe;
};

int unsafe(Walk &w, const std::string &at, uid_t owner, const char *why) {
	w.f = {at, owner, why};
	return w.verdict = kPathUnsafe;
}

// Sticky or not: in a directory others may write, anyone can create the
// missing tool, or a missing directory on the way to it.
bool writable_by_others(const struct stat &st) {
	return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool taken_as_examined(const Walk &w, const std::string &at) {
	return w.trusted.starts_with(at) &&
	       (at == "/" || w.trusted.size() == at.size() ||
	        w.trusted[at.size()] == '/');
}

int walk(const std::string &path, bool to_tool, Walk &w);

// One component, at: a link above the tool is walked where it leads (and
// at becomes that place). Returns the verdict so far; kPathUnsafe, or an
// end of the walk (a missing entry), stops it.
int component(std::string &at, bool tool, Walk &w, bool &end) {
	struct stat st;
	if (lstat(at.c_str(), &st) != 0) {
		// A missing entry in a safe directory: nothing to run, the
		// shell says so.
		end = errno == ENOENT;
		return end ? w.verdict : unsafe(w, at, 0, kPathUnexamined);
	}
	if (S_ISLNK(st.st_mode) && !tool) {
		char real[PATH_MAX];
		if (realpath(at.c_str(), real) == nullptr) {
			end = errno == ENOENT;
			return end ? w.verdict
			           : unsafe(w, at, st.st_uid, kPathUnexamined);
		}
		at = real;
		return walk(real, false, w);
	}
	if (taken_as_examined(w, at))
		return w.verdict;
	if (tool && !S_ISREG(st.st_mode))
		return unsafe(w, at, st.st_uid, kPathNotRegular);
	if (writable_by_others(st))
		return unsafe(w, at, st.st_uid, kPathWritable);
	if (st.st_uid != 0 && st.st_uid != w.also_owner &&
	    w.verdict == kPathSafe) {
		w.f = {at, st.st_uid, kPathNotRoots};
		w.verdict = kPathForeignOwner;
	}
	return w.verdict;
}

// Walks path from "/" down.
int walk(const std::string &path, bool to_tool, Walk &w) {
	std::vector<std::string> parts;
	for (size_t pos = 0; pos < path.size();) {
		size_t end = std::min(path.find('/', pos), path.size());
		if (end > pos)
			parts.emplace_back(path.substr(pos, end - pos));
		pos = end + 1;
	}
	std::string at = "/";
	for (size_t i = 0; i <= parts.size(); ++i) {
		if (i > 0)
			at.append(at.size() > 1 ? "/" : "")
			    .append(parts[i - 1]);
		bool end = false;
		if (component(at, to_tool && i == parts.size(), w, end) ==
		        kPathUnsafe ||
		    end)
			break;
	}
	return w.verdict;
}

}  // namespace

int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f,
                    std::string_view trusted) {
	f = {};
	Walk w = {also_owner, trusted, f};
	std::string path = tool;
	if (!path.starts_with("/"))
		return unsafe(w, path, 0, kPathUnexamined);
	return walk(path, true, w);
}

}  // namespace policy
