// Whoever can change a root tool's path decides what root runs: the tool,
// every directory above it, every link on the way and where it leads, and
// a script's interpreter must be root's alone.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

#include "policy.h"

namespace policy {
namespace {

constexpr int kMaxLinks =
    40;  // as the kernel follows, for a tool and its interpreter
constexpr size_t kScriptHead = 256;  // what the kernel reads of a "#!" line

// What the last component of a walk must be: a tool (a regular file,
// never a link), a program a "#!" line names (links followed) or a
// directory.
enum class End { kTool, kProgram, kDirectory };

// What a walk allows besides root, the directory it takes as examined
// with everything above it (a test's scratch root; empty: none), and what
// it has found so far.
struct Walk {
	uid_t also_owner;
	std::string_view trusted;
	ToolPathFinding &f;
	int verdict = kPathSafe;
	int links = 0;
	bool missing = false;   // a missing entry ended the walk
	std::string link = {};  // the last link followed, if any
};

int unsafe(Walk &w, const std::string &at, uid_t owner, const char *why) {
	w.f = {at, owner, why, w.link};
	return w.verdict = kPathUnsafe;
}

bool writable_by_others(mode_t mode) {
	// Sticky or not: in a directory others may write, anyone can create
	// the missing tool, or a missing directory on the way to it.
	return (mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool taken_as_examined(const Walk &w, const std::string &at) {
	return w.trusted.starts_with(at) &&
	       (at == "/" || w.trusted.size() == at.size() ||
	        w.trusted[at.size()] == '/');
}

int walk(std::string_view path, End end, Walk &w, std::string &at);

// A link on the way is walked where it leads, from the directory that
// holds it, as far as that exists: a directory that does not exist yet is
// only safe to wait for in a directory nobody else may write. at becomes
// where the link leads; w.link names the link only while a fault found
// through it stands, so a walk that ends sound leaves no link behind.
int follow(std::string &at, uid_t owner, End end, Walk &w) {
	char target[PATH_MAX];
	ssize_t n = readlink(at.c_str(), target, sizeof target);
	if (n <= 0 || static_cast<size_t>(n) >= sizeof target ||
	    ++w.links > kMaxLinks)
		return unsafe(w, at, owner, kPathUnexamined);
	std::string to(target, static_cast<size_t>(n));
	if (!to.starts_with('/'))
		to.insert(0, at.substr(0, at.rfind('/') + 1));
	std::string outer = std::exchange(w.link, at);
	// What lies below where the link leads is not the link's to answer for.
	if (walk(to, end, w, at) != kPathUnsafe)
		w.link = outer;
	return w.verdict;
}

// One component, at; last: the end of the path. Returns the verdict so
// far; kPathUnsafe, or a missing entry (w.missing), ends the walk.
int component(std::string &at, End end, bool last, Walk &w) {
	struct stat st;
	if (lstat(at.c_str(), &st) != 0) {
		// A missing entry in a safe directory: nothing to run, the
		// shell says so.
		w.missing = errno == ENOENT;
		return w.missing ? w.verdict
		                 : unsafe(w, at, 0, kPathUnexamined);
	}
	if (S_ISLNK(st.st_mode) && !(last && end == End::kTool))
		return follow(at, st.st_uid, last ? end : End::kDirectory, w);
	if (taken_as_examined(w, at))
		return w.verdict;
	if (last && end != End::kDirectory && !S_ISREG(st.st_mode))
		return unsafe(w, at, st.st_uid, kPathNotRegular);
	if (last && end == End::kDirectory && !S_ISDIR(st.st_mode))
		return unsafe(w, at, st.st_uid, kPathNotDirectory);
	if (writable_by_others(st.st_mode))
		return unsafe(w, at, st.st_uid, kPathWritable);
	if (st.st_uid != 0 && st.st_uid != w.also_owner &&
	    w.verdict == kPathSafe) {
		w.f = {at, st.st_uid, kPathNotRootOwned, w.link};
		w.verdict = kPathForeignOwner;
	}
	return w.verdict;
}

// Walks path from "/" down; at ends where the walk stopped.
int walk(std::string_view path, End end, Walk &w, std::string &at) {
	std::vector<std::string_view> parts;
	for (size_t pos = 0; pos < path.size();) {
		size_t stop = std::min(path.find('/', pos), path.size());
		if (stop > pos)
			parts.push_back(path.substr(pos, stop - pos));
		pos = stop + 1;
	}
	at = "/";
	for (size_t i = 0; i <= parts.size(); ++i) {
		if (i > 0)
			at.append(at.size() > 1 ? "/" : "")
			    .append(parts[i - 1]);
		if (component(at, end, i == parts.size(), w) == kPathUnsafe ||
		    w.missing)
			break;
	}
	return w.verdict;
}

// The program a script's "#!" line names, as the kernel reads it, and the
// one argument the line hands it (the rest of the line, outer blanks
// stripped): 1; 0 when the file is no script; -1 when it cannot be read or
// the line is cut where the kernel would cut it.
int script_interpreter(const std::string &path, std::string &interpreter,
                       std::string &argument) {
	int fd = spauth::open_regular(path.c_str());
	char head[kScriptHead];
	ssize_t n = -1;
	if (fd >= 0) {
		n = read(fd, head, sizeof head);
		close(fd);
	}
	std::string_view line(head, n > 0 ? static_cast<size_t>(n) : 0);
	if (n < 0 || !line.starts_with("#!"))
		return n < 0 ? -1 : 0;
	line =
	    line.substr(2, line.find_first_of(std::string_view("\n\0", 2)) - 2);
	if (line.size() + 2 == sizeof head)
		return -1;
	constexpr std::string_view kBlanks = " \t";
	size_t start = std::min(line.find_first_not_of(kBlanks), line.size());
	size_t stop = std::min(line.find_first_of(kBlanks, start), line.size());
	size_t arg =
	    std::min(line.find_first_not_of(kBlanks, stop), line.size());
	interpreter = line.substr(start, stop - start);
	argument = line.substr(arg, line.find_last_not_of(kBlanks) + 1 - arg);
	return interpreter.empty() ? 0 : 1;
}

// A script's interpreter runs as root too: its path is examined as the
// tool's was, one level; a relative one would be found from the caller's
// directory, and one that is itself a script is refused. A file the line
// hands it (#!/usr/bin/env /path/prog) is examined as a program.
int check_interpreter(const std::string &tool, Walk &w) {
	std::string interpreter, argument, at, its, its_argument;
	int script = script_interpreter(tool, interpreter, argument);
	if (script <= 0)
		return script == 0 ? w.verdict
		                   : unsafe(w, tool, 0, kPathUnexamined);
	if (!interpreter.starts_with('/'))
		return unsafe(w, tool, 0, kPathUnexamined);
	if (walk(interpreter, End::kProgram, w, at) == kPathUnsafe || w.missing)
		return w.verdict;
	if (int nested = script_interpreter(at, its, its_argument); nested != 0)
		return unsafe(w, interpreter, 0,
		              nested < 0 ? kPathUnexamined : kPathNestedScript);
	if (argument.starts_with('/'))
		walk(argument, End::kProgram, w, at);
	return w.verdict;
}

// Walks path, which must name its place from "/"; end: what its last
// component must be.
int walk_absolute(const char *path, End end, Walk &w) {
	std::string at;
	if (path[0] != '/')
		return unsafe(w, path, 0, kPathUnexamined);
	return walk(path, end, w, at);
}

}  // namespace

int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f,
                    std::string_view trusted) {
	f = {};
	Walk w = {also_owner, trusted, f};
	if (walk_absolute(tool, End::kTool, w) == kPathUnsafe || w.missing)
		return w.verdict;
	return check_interpreter(tool, w);
}

int check_file_path(const char *file, ToolPathFinding &f) {
	f = {};
	Walk w = {static_cast<uid_t>(-1), {}, f};
	return walk_absolute(file, End::kTool, w);
}

int check_dir_path(const char *dir, ToolPathFinding &f, bool &missing) {
	f = {};
	Walk w = {static_cast<uid_t>(-1), {}, f};
	walk_absolute(dir, End::kDirectory, w);
	missing = w.missing;
	return w.verdict;
}

}  // namespace policy
