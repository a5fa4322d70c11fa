// The process state a root shell inherits: built from an allowlist, never
// taken over from the caller.
#include <signal.h>
#include <sys/stat.h>

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

void sanitize_process() {
	std::vector<std::string> env;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
		std::string_view entry = *e;
		size_t eq = entry.find('=');
		if (eq == entry.npos || eq == 0)
			continue;
		std::string_view name = entry.substr(0, eq);
		bool seen =
		    false;  // the first of duplicates is what getenv sees
		for (const std::string &k : env)
			seen = seen || std::string_view(k).substr(0, eq + 1) ==
			                   entry.substr(0, eq + 1);
		if (!seen && kept(name, entry.substr(eq + 1)))
			env.emplace_back(entry);
	}
	clearenv();
	for (const std::string &e : env) {
		size_t eq = e.find('=');
		setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
	}
	setenv("PATH", kSafePath, 1);
	setenv("HOME", "/root", 1);
	setenv("SHELL", "/bin/sh", 1);

	// An inherited ignored SIGCHLD or blocked signal must not reach the
	// wait or the tools.
	for (int sig = 1; sig < NSIG; ++sig)
		signal(sig, SIG_DFL);
	sigset_t none;
	sigemptyset(&none);
	sigprocmask(SIG_SETMASK, &none, nullptr);

	mode_t mask = umask(022);
	umask(mask | 022);
}

void set_caller_env(const char *username) {
	setenv("USER", username, 1);
	setenv("LOGNAME", username, 1);
}
