// The front end's pure decisions, one table row each.
#include <gtest/gtest.h>

#include <string>

#include "qeldump/entry.h"

namespace {

using namespace front;

using namespace std::string_literals;

// Names and values dash would drop or hide by itself are decided here all
// the same: the allowlist must never rely on the shell.
TEST(Environment, Allowlist) {
	const std::string v255(255, 'a'), v256(256, 'a');
	struct Case {
		std::string name, value;
		bool kept;
	} cases[] = {
	    {"TERM", "xterm-256color", true},
	    {"TERM", "xt\nerm", false},
	    {"TERM", "`reboot`", false},
	    {"TERM", v255, true},
	    {"TERM", v256, false},
	    {"LANG", "C.UTF-8", true},
	    {"LANG", "C.UTF-8\r", false},
	    {"LANG", "C;reboot", false},
	    {"LC_ALL", "\xe9", false},
	    {"LC_TIME", "en_US.UTF-8", true},
	    {"LC_MESSAGES", "C", true},
	    {"LC_\x01", "C", false},
	    {"LC_A-B", "C", false},
	    {"LC_", "C", true},
	    {"LANGUAGE", "en_US:en", true},
	    {"LANGUAGE", "en US", false},
	    {"COLUMNS", "80", true},
	    {"COLUMNS", "99999", true},
	    {"COLUMNS", "123456", false},
	    {"COLUMNS", "", false},
	    {"LINES", "a[$(reboot)]", false},
	    {"LINES", "1", true},
	    {"TZ", "Europe/Paris", true},
	    {"TZ", "XYZ-14", true},
	    {"TZ", "America/New_York", true},
	    {"TZ", "/etc/x", false},
	    {"TZ", ":/etc/x", false},
	    {"TZ", "../x", false},
	    {"TZ", "a/../b", false},
	    {"TZ", "$(reboot)", false},
	    {"TZ", "Europe/Paris\x7f", false},
	    {"PATH", "/usr/bin", false},
	    {"LD_PRELOAD", "x.so", false},
	    {"ENV", "x", false},
	    {"lang", "C", false},
	};
	for (const Case &c : cases)
		EXPECT_EQ(env_kept(c.name, c.value), c.kept)
		    << c.name << "=" << c.value;
}

TEST(Frontend, SystemLimits) {
	struct Case {
		const char *line;
		bool parsed;
		int resource;
		rlim_t soft, hard;
	} cases[] = {
	    {"Max open files            65536                65536             "
	     "   "
	     "files     \n",
	     true, RLIMIT_NOFILE, 65536, 65536},
	    {"Max cpu time              unlimited            unlimited         "
	     "   "
	     "seconds   \n",
	     true, RLIMIT_CPU, RLIM_INFINITY, RLIM_INFINITY},
	    {"Max stack size            8388608              unlimited         "
	     "   "
	     "bytes     \n",
	     true, RLIMIT_STACK, 8388608, RLIM_INFINITY},
	    {"Max nice priority         0                    0                 "
	     "   "
	     "\n",
	     true, RLIMIT_NICE, 0, 0},
	    {"Limit                     Soft Limit           Hard Limit        "
	     "   "
	     "Units     \n",
	     false, 0, 0, 0},
	    {"Max open files            lots                 65536\n", false, 0,
	     0, 0},
	    {"Max open filesystems      1                    1 \n", false, 0, 0,
	     0},
	    {"Max open files            1\n", false, 0, 0, 0},
	};
	for (const Case &c : cases) {
		int resource = -1;
		rlimit lim = {};
		EXPECT_EQ(parse_system_limit(c.line, resource, lim), c.parsed)
		    << c.line;
		if (!c.parsed)
			continue;
		EXPECT_EQ(resource, c.resource) << c.line;
		EXPECT_EQ(lim.rlim_cur, c.soft) << c.line;
		EXPECT_EQ(lim.rlim_max, c.hard) << c.line;
	}
}

}  // namespace
