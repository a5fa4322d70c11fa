// The process state a root shell inherits: built from an allowlist, never
// taken over from the caller.
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qeldump.h"

extern char **environ;

namespace {

constexpr const char *kSafePath =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr size_t kEnvValueMax = 255;  // longer values are dropped

bool kept(std::string_view name, std::string_view value) {
	if (value.size() > kEnvValueMax)
		return false;
	if (name == "TZ")
		return value.find("..") == value.npos &&
		       !value.starts_with("/") && !value.starts_with(":/");
	bool listed = name == "TERM" || name == "LANG" || name == "LANGUAGE" ||
	              name == "COLUMNS" || name == "LINES" ||
	              name.starts_with("LC_");
	return listed && value.find_first_of("/%") == value.npos;
}

}  // namespace

bool sanitize_process() {
	// Copy out what is kept before clearing: the first of duplicate names,
	// as getenv would see it.
	std::vector<std::pair<std::string, std::string>> kept_vars;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
		std::string_view entry = *e;
		size_t eq = entry.find('=');
		if (eq == entry.npos || eq == 0)
			continue;
		std::string name(entry.substr(0, eq));
		bool seen = false;
		for (const auto &kv : kept_vars)
			seen = seen || kv.first == name;
		if (!seen && kept(name, entry.substr(eq + 1)))
			kept_vars.emplace_back(name, entry.substr(eq + 1));
	}
	bool ok = clearenv() == 0;
	for (const auto &[name, value] : kept_vars)
		ok = ok && setenv(name.c_str(), value.c_str(), 1) == 0;
	ok = ok && setenv("PATH", kSafePath, 1) == 0 &&
	     setenv("HOME", "/root", 1) == 0 &&
	     setenv("SHELL", "/bin/sh", 1) == 0;

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
