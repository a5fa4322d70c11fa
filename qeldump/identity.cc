// Root's identity, whole: setuid(0) changes the user only, and the
// caller's groups and resource limits would otherwise reach root's tools.
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "qeldump.h"

namespace {

constexpr const char *kSystemLimits = "/proc/1/limits";

// The names process 1's limits file gives each resource.
struct LimitName {
	const char *name;
	int resource;
};
constexpr LimitName kLimitNames[] = {
    {"Max cpu time", RLIMIT_CPU},
    {"Max file size", RLIMIT_FSIZE},
    {"Max data size", RLIMIT_DATA},
    {"Max stack size", RLIMIT_STACK},
    {"Max core file size", RLIMIT_CORE},
    {"Max resident set", RLIMIT_RSS},
    {"Max processes", RLIMIT_NPROC},
    {"Max open files", RLIMIT_NOFILE},
    {"Max locked memory", RLIMIT_MEMLOCK},
    {"Max address space", RLIMIT_AS},
    {"Max file locks", RLIMIT_LOCKS},
    {"Max pending signals", RLIMIT_SIGPENDING},
    {"Max msgqueue size", RLIMIT_MSGQUEUE},
    {"Max nice priority", RLIMIT_NICE},
    {"Max realtime priority", RLIMIT_RTPRIO},
    {"Max realtime timeout", RLIMIT_RTTIME},
};

// The limits that cut a running tool off mid-write: they must reach the
// system's values, or no tool runs.
bool cuts_off(int r) {
	return r == RLIMIT_FSIZE || r == RLIMIT_CPU || r == RLIMIT_AS ||
	       r == RLIMIT_DATA;
}

// Sets want; where the hard limit may not be raised (root without
// CAP_SYS_RESOURCE), the soft limit goes as far as the hard one allows.
bool set_limit(int r, rlimit want) {
	auto res = static_cast<__rlimit_resource>(r);
	if (setrlimit(res, &want) == 0)
		return true;
	rlimit now;
	if (errno != EPERM || getrlimit(res, &now) != 0)
		return false;
	rlimit best = {std::min(want.rlim_cur, now.rlim_max),
	               std::min(want.rlim_max, now.rlim_max)};
	if (setrlimit(res, &best) != 0)
		return false;
	errno = EPERM;
	return best.rlim_cur >= want.rlim_cur || !cuts_off(r);
}

bool parse_limit(const char *text, rlim_t &out, const char **end) {
	while (*text == ' ')
		++text;
	if (std::strncmp(text, "unlimited", 9) == 0) {
		out = RLIM_INFINITY;
		*end = text + 9;
		return true;
	}
	if (*text < '0' || *text > '9')
		return false;
	char *e;
	out = std::strtoull(text, &e, 10);
	*end = e;
	return *e == ' ';
}

// One line of the limits file: its resource, soft and hard; false for the
// header and anything not understood.
bool parse_line(const char *line, int &resource, rlimit &lim) {
	for (const LimitName &n : kLimitNames) {
		size_t len = std::strlen(n.name);
		if (std::strncmp(line, n.name, len) != 0 || line[len] != ' ')
			continue;
		const char *p = line + len;
		resource = n.resource;
		return parse_limit(p, lim.rlim_cur, &p) &&
		       parse_limit(p, lim.rlim_max, &p);
	}
	return false;
}

}  // namespace

bool take_root_groups() {
	return setgid(0) == 0 && setgroups(0, nullptr) == 0;
}

bool take_system_limits() {
	rlimit lim[RLIM_NLIMITS];
	bool set[RLIM_NLIMITS] = {};
	// Without process 1's file, at least nothing a caller chose may cut a
	// root tool off.
	for (int r : {RLIMIT_FSIZE, RLIMIT_CPU, RLIMIT_AS, RLIMIT_DATA}) {
		lim[r] = {RLIM_INFINITY, RLIM_INFINITY};
		set[r] = true;
	}
	if (FILE *f = fopen(kSystemLimits, "re")) {
		char text[256];
		int r;
		rlimit l;
		while (fgets(text, sizeof text, f) != nullptr)
			if (parse_line(text, r, l) && r >= 0 &&
			    r < RLIM_NLIMITS) {
				lim[r] = l;
				set[r] = true;
			}
		fclose(f);
	}
	// A crashing root tool must not leave a core in the caller's directory.
	lim[RLIMIT_CORE] = {0, 0};
	set[RLIMIT_CORE] = true;
	for (int r = 0; r < RLIM_NLIMITS; ++r)
		if (set[r] && !set_limit(r, lim[r]))
			return false;
	return true;
}
