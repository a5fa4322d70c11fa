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

constexpr int kMaxLinks = 40;        // as the kernel follows in one lookup
constexpr size_t kScriptHead = 256;  // what the kernel reads of a "#!" line
constexpr std::string_view kBlanks = " \t";  // the kernel's, in a "#!" line
constexpr std::string_view kEnvBlanks = " \t\n\v\f\r";  // env -S's

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

// Walks path from "/" down; at ends where the walk stopped. at never holds
// a link (each is replaced by where it leads), so "." and ".." are taken
// by their text, as the kernel takes them, and at never outgrows the path.
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
		std::string_view part = i > 0 ? parts[i - 1] : ".";
		if (part == "..")
			at.erase(std::max<size_t>(at.rfind('/'), 1));
		else if (part != ".")
			at.append(at.size() > 1 ? "/" : "").append(part);
		if (component(at, end, i == parts.size(), w) == kPathUnsafe ||
		    w.missing)
			break;
	}
	return w.verdict;
}

// One lookup, with the kernel's budget of links for it alone.
int lookup(std::string_view path, End end, Walk &w, std::string &at) {
	w.links = 0;
	return walk(path, end, w, at);
}

uid_t owner_of(const std::string &path) {
	struct stat st;
	return lstat(path.c_str(), &st) == 0 ? st.st_uid : 0;
}

int unexamined(Walk &w, const std::string &at) {
	return unsafe(w, at, owner_of(at), kPathUnexamined);
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
	size_t start = std::min(line.find_first_not_of(kBlanks), line.size());
	size_t stop = std::min(line.find_first_of(kBlanks, start), line.size());
	size_t arg =
	    std::min(line.find_first_not_of(kBlanks, stop), line.size());
	interpreter = line.substr(start, stop - start);
	argument = line.substr(arg, line.find_last_not_of(kBlanks) + 1 - arg);
	return interpreter.empty() ? 0 : 1;
}

bool named_env(std::string_view path) {
	return path.substr(path.rfind('/') + 1) == "env";
}

// The words env takes from the one argument a "#!" line hands it: split
// at blanks only after -S (--split-string). An option, an assignment
// (PATH=... would move the search) or what -S would interpret (quotes,
// escapes, variables, comments) is refused: false.
bool env_words(std::string_view argument, std::vector<std::string> &words) {
	std::string_view rest;
	bool split = true;
	if (argument.starts_with("-S")) {
		rest = argument.substr(2);
	} else if (argument.starts_with("--split-string=")) {
		rest = argument.substr(argument.find('=') + 1);
	} else {
		words = {std::string(argument)};
		split = false;
	}
	if (split && rest.find_first_of("'\"\\$#") != rest.npos)
		return false;
	for (size_t pos = 0; split && pos < rest.size();) {
		size_t start = std::min(rest.find_first_not_of(kEnvBlanks, pos),
		                        rest.size());
		pos = std::min(rest.find_first_of(kEnvBlanks, start),
		               rest.size());
		if (pos > start)
			words.emplace_back(rest.substr(start, pos - start));
	}
	return !words.empty() && !words[0].starts_with('-') &&
	       words[0].find('=') == std::string::npos;
}

// What execvp finds for a name without "/": the first executable file of
// that name on the fixed search path, every directory before it checked
// too (one could gain the name later). False when the walk found a fault
// or nothing (w.missing): nothing of the caller's runs then.
bool search_path(const std::string &name, Walk &w, std::string &at) {
	for (std::string_view dir : spauth::split(kSafePath, ':')) {
		std::string candidate = std::string(dir) + "/" + name;
		if (lookup(candidate, End::kProgram, w, at) == kPathUnsafe)
			return false;
		if (!w.missing && access(at.c_str(), X_OK) == 0)
			return true;
		w.missing = false;
	}
	w.missing = true;
	return false;
}

int check_script(const std::string &file, Walk &w, bool env_allowed);

// A word a "#!" line hands its program: an option that names no path, or
// an absolute file, examined as a program (and, for one_level, by its own
// "#!" line); anything else would be found from the caller's directory.
// False when that ends the walk.
bool check_operand(const std::string &file, std::string_view word, Walk &w,
                   bool one_level) {
	std::string at;
	if (word.starts_with('-') && word.find('/') == word.npos)
		return true;
	if (!word.starts_with('/'))
		return unexamined(w, file) != kPathUnsafe;
	if (lookup(word, End::kProgram, w, at) == kPathUnsafe)
		return false;
	if (std::exchange(w.missing, false))
		return true;
	return !one_level || check_script(at, w, false) != kPathUnsafe;
}

// What env runs for a "#!" line of file: the program (absolute, or found
// on the fixed search path as env finds it), each file its words hand it,
// and that program's own "#!" line, one level.
int check_env(const std::string &file, std::string_view argument, Walk &w) {
	std::vector<std::string> words;
	if (argument.empty())
		return w.verdict;  // env alone prints the environment
	if (!env_words(argument, words))
		return unexamined(w, file);
	const std::string &program = words[0];
	std::string at;
	if (program.find('/') == std::string::npos) {
		if (!search_path(program, w, at))
			return w.verdict;
	} else if (!program.starts_with('/')) {
		// Found from the caller's directory.
		return unexamined(w, file);
	} else if (lookup(program, End::kProgram, w, at) == kPathUnsafe ||
	           w.missing) {
		return w.verdict;
	}
	for (size_t i = 1; i < words.size(); ++i)
		if (!check_operand(file, words[i], w, false))
			return w.verdict;
	return check_script(at, w, false);
}

// A script's interpreter runs as root too: its path is examined as the
// tool's was; a relative one would be found from the caller's directory,
// and one that is itself a script is refused. env is followed to what it
// runs, once (env_allowed); any other interpreter's argument is examined
// as an operand (#!/bin/sh /path/prog, #!/usr/bin/nohup /path/script).
int check_script(const std::string &file, Walk &w, bool env_allowed) {
	std::string interpreter, argument, at, its, its_argument;
	int script = script_interpreter(file, interpreter, argument);
	if (script <= 0)
		return script == 0 ? w.verdict : unexamined(w, file);
	if (!interpreter.starts_with('/'))
		return unexamined(w, file);
	if (lookup(interpreter, End::kProgram, w, at) == kPathUnsafe ||
	    w.missing)
		return w.verdict;
	if (int nested = script_interpreter(at, its, its_argument); nested != 0)
		return unsafe(w, interpreter, owner_of(at),
		              nested < 0 ? kPathUnexamined : kPathNestedScript);
	if (named_env(interpreter) || named_env(at))
		return env_allowed ? check_env(file, argument, w)
		                   : unexamined(w, file);
	if (!argument.empty())
		check_operand(file, argument, w, env_allowed);
	return w.verdict;
}

// Walks path, which must name its place from "/"; end: what its last
// component must be.
int walk_absolute(const char *path, End end, Walk &w) {
	std::string at;
	if (path[0] != '/')
		return unsafe(w, path, 0, kPathUnexamined);
	return lookup(path, end, w, at);
}

}  // namespace

int check_tool_path(const char *tool, uid_t also_owner, ToolPathFinding &f,
                    std::string_view trusted) {
	f = {};
	Walk w = {also_owner, trusted, f};
	if (walk_absolute(tool, End::kTool, w) == kPathUnsafe || w.missing)
		return w.verdict;
	return check_script(tool, w, true);
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
