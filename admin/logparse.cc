// spauth log: a record's message parsed into its fields, syslog text lines,
// and times. A message parses only in the exact form the front end writes;
// anything else is unparsed, with the reason.
#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <string>

#include "SP_auth/internal.h"
#include "log.h"
#include "policy/policy.h"

namespace logv {
namespace {

using Pieces = std::vector<std::string_view>;

// The message's fields after "USER : ", split at the field separator. The
// front end escapes ";" in every value, so the split is exact.
bool split_fields(std::string_view rest, Pieces &out) {
	out = spauth::split(rest, ';');
	for (size_t i = 0; i < out.size(); ++i) {
		std::string_view &p = out[i];
		if (i > 0 && !p.starts_with(' '))
			return false;
		if (i + 1 < out.size() && !p.ends_with(' '))
			return false;
		p.remove_prefix(i > 0 ? 1 : 0);
		p.remove_suffix(i + 1 < out.size() ? 1 : 0);
	}
	return true;
}

// A value as the front end escapes it: printable ASCII, each backslash
// starting a whole \ooo.
bool escaped_value(std::string_view v) {
	for (size_t i = 0; i < v.size(); ++i) {
		if (v[i] < 0x20 || v[i] >= 0x7f)
			return false;
		if (v[i] != '\\')
			continue;
		for (size_t k = 1; k <= 3; ++k)
			if (i + k >= v.size() || v[i + k] < '0' ||
			    v[i + k] > '7')
				return false;
		i += 3;
	}
	return true;
}

std::string_view key_of(std::string_view piece) {
	size_t eq = piece.find('=');
	return eq == piece.npos ? std::string_view{} : piece.substr(0, eq);
}

// Fields keys[0..n) in order, each "KEY=value", into values. False, with
// why, on any other key, a key given twice, a value over kFieldMax or one
// the front end cannot have written.
bool keyed(const Pieces &p, size_t from,
           std::initializer_list<const char *> keys,
           std::array<std::string_view, 5> &values, std::string &why) {
	for (size_t i = from; i < p.size(); ++i)
		for (size_t j = i + 1; j < p.size(); ++j)
			if (key_of(p[i]) == key_of(p[j]) &&
			    !key_of(p[i]).empty()) {
				why = "field " +
				      spauth::escaped(key_of(p[i]), {}, 64) +
				      " given twice";
				return false;
			}
	if (p.size() > from + keys.size()) {
		why = "fields past the last";
		return false;
	}
	size_t k = 0;
	for (const char *key : keys) {
		if (from + k >= p.size()) {
			why = std::string("cut record: no ") + key + "=";
			return false;
		}
		std::string_view piece = p[from + k], name = key;
		if (!piece.starts_with(name) || piece.size() <= name.size() ||
		    piece[name.size()] != '=') {
			why = std::string("no ") + key + "= in its place";
			return false;
		}
		values[k] = piece.substr(name.size() + 1);
		if (values[k].size() > kFieldMax) {
			why = std::string("field ") + key + " over " +
			      std::to_string(kFieldMax) + " bytes";
			return false;
		}
		if (!escaped_value(values[k])) {
			why = std::string("field ") + key + " not as escaped";
			return false;
		}
		++k;
	}
	return true;
}

bool parse_status(std::string_view v, int &status) {
	uint32_t n = 0;
	if (!spauth::parse_id(v, 3, n) || n > 255 ||
	    (v.size() > 1 && v[0] == '0'))
		return false;
	status = static_cast<int>(n);
	return true;
}

// The four forms, told apart by their first field.
bool parse_rest(const Pieces &p, Record &r) {
	std::array<std::string_view, 5> v;
	std::string_view first = p[0];
	if (first.starts_with("TTY=")) {
		if (!keyed(p, 0, {"TTY", "PWD", "USER", "CLUSTER", "COMMAND"},
		           v, r.why))
			return false;
		r.kind = Kind::grant;
		r.tty = v[0], r.pwd = v[1], r.account = v[2];
		r.cluster = v[3], r.command = v[4];
	} else if (first.starts_with("STATUS=")) {
		if (!keyed(p, 0, {"STATUS", "COMMAND"}, v, r.why))
			return false;
		if (!parse_status(v[0], r.status)) {
			r.why = "STATUS not 0 to 255";
			return false;
		}
		r.kind = Kind::end;
		r.command = v[1];
	} else if (first == "unsafe tool path") {
		if (!keyed(p, 1, {"PATH", "OWNER", "COMMAND"}, v, r.why))
			return false;
		r.kind = Kind::alert;
		r.path = v[0], r.owner = v[1], r.command = v[2];
	} else {
		if (first.empty() || first.find('=') != first.npos ||
		    !escaped_value(first)) {
			r.why = "unknown form";
			return false;
		}
		if (!keyed(p, 1, {"TTY", "PWD", "FUNCTION", "ARGS"}, v, r.why))
			return false;
		r.kind = Kind::refusal;
		r.reason = first;
		r.tty = v[0], r.pwd = v[1], r.invoked = v[2], r.args = v[3];
	}
	return true;
}

}  // namespace

bool valid_utf8(std::string_view s) {
	for (size_t i = 0; i < s.size();) {
		auto c = static_cast<unsigned char>(s[i]);
		size_t n = c < 0x80         ? 0
		           : (c >> 5) == 6  ? 1
		           : (c >> 4) == 14 ? 2
		           : (c >> 3) == 30 ? 3
		                            : 9;
		if (n == 9 || (n > 0 && c < 0xc2) ||
		    i + n >= s.size() + (n == 0))
			return false;
		for (size_t k = 1; k <= n; ++k)
			if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
				return false;
		i += n + 1;
	}
	return true;
}

void parse_message(std::string_view message, Record &r) {
	r.kind = Kind::unparsed;
	r.raw = spauth::escaped(message.substr(0, kRawShown));
	if (message.size() > kRawShown)
		r.raw += "...";
	if (message.size() > kMessageMax) {
		r.why = "over " + std::to_string(kMessageMax) + " bytes";
		return;
	}
	if (!valid_utf8(message)) {
		r.why = "not UTF-8";
		return;
	}
	size_t colon = message.find(" : ");
	std::string_view user = message.substr(0, colon);
	if (colon == message.npos || user.empty() ||
	    user.find_first_of(": ") != user.npos || !escaped_value(user) ||
	    user.size() > kFieldMax) {
		r.why = "no caller";
		return;
	}
	Pieces p;
	if (!split_fields(message.substr(colon + 3), p)) {
		r.why = "field separator out of place";
		return;
	}
	if (!parse_rest(p, r)) {
		r.kind = Kind::unparsed;
		return;
	}
	r.user = user;
	r.raw.clear();
}

void make_unparsed(Record &r, std::string why, std::string_view text) {
	Record bad;
	bad.trust = r.trust, bad.usec = r.usec, bad.pid = r.pid;
	bad.host = spauth::escaped(r.host, {}, kNameMax);
	bad.boot = spauth::escaped(r.boot, {}, kNameMax);
	bad.function = r.function;
	bad.why = std::move(why);
	bad.raw = spauth::escaped(text.substr(0, kRawShown));
	if (text.size() > kRawShown)
		bad.raw += "...";
	r = std::move(bad);
}

bool is_function(std::string_view name) {
	return std::any_of(
	    std::begin(policy::kFunctions), std::end(policy::kFunctions),
	    [name](const policy::Function *f) { return name == f->name; });
}

std::vector<std::string> functions_matching(const char *glob) {
	std::vector<std::string> names;
	for (const policy::Function *f : policy::kFunctions)
		if (fnmatch(glob, f->name, 0) == 0)
			names.emplace_back(f->name);
	return names;
}

}  // namespace logv

namespace logv {

// "TIME HOST TAG[PID]: MESSAGE", as rsyslog writes it. Lines of other
// tags are other programs'; a line of one of the eight that does not
// parse is a record that is unparsed.
bool parse_syslog_line(std::string_view line, int64_t now, Record &r) {
	r = Record{};
	r.trust = Trust::unverified;
	if (!syslog_time(line, now, r.usec))
		return false;
	size_t blank = line.find(' ');
	size_t open = line.find('[', blank);
	size_t close = line.find("]: ", open);
	if (blank == line.npos || open == line.npos || close == line.npos ||
	    line.find(' ', blank + 1) < open ||
	    !is_function(line.substr(blank + 1, open - blank - 1)))
		return false;
	r.host = spauth::escaped(line.substr(0, blank));
	r.function = line.substr(blank + 1, open - blank - 1);
	uint32_t pid = 0;
	if (!spauth::parse_id(line.substr(open + 1, close - open - 1), 10, pid))
		return false;
	r.pid = pid;
	if (blank > kNameMax)
		make_unparsed(
		    r, "host over " + std::to_string(kNameMax) + " bytes",
		    line.substr(close + 3));
	else
		parse_message(line.substr(close + 3), r);
	return true;
}

}  // namespace logv
