// How spauth verify reports: each finding once, one line, its fix quoted
// for the shell.
#include "findings.h"

#include <cstring>
#include <set>
#include <string>

#include "admin.h"

namespace findings {
namespace {

constexpr const char *kPrefix = "spauth verify: ";

// What the tool-path check finds at a place, and how to mend it.
struct Mend {
	const char *what;
	const char *fix;
};
constexpr Mend kMends[] = {
    {policy::kPathWritable, "chmod go-w {w}"},
    {policy::kPathNotRootOwned, "chown root {w}"},
    {policy::kPathNotRegular, "replace {w} by the regular file it should be"},
    {policy::kPathNotDirectory, "replace {w} by a directory that root owns"},
    {policy::kPathNestedScript,
     "make {w} a program, or name one in the script's #! line"},
};
constexpr const char *kAnyMend = "make {w} root's alone";
// A place reached through a link is mended at the link: what it leads
// into (/tmp, say) may rightly be open to all.
constexpr const char *kThroughLink = "leads through {d}";
constexpr const char *kLinkMend =
    "make {w} a directory of root's, or a link into one";

int reported_count;
std::set<std::string> reported;

std::string fill(std::string_view text, std::string_view where,
                 std::string_view detail, bool quote) {
	std::string out;
	for (size_t i = 0; i < text.size(); ++i) {
		std::string_view key = text.substr(i, 3);
		if (key != "{w}" && key != "{d}") {
			out.push_back(text[i]);
			continue;
		}
		std::string_view value = key == "{w}" ? where : detail;
		if (quote)
			spauth::shell_quote(value, out);
		else
			out.append(value);
		i += 2;
	}
	return out;
}

void report_line(std::string_view where, const std::string &what,
                 const std::string &why, const std::string &fix) {
	if (!reported.insert(std::string(where).append("\n").append(what))
	         .second)
		return;
	++reported_count;
	print_line(std::string(kPrefix)
	               .append(where)
	               .append(": ")
	               .append(what)
	               .append("; ")
	               .append(why)
	               .append("; fix: ")
	               .append(fix));
}

}  // namespace

void report(const Kind &k, std::string_view where, std::string_view detail) {
	report_line(where, fill(k.what, where, detail, false),
	            fill(k.why, where, detail, false),
	            fill(k.fix, where, detail, true));
}

void report_place(const policy::ToolPathFinding &f, const char *why,
                  std::string_view detail) {
	if (!f.link.empty()) {
		std::string place = f.component + ", which " + f.why;
		report_line(f.link, fill(kThroughLink, f.link, place, false),
		            fill(why, f.link, detail, false),
		            fill(kLinkMend, f.link, {}, true));
		return;
	}
	const char *fix = kAnyMend;
	for (const Mend &m : kMends)
		if (std::strcmp(m.what, f.why) == 0)
			fix = m.fix;
	report({f.why, why, fix}, f.component, detail);
}

void info(std::string_view text) {
	print_line(std::string(kPrefix).append("info: ").append(text));
}

// The front end's own test of a tool's path; false when it finds
// something.
bool check_path(const std::string &path, uid_t also_owner, const char *why,
                std::string_view detail) {
	policy::ToolPathFinding f;
	if (policy::check_tool_path(path.c_str(), also_owner, f) ==
	    policy::kPathSafe)
		return true;
	report_place(f, why, detail);
	return false;
}

// A file root reads, and every directory above it.
void check_file(const std::string &path, const char *why,
                std::string_view detail) {
	policy::ToolPathFinding f;
	if (policy::check_file_path(path.c_str(), f) != policy::kPathSafe)
		report_place(f, why, detail);
}

// A directory root relies on, and every one above it; false when it is
// absent.
bool check_dir(const std::string &dir, const char *why) {
	policy::ToolPathFinding f;
	bool missing;
	if (policy::check_dir_path(dir.c_str(), f, missing) !=
	    policy::kPathSafe)
		report_place(f, why, {});
	return !missing;
}

int count() {
	return reported_count;
}

}  // namespace findings
