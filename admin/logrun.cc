// spauth log: records paired into runs, the filters, and the output (a line,
// a JSON object or a count per run). A grant and its end pair by host, boot
// and process, and only records of the same trust pair.
#define JSON_NOEXCEPTION
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "SP_auth/internal.h"
#include "log.h"

namespace logv {
namespace {

const char *trust_name(Trust t) {
	return t == Trust::trusted     ? "trusted"
	       : t == Trust::untrusted ? "untrusted"
	                               : "unverified";
}

// The result word of a run, as --json and the lines give it.
const char *result_name(const Run &run) {
	switch (run.first.kind) {
	case Kind::grant:
		return run.ended ? "granted" : "no-end";
	case Kind::end:
		return "end-only";
	case Kind::refusal:
		return "refused";
	case Kind::alert:
		return "alert";
	case Kind::unparsed:
		break;
	}
	return "unparsed";
}

bool has_status(const Run &run) {
	return run.ended || run.first.kind == Kind::end;
}

bool selected(const Filter &f, const Run &run) {
	const Record &r = run.first;
	if (r.usec < f.since || r.usec > f.until)
		return false;
	if (r.trust == Trust::untrusted && !f.untrusted)
		return false;
	// The journal's own matches select the functions and the host.
	if (!f.journal_matched && !f.host.empty() && r.host != f.host)
		return false;
	if (!f.journal_matched &&
	    std::find(f.functions.begin(), f.functions.end(), r.function) ==
	        f.functions.end())
		return false;
	if (!f.user.empty() && (r.kind == Kind::unparsed || r.user != f.user))
		return false;
	if (!f.cluster.empty() &&
	    (r.kind != Kind::grant || r.cluster != f.cluster))
		return false;
	if (f.refused && r.kind != Kind::refusal)
		return false;
	return f.status < 0 || (has_status(run) && run.status == f.status);
}

// What follows the result word, and the text after the colon.
std::string detail(const Run &run, std::string &text) {
	const Record &r = run.first;
	std::string status = " status=" + std::to_string(run.status);
	switch (r.kind) {
	case Kind::grant:
		text = r.command;
		return (run.ended ? status : "") + " as " + r.account;
	case Kind::end:
		text = r.command;
		return status;
	case Kind::refusal:
		text = r.invoked + (r.args.empty() ? "" : " ") + r.args;
		return " (" + r.reason + ")";
	case Kind::alert:
		text = r.command;
		return " PATH=" + r.path + " OWNER=" + r.owner;
	case Kind::unparsed:
		break;
	}
	text = r.raw;
	return " (" + r.why + ")";
}

// Record text is escaped where it is read; this keeps every line one line
// whatever slipped through.
void put_line(const std::string &line) {
	std::string out;
	for (unsigned char c : line)
		if (c < 0x20 || c >= 0x7f)
			out += spauth::escaped(std::string_view(
			    reinterpret_cast<const char *>(&c), 1));
		else
			out.push_back(static_cast<char>(c));
	out.push_back('\n');
	fputs(out.c_str(), stdout);
}

void print_text(const Run &run) {
	const Record &r = run.first;
	std::string text;
	std::string more = detail(run, text);
	const char *mark = r.trust == Trust::trusted     ? ""
	                   : r.trust == Trust::untrusted ? "UNTRUSTED "
	                                                 : "UNVERIFIED ";
	bool cluster = r.kind == Kind::grant;
	put_line(mark + iso_time(r.usec) + " " + r.host + " " +
	         (r.user.empty() ? "-" : r.user) + " " + r.function + " " +
	         (cluster ? r.cluster : "-") + " " + result_name(run) + more +
	         ": " + text);
}

void set_text(nlohmann::json &o, const char *key, const std::string &v) {
	if (!v.empty())
		o[key] = v;
}

void print_json(const Run &run) {
	const Record &r = run.first;
	nlohmann::json o = {{"time", iso_time(r.usec)},
	                    {"host", r.host},
	                    {"function", r.function},
	                    {"result", result_name(run)},
	                    {"trust", trust_name(r.trust)}};
	if (r.pid >= 0)
		o["pid"] = r.pid;
	if (has_status(run))
		o["status"] = run.status;
	if (run.ended)
		o["end_time"] = iso_time(run.end_usec);
	set_text(o, "boot", r.boot);
	set_text(o, "cursor", r.cursor);
	for (const auto &[key, value] : {std::pair{"user", &r.user},
	                                 {"tty", &r.tty},
	                                 {"pwd", &r.pwd},
	                                 {"account", &r.account},
	                                 {"cluster", &r.cluster},
	                                 {"command", &r.command},
	                                 {"reason", &r.reason},
	                                 {"invoked", &r.invoked},
	                                 {"args", &r.args},
	                                 {"path", &r.path},
	                                 {"owner", &r.owner},
	                                 {"raw", &r.raw},
	                                 {"why", &r.why}})
		set_text(o, key, *value);
	put_line(
	    o.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace));
}

void done(Pairing &p, const Run &run) {
	if (!selected(p.filter, run))
		return;
	if (p.format == Format::stats) {
		std::string key = run.first.function + " " + result_name(run);
		if (has_status(run))
			key += " status=" + std::to_string(run.status);
		++p.counts[key];
	} else if (p.format == Format::json) {
		print_json(run);
	} else {
		print_text(run);
	}
}

Run *open_run(Pairing &p, const std::string &key) {
	auto it = p.open.find(key);
	if (it == p.open.end())
		return nullptr;
	return &p.queue[it->second - p.dropped];
}

// A host's new boot: its runs of the boots before get no end.
void new_boot(Pairing &p, const Record &r) {
	std::string &last = p.boots[r.host];
	if (last == r.boot)
		return;
	last = r.boot;
	for (auto it = p.open.begin(); it != p.open.end();) {
		Run &run = p.queue[it->second - p.dropped];
		if (run.first.host == r.host && run.first.boot != r.boot) {
			run.no_end = true;
			it = p.open.erase(it);
		} else {
			++it;
		}
	}
}

}  // namespace

void take(Pairing &p, Record &&r, std::string_view before) {
	std::string key = r.host + '\n' + r.boot + '\n' +
	                  std::to_string(r.pid) + '\n' + trust_name(r.trust);
	if (!r.boot.empty())
		new_boot(p, r);
	Run *grant = open_run(p, key);
	if (r.kind == Kind::end && grant != nullptr &&
	    grant->first.command == r.command) {
		grant->ended = true;
		grant->status = r.status;
		grant->end_usec = r.usec;
		p.open.erase(key);
		return;
	}
	if (grant != nullptr && r.kind != Kind::unparsed) {
		grant->no_end = true;  // the process is past it
		p.open.erase(key);
	}
	Run run;
	run.status = r.kind == Kind::end ? r.status : -1;
	run.before = before;
	run.key = key;
	run.first = std::move(r);
	if (run.first.kind == Kind::grant)
		p.open[key] = p.dropped + p.queue.size();
	uint64_t at = run.first.usec;
	p.queue.push_back(std::move(run));
	// A killed run must not hold back every later one for good.
	Run &oldest = p.queue.front();
	if (p.queue.size() > kPendingMax || oldest.first.usec + kWaitMax < at)
		oldest.no_end = true;
}

void flush(Pairing &p, bool at_end, bool keep_waiting) {
	while (!p.queue.empty()) {
		Run &run = p.queue.front();
		bool waiting =
		    run.first.kind == Kind::grant && !run.ended && !run.no_end;
		if (waiting && (!at_end || keep_waiting))
			return;
		if (waiting)
			run.no_end = true;
		auto it = p.open.find(run.key);
		if (it != p.open.end() && it->second == p.dropped)
			p.open.erase(it);
		done(p, run);
		p.queue.pop_front();
		++p.dropped;
	}
}

void print_stats(const Pairing &p) {
	for (const auto &[key, n] : p.counts)
		put_line(key + " " + std::to_string(n));
}

std::string resume_cursor(const Pairing &p, const std::string &last) {
	return p.queue.empty() ? last : p.queue.front().before;
}

}  // namespace logv
