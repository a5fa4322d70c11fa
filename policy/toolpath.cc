// Whoever can change a root tool's path decides what root runs: the tool,
// every directory above it, every link on the way and where it leads, and
// a script's interpreter must be root's alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "policy.h"

namespace policy {
namespace {

constexpr int kMaxLinks = 40;        // as many as the kernel follows
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
// where the link leads.
int follow(std::string &at, uid_t owner, End end, Walk &w) {
	char target[PATH_MAX];
	ssize_t n = readlink(at.c_str(), target, sizeof target);
	if (n <= 0 || static_cast<size_t>(n) >= sizeof target ||
	    ++w.links > kMaxLinks)
		return unsafe(w, at, owner, kPathUnexamined);
	std::string to(target, static_cast<size_t>(n));
	if (!to.starts_with('/'))
		to.insert(0, at.substr(0, at.rfind('/') + 1));
	w.link = at;
	return walk(to, end, w, at);
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

// The program a script's "#!" line names, as the kernel reads it: 1, with
// interpreter; 0 when the file is no script; -1 when it cannot be read or
// the line is cut where the kernel would cut it.
int script_interpreter(const std::string &path, std::string &interpreter) {
	int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
	struct stat st;
	char head[kScriptHead];
	ssize_t n = -1;
	if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
		n = read(fd, head, sizeof head);
	if (fd >= 0)
		close(fd);
	std::string_view line(head, n > 0 ? static_cast<size_t>(n) : 0);
	if (n < 0 || !line.starts_with("#!"))
		return n < 0 ? -1 : 0;
	size_t start = line.find_first_not_of(" \t", 2);
	size_t stop = line.find_first_of(std::string_view(" \t\n\0", 4),
	                                 start == line.npos ? 2 : start);
	if (stop == line.npos && line.size() == sizeof head)
		return -1;
	interpreter = start == line.npos || start >= stop
	                  ? std::string()
	                  : std::string(line.substr(start, stop - start));
	return interpreter.empty() ? 0 : 1;
}

// A script's interpreter runs as root too: its path is examined as the
// tool's was, one level; a relative one would be found from the caller's
// directory, and one that is itself a script is refused.
int check_interpreter(const std::string &tool, Walk &w) {
	std::string interpreter, at, nested;
	int script = script_interpreter(tool, interpreter);
	if (script <= 0)
		return script == 0 ? w.verdict
		                   : unsafe(w, tool, 0, kPathUnexamined);
	if (!interpreter.starts_with('/'))
		return unsafe(w, tool, 0, kPathUnexamined);
	w.link.clear();
	if (walk(interpreter, End::kProgram, w, at) == kPathUnsafe || w.missing)
		return w.verdict;
	if (script_interpreter(at, nested) != 0)
		return unsafe(w, interpreter, 0, kPathNestedScript);
	return w.verdict;
}

}  // namespace

int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f,
                    std::string_view trusted) {
	f = {};
	Walk w = {also_owner, trusted, f};
	std::string path = tool, at;
	if (!path.starts_with("/"))
		return unsafe(w, path, 0, kPathUnexamined);
	if (walk(path, End::kTool, w, at) == kPathUnsafe || w.missing)
		return w.verdict;
	return check_interpreter(path, w);
}

int check_file_path(const char *file, ToolPathFinding &f) {
	f = {};
	Walk w = {static_cast<uid_t>(-1), {}, f};
	std::string at;
	return walk(file, End::kTool, w, at);
}

int check_dir_path(const char *dir, ToolPathFinding &f, bool &missing) {
	f = {};
	Walk w = {static_cast<uid_t>(-1), {}, f};
	std::string at;
	walk(dir, End::kDirectory, w, at);
	missing = w.missing;
	return w.verdict;
}

}  // namespace policy
