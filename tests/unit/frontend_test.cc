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
	    {"LC_\x01", "C", false},
	    {"LC_A-B", "C", false},
	    {"LC_", "C", true},
	    {"LANGUAGE", "en_US:en", true},
	    {"LANGUAGE", "en US", false},
	    {"COLUMNS", "99999", true},
	    {"COLUMNS", "123456", false},
	    {"COLUMNS", "", false},
	    {"LINES", "a[$(reboot)]", false},
	    {"LINES", "1", true},
	    {"TZ", "Europe/Paris", true},
	    {"TZ", "XYZ-14", true},
	    {"TZ", "/etc/x", false},
	    {"TZ", ":/etc/x", false},
	    {"TZ", "../x", false},
	    {"TZ", "a/../b", false},
	    {"TZ", "$(reboot)", false},
	    {"TZ", "Europe/Paris\x7f", false},
	    {"PATH", "/usr/bin", false},
	    {"LD_PRELOAD", "x.so", false},
	    {"lang", "C", false},
	};
	for (const Case &c : cases)
		EXPECT_EQ(env_kept(c.name, c.value), c.kept)
		    << c.name << "=" << c.value;
}

}  // namespace
