// The environment root's tools get: built from an allowlist, never taken
// over from the caller.
#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "entry.h"
#include "handler.h"

extern char **environ;

namespace front {
namespace {

// A time zone names a zone, never a file to load: no "..", and no
// leading "/" or ":/".
bool not_a_path(std::string_view v) {
	return v.find("..") == v.npos && !v.starts_with("/") &&
	       !v.starts_with(":/");
}

// The caller's variables that are kept, each only with a value of the
// shape the variable has (a time zone, a terminal type, a locale name or
// list, a size): its length within min and max, and its characters digits,
// letters where allowed, and the punctuation listed. So every value kept
// is printable text no root script can evaluate. qeldump(8), ENVIRONMENT,
// lists the same table.
struct Kept {
	std::string_view name;  // ending in "_": a prefix, the rest of the
	                        // name letters, digits and "_"
	bool letters;
	std::string_view punctuation;
	size_t min, max;
	bool (*also)(std::string_view value);  // one more rule, or null
};
constexpr size_t kValueMax = 255;
constexpr Kept kKept[] = {
    {"TZ", true, "_+,-./:<>", 0, kValueMax, not_a_path},
    {"TERM", true, "_+-.", 0, kValueMax, nullptr},
    {"LANG", true, "_.@-", 0, kValueMax, nullptr},
    {"LC_", true, "_.@-", 0, kValueMax, nullptr},
    {"LANGUAGE", true, "_.@-:", 0, kValueMax, nullptr},
    {"COLUMNS", false, "", 1, 5, nullptr},
    {"LINES", false, "", 1, 5, nullptr},
};

bool made_of(std::string_view s, bool letters, std::string_view punctuation) {
	return std::all_of(s.begin(), s.end(), [&](char c) {
		return (c >= '0' && c <= '9') ||
		       (letters &&
		        ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) ||
		       punctuation.find(c) != punctuation.npos;
	});
}

// The front end's own environment, and the tools': the same with the
// caller's TZ, which never dates our own records. setenv would rescan the
// environment for every variable.
std::vector<std::string> store;
std::string caller_tz;
std::vector<char *> own, tools;

void install() {
	own.resize(store.size());
	std::transform(store.begin(), store.end(), own.begin(),
	               [](std::string &entry) { return entry.data(); });
	tools = own;
	if (!caller_tz.empty())
		tools.push_back(caller_tz.data());
	own.push_back(nullptr);
	tools.push_back(nullptr);
	environ = own.data();
}

}  // namespace

bool env_kept(std::string_view name, std::string_view value) {
	for (const Kept &k : kKept) {
		bool match =
		    k.name.ends_with('_')
		        ? name.starts_with(k.name) && made_of(name, true, "_")
		        : name == k.name;
		if (match)
			return value.size() >= k.min && value.size() <= k.max &&
			       made_of(value, k.letters, k.punctuation) &&
			       (k.also == nullptr || k.also(value));
	}
	return false;
}

// The first of duplicate names counts, as getenv would see it.
void build_environment() {
	std::unordered_set<std::string_view> seen;
	for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
		std::string_view entry = *e;
		size_t eq = entry.find('=');
		if (eq == entry.npos || eq == 0 ||
		    !seen.insert(entry.substr(0, eq)).second ||
		    !env_kept(entry.substr(0, eq), entry.substr(eq + 1)))
			continue;
		if (entry.starts_with("TZ="))
			caller_tz = entry;
		else
			store.emplace_back(entry);
	}
	store.emplace_back(std::string("PATH=") + policy::kSafePath);
	store.emplace_back("HOME=/root");
	store.emplace_back("SHELL=/bin/sh");
	install();
}

void set_caller_env(const char *username) {
	store.emplace_back(std::string("USER=") + username);
	store.emplace_back(std::string("LOGNAME=") + username);
	install();
}

char *const *tool_environment() {
	return tools.data();
}

}  // namespace front
