// The process state a root shell inherits: built from an allowlist, never
// taken over from the caller.
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "qeldump.h"

extern char **environ;

namespace {

constexpr size_t kEnvValueMax = 255;  // longer values are dropped
constexpr size_t kDimensionMax = 5;   // COLUMNS and LINES: digits

std::string caller_tz;
bool have_tz;
// The new environment; setenv would rescan it for every variable.
std::vector<std::string> env_store;
std::vector<char *> env_ptrs;

// Only letters, digits and the punctuation of extra.
bool made_of(std::string_view s, std::string_view extra) {
	for (char c : s)
		if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
		      (c >= '0' && c <= '9') || extra.find(c) != extra.npos))
			return false;
	return true;
}

}  // namespace

// Values a root script may expand, evaluate or write out: printable text
// of the shape the variable has (a time zone, a terminal type, a locale
// name or list, a size), never a path to load from.
bool env_kept(std::string_view name, std::string_view value) {
	if (value.size() > kEnvValueMax)
		return false;
	if (name == "TZ")
		return made_of(value, "_+,-./:<>") &&
		       value.find("..") == value.npos &&
		       !value.starts_with("/") && !value.starts_with(":/");
	if (name == "COLUMNS" || name == "LINES")
		return !value.empty() && value.size() <= kDimensionMax &&
		       value.find_first_not_of("0123456789") == value.npos;
	if (name == "TERM")
		return made_of(value, "_+-.");
	if (name == "LANG" || (name.starts_with("LC_") && made_of(name, "_")))
		return made_of(value, "_.@-");
	return name == "LANGUAGE" && made_of(value, "_.@-:");
}

namespace {

bool clear_timers() {
	itimerval off = {};
	bool ok = true;
	for (int which : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF})
		ok = setitimer(which, &off, nullptr) == 0 && ok;
	return ok;
}

}  // namespace

bool sanitize_process() {
	// First, before anything is opened: the caller's descriptors must not
	// reach root's tools, nor the caller's timers end us mid-run.
	bool ok = close_range(3, ~0U, 0) == 0 && clear_timers();

	// The first of duplicate names counts, as getenv would see it.
	std::unordered_set<std::string_view> seen;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
		std::string_view entry = *e;
		size_t eq = entry.find('=');
		if (eq == entry.npos || eq == 0 ||
		    !seen.insert(entry.substr(0, eq)).second ||
		    !env_kept(entry.substr(0, eq), entry.substr(eq + 1)))
			continue;
		if (entry.starts_with("TZ=")) {
			caller_tz = entry;
			have_tz = true;
		} else {
			env_store.emplace_back(entry);
		}
	}
	env_store.emplace_back(std::string("PATH=") + kSafePath);
	env_store.emplace_back("HOME=/root");
	env_store.emplace_back("SHELL=/bin/sh");
	env_ptrs.resize(env_store.size() + 1, nullptr);
	std::transform(env_store.begin(), env_store.end(), env_ptrs.begin(),
	               [](std::string &s) { return s.data(); });
	environ = env_ptrs.data();

	// An inherited ignored SIGCHLD or blocked signal must not reach the
	// wait or the tools. EINVAL: a signal that cannot be set (SIGKILL,
	// SIGSTOP, those the C library keeps), so none to reset.
	for (int sig = 1; sig < NSIG; ++sig)
		if (signal(sig, SIG_DFL) == SIG_ERR && errno != EINVAL)
			ok = false;
	sigset_t none;
	ok = ok && sigemptyset(&none) == 0 &&
	     sigprocmask(SIG_SETMASK, &none, nullptr) == 0;

	mode_t mask = umask(022);
	umask(mask | 022);
	return ok;
}

bool set_caller_env(const char *username) {
	return setenv("USER", username, 1) == 0 &&
	       setenv("LOGNAME", username, 1) == 0;
}

const char *tool_tz() {
	return have_tz ? caller_tz.c_str() : nullptr;
}
