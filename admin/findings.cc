// How spauth verify reports: each finding once, one line, its fix quoted
// for the shell; or, for the document, one record.
#include "findings.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "admin.h"

namespace findings {
namespace {

constexpr const char *kPrefix = "spauth verify: ";

// What the tool-path check finds at a place, its id, and how to mend it;
// whatever it finds there, whoever can change the place gains its use.
struct Mend {
	const char *id;
	const char *what;
	const char *fix;
};
constexpr Mend kMends[] = {
    {"QV601", policy::kPathWritable, "chmod go-w {w}"},
    {"QV602", policy::kPathNotRootOwned, "chown root {w}"},
    {"QV603", policy::kPathNotRegular,
     "# replace {w} by the regular file it should be"},
    {"QV604", policy::kPathNotDirectory,
     "# replace {w} by a directory that root owns"},
    {"QV605", policy::kPathNestedScript,
     "# make {w} a program, or name one in the script's #! line"},
};
constexpr Mend kAnyMend = {"QV606", nullptr, "# make {w} root's alone"};
// A place reached through a link is mended at the link: what it leads
// into (/tmp, say) may rightly be open to all.
constexpr Kind kThroughLink = {
    "QV607", kCritical, "leads through {d}", nullptr,
    "# make {w} a directory of root's, or a link into one"};
// Advice is a comment, so that pasted it runs nothing.
constexpr std::string_view kAdvice = "# ";
constexpr std::string_view kByHand =
    "# by hand, as a name here cannot be pasted: ";

std::set<std::string> reported;
std::vector<Finding> kept;
std::vector<std::string> infos;
bool for_document;

// A fix pasted into /bin/sh must do what it says to exactly the place it
// names. A value goes in as one word: plain, or single-quoted with each
// quote as '"'"', since a backslash would be escaped on output. A byte
// that cannot be printed as itself (outside printable ASCII, or the
// backslash) cannot be pasted: false.
bool paste_word(std::string_view v, std::string &out) {
	if (std::any_of(v.begin(), v.end(), [](unsigned char c) {
		    return c < 0x20 || c > 0x7e || c == '\\';
	    }))
		return false;
	std::string word;
	spauth::shell_quote(v, word);
	if (word.find('\\') != std::string::npos) {
		word = "'";
		for (char c : v)
			word.append(c == '\'' ? "'\"'\"'" : std::string(1, c));
		word.push_back('\'');
	}
	out.append(word);
	return true;
}

// text with {w} and {d} filled in; quote: each as a pasteable word, and
// false when one cannot be.
bool fill(std::string_view text, std::string_view where,
          std::string_view detail, bool quote, std::string &out) {
	for (size_t i = 0; i < text.size(); ++i) {
		std::string_view key = text.substr(i, 3);
		if (key != "{w}" && key != "{d}") {
			out.push_back(text[i]);
			continue;
		}
		std::string_view value = key == "{w}" ? where : detail;
		if (!quote)
			out.append(value);
		else if (!paste_word(value, out))
			return false;
		i += 2;
	}
	return true;
}

std::string fill(std::string_view text, std::string_view where,
                 std::string_view detail) {
	std::string out;
	fill(text, where, detail, false, out);
	return out;
}

// A fix that cannot be pasted is a comment, to be mended by hand.
std::string fix_line(std::string_view text, std::string_view where,
                     std::string_view detail) {
	std::string out;
	if (fill(text, where, detail, true, out))
		return out;
	if (text.starts_with(kAdvice))
		return fill(text, where, detail);
	return std::string(kByHand).append(fill(text, where, detail));
}

// The one reporting point: the text line and the document's record are
// made from the same finding.
void report_line(Finding f) {
	if (!reported.insert(std::string(f.place).append("\n").append(f.what))
	         .second)
		return;
	if (!for_document)
		print_line(std::string(kPrefix)
		               .append(f.place)
		               .append(": ")
		               .append(f.what)
		               .append("; ")
		               .append(f.why)
		               .append("; fix: ")
		               .append(f.fix));
	kept.push_back(std::move(f));
}

}  // namespace

void report(const Kind &k, std::string_view where, std::string_view detail) {
	report_line({k.id, k.severity, std::string(where),
	             fill(k.what, where, detail), fill(k.why, where, detail),
	             fix_line(k.fix, where, detail)});
}

void report_place(const policy::ToolPathFinding &f, const char *why,
                  std::string_view detail) {
	if (!f.link.empty()) {
		std::string place = f.component + ", which " + f.why;
		report_line({kThroughLink.id, kThroughLink.severity, f.link,
		             fill(kThroughLink.what, f.link, place),
		             fill(why, f.link, detail),
		             fix_line(kThroughLink.fix, f.link, {})});
		return;
	}
	Mend mend = kAnyMend;
	for (const Mend &m : kMends)
		if (std::strcmp(m.what, f.why) == 0)
			mend = m;
	report({mend.id, kCritical, f.why, why, mend.fix}, f.component, detail);
}

void info(std::string_view text) {
	if (!for_document)
		print_line(std::string(kPrefix).append("info: ").append(text));
	infos.emplace_back(text);
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
	return static_cast<int>(kept.size());
}

void keep_for_document() {
	for_document = true;
}

const std::vector<Finding> &reported_findings() {
	return kept;
}

const std::vector<std::string> &reported_infos() {
	return infos;
}

}  // namespace findings
