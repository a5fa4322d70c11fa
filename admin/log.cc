// spauth log: the front end's runs from the journal (through sd-journal,
// with its indexed matches) or from syslog text, plain or gzip.
#include "log.h"

#include <fcntl.h>
#include <getopt.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "SP_auth/internal.h"
#include "admin.h"

namespace logv {
namespace {

struct Options {
	Filter filter;
	Format format = Format::text;
	bool follow = false, two_formats = false;
	std::string host;  // as given: the journal matches it unescaped
	const char *directory = nullptr, *cursor_file = nullptr;
	std::vector<const char *> files, syslogs;
};

// The journal fields a record is read from; seen counts each one, so that
// a field given twice is never taken for one given once.
struct Fields {
	std::string_view message, host, boot, pid, uid, exe, transport, tag;
	int seen[8] = {};
};

constexpr const char *kFieldNames[8] = {
    "MESSAGE=", "_HOSTNAME=", "_BOOT_ID=",   "_PID=",
    "_UID=",    "_EXE=",      "_TRANSPORT=", "SYSLOG_IDENTIFIER="};

void read_fields(sd_journal *j, Fields &f) {
	std::string_view *slot[8] = {&f.message, &f.host, &f.boot,      &f.pid,
	                             &f.uid,     &f.exe,  &f.transport, &f.tag};
	const void *data;
	size_t size;
	SD_JOURNAL_FOREACH_DATA(j, data, size) {
		std::string_view item(static_cast<const char *>(data), size);
		for (size_t i = 0; i < 8; ++i) {
			std::string_view name = kFieldNames[i];
			if (item.starts_with(name)) {
				*slot[i] = item.substr(name.size());
				++f.seen[i];
				break;
			}
		}
	}
}

// The trust rule. journald sets _UID and _TRANSPORT from the datagram's
// credentials, which no client can choose; the front end writes only as
// root. _EXE is read from /proc on arrival and is missing when the writer
// has already exited, so its absence proves nothing either way; present,
// it must name the front end's file.
bool trusted(const Fields &f) {
	for (size_t i = 3; i < 8; ++i)
		if (f.seen[i] > 1)
			return false;
	std::string_view exe = f.exe.substr(f.exe.rfind('/') + 1);
	return f.transport == "syslog" && f.uid == "0" &&
	       (f.seen[5] == 0 || exe == "qeldump");
}

void record_from(sd_journal *j, const Fields &f, Record &r) {
	r.trust = trusted(f) ? Trust::trusted : Trust::untrusted;
	sd_journal_get_realtime_usec(j, &r.usec);
	r.host = spauth::escaped(f.host);
	r.boot = spauth::escaped(f.boot);
	// The journal matched one of the eight; a second tag could be any.
	r.function = f.seen[7] == 1 ? f.tag : "-";
	uint32_t pid = 0;
	r.pid = spauth::parse_id(f.pid, 10, pid) ? pid : -1;
	parse_message(f.message, r);
	for (size_t i : {0, 1, 2, 7})
		if (f.seen[i] != 1)
			make_unparsed(
			    r,
			    std::string(kFieldNames[i],
			                strlen(kFieldNames[i]) - 1) +
			        (f.seen[i] == 0 ? " missing" : " given twice"),
			    f.message);
	if (f.host.size() > kNameMax || f.boot.size() > kNameMax)
		make_unparsed(
		    r,
		    "host or boot over " + std::to_string(kNameMax) + " bytes",
		    f.message);
}

// Matches the journal's index answers: the functions' tags (OR), the host
// and, unless --untrusted, what the trust rule asks of _UID and
// _TRANSPORT (AND).
int add_matches(sd_journal *j, const Options &o) {
	int rc = 0;
	for (const std::string &name : o.filter.functions) {
		std::string m = "SYSLOG_IDENTIFIER=" + name;
		rc = rc < 0 ? rc : sd_journal_add_match(j, m.data(), m.size());
	}
	if (!o.host.empty()) {
		std::string m = "_HOSTNAME=" + o.host;
		rc = rc < 0 ? rc : sd_journal_add_match(j, m.data(), m.size());
	}
	if (!o.filter.untrusted) {
		rc = rc < 0 ? rc : sd_journal_add_match(j, "_UID=0", 0);
		rc = rc < 0 ? rc
		            : sd_journal_add_match(j, "_TRANSPORT=syslog", 0);
	}
	return rc;
}

int open_journal(const Options &o, sd_journal *&j) {
	std::vector<const char *> files = o.files;
	files.push_back(nullptr);
	int rc = o.directory != nullptr
	             ? sd_journal_open_directory(&j, o.directory, 0)
	         : o.files.empty() ? sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY)
	                           : sd_journal_open_files(&j, files.data(), 0);
	if (rc < 0) {
		fprintf(stderr, "spauth log: cannot open the journal: %s\n",
		        strerror(-rc));
		return 1;
	}
	sd_journal_set_data_threshold(j, kMessageMax + 64);
	if (add_matches(j, o) < 0) {
		fputs("spauth log: cannot match the journal\n", stderr);
		return 1;
	}
	return 0;
}

// The cursor a call resumes after: one line of printable text.
bool read_cursor(const char *path, std::string &cursor) {
	spauth::LineReader r;
	std::string_view line;
	bool too_long = false;
	cursor.clear();
	if (!spauth::open_lines(r, path))
		return access(path, F_OK) != 0;  // none yet: from the start
	if (spauth::read_line(r, line, too_long) && !too_long &&
	    line.size() <= kNameMax * 4 && spauth::escaped(line) == line)
		cursor = line;
	return !cursor.empty();
}

bool write_cursor(const char *path, const std::string &cursor) {
	std::string tmp = std::string(path) + ".new";
	FILE *f = fopen(tmp.c_str(), "we");
	if (f == nullptr)
		return false;
	bool ok = fprintf(f, "%s\n", cursor.c_str()) > 0;
	ok = fclose(f) == 0 && ok;
	return ok && rename(tmp.c_str(), path) == 0;
}

// Where reading starts: after the stored cursor, else at --since.
int seek_start(sd_journal *j, const Options &o, std::string &last) {
	if (o.cursor_file != nullptr && !read_cursor(o.cursor_file, last)) {
		fprintf(stderr, "spauth log: %s holds no cursor\n",
		        o.cursor_file);
		return 1;
	}
	int rc = 0;
	if (!last.empty()) {
		rc = sd_journal_seek_cursor(j, last.c_str());
		if (rc >= 0 && sd_journal_next(j) > 0 &&
		    sd_journal_test_cursor(j, last.c_str()) <= 0)
			sd_journal_previous(j);
	} else {
		rc = o.filter.since > 0
		         ? sd_journal_seek_realtime_usec(j, o.filter.since)
		         : sd_journal_seek_head(j);
	}
	if (rc < 0)
		fprintf(stderr, "spauth log: cannot seek the journal: %s\n",
		        strerror(-rc));
	return rc < 0;
}

std::string cursor_of(sd_journal *j) {
	char *c = nullptr;
	std::string out;
	if (sd_journal_get_cursor(j, &c) >= 0 && c != nullptr)
		out = c;
	free(c);
	return out;
}

// Whether the record may be the caller's: --user is matched on the
// message's first field before the record is read whole. Another caller's
// record is never selected, and pairs only with that caller's.
bool of_caller(sd_journal *j, const std::string &user) {
	const void *data;
	size_t size;
	if (user.empty() || sd_journal_get_data(j, "MESSAGE", &data, &size) < 0)
		return true;
	std::string_view m(static_cast<const char *>(data), size);
	return m.substr(sizeof "MESSAGE=" - 1).starts_with(user + " : ");
}

// Reads what the journal holds now; false once --until is passed and no
// grant waits for its end.
bool read_journal(sd_journal *j, const Options &o, Pairing &p,
                  std::string &last) {
	bool cursors = o.cursor_file != nullptr || o.format == Format::json;
	while (sd_journal_next(j) > 0) {
		Fields f;
		Record r;
		if (sd_journal_get_realtime_usec(j, &r.usec) >= 0 &&
		    r.usec > o.filter.until && p.open.empty())
			return false;
		if (!of_caller(j, o.filter.user))
			continue;
		read_fields(j, f);
		record_from(j, f, r);
		if (cursors)
			r.cursor = cursor_of(j);
		if (r.usec > o.filter.until && r.kind != Kind::end) {
			if (p.open.empty())
				return false;
			continue;
		}
		std::string before = std::move(last);
		last = r.cursor;
		take(p, std::move(r), before);
		flush(p, false, false);
	}
	return true;
}

int run_journal(const Options &o, Pairing &p) {
	sd_journal *j = nullptr;
	std::string last;
	if (open_journal(o, j) != 0)
		return 1;
	int rc = seek_start(j, o, last);
	bool keep = o.cursor_file != nullptr, stored = true;
	while (rc == 0 && read_journal(j, o, p, last) && o.follow) {
		flush(p, false, keep);
		fflush(stdout);
		if (keep && !last.empty())
			stored =
			    write_cursor(o.cursor_file, resume_cursor(p, last));
		if (!stored || sd_journal_wait(j, UINT64_MAX) < 0)
			rc = 1;
	}
	flush(p, true, keep);
	if (keep && rc == 0 && !last.empty())
		stored = write_cursor(o.cursor_file, resume_cursor(p, last));
	if (!stored)
		fprintf(stderr, "spauth log: cannot store the cursor in %s\n",
		        o.cursor_file);
	sd_journal_close(j);
	return rc != 0 || !stored;
}

// A line of at most kSyslogLineMax bytes; the rest of a longer one is
// read past, and too_long says so. False at the end of input.
bool next_line(FILE *in, std::string &line, bool &too_long) {
	int c;
	bool any = false;
	line.clear();
	too_long = false;
	while ((c = getc_unlocked(in)) != EOF) {
		any = true;
		if (c == '\n')
			break;
		if (line.size() < kSyslogLineMax)
			line.push_back(static_cast<char>(c));
		else
			too_long = true;
	}
	return any;
}

void read_syslog(FILE *in, Pairing &p, int64_t now) {
	std::string line;
	bool too_long = false;
	while (next_line(in, line, too_long)) {
		Record r;
		if (!parse_syslog_line(line, now, r))
			continue;
		if (too_long)
			make_unparsed(r,
			              "line over " +
			                  std::to_string(kSyslogLineMax) +
			                  " bytes",
			              line);
		take(p, std::move(r), "");
		flush(p, false, false);
	}
}

// A file of syslog text; gzip (by its magic number) is read through
// gzip -dc, a child, so that spauth links no decompressor.
int syslog_file(const char *path, Pairing &p, int64_t now) {
	int fd = spauth::open_regular(path);
	unsigned char magic[2] = {};
	if (fd < 0) {
		fprintf(stderr, "spauth log: cannot read %s\n", path);
		return 1;
	}
	bool gz =
	    pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
	int pipe_fd[2] = {-1, -1};
	pid_t pid = -1;
	if (gz && pipe2(pipe_fd, O_CLOEXEC) == 0) {
		const char *argv[] = {"gzip", "-dc", nullptr};
		const char *envp[] = {nullptr};
		const int fds[3] = {fd, pipe_fd[1], -1};
		pid = spauth::start_child("/bin/gzip", argv, envp, fds,
		                          "spauth log: gzip");
		close(pipe_fd[1]);
		close(fd);
		fd = pipe_fd[0];
	}
	FILE *in = gz && pid < 0 ? nullptr : fdopen(fd, "r");
	if (in == nullptr) {
		close(fd);
		fprintf(stderr, "spauth log: cannot read %s\n", path);
		return 1;
	}
	read_syslog(in, p, now);
	fclose(in);
	if (gz && spauth::wait_child(pid) != 0) {
		fprintf(stderr, "spauth log: %s: gzip failed\n", path);
		return 1;
	}
	return 0;
}

bool text_option(const char *name, const char *arg, std::string &out) {
	if (strlen(arg) > kFieldMax || *arg == '\0') {
		fprintf(stderr, "spauth log: --%s: empty or over %zu bytes\n",
		        name, kFieldMax);
		return false;
	}
	out = arg;
	return true;
}

// One option's value into o; false, with a message, when it is refused.
bool take_option(int opt, const char *arg, int64_t now, Options &o) {
	Filter &f = o.filter;
	uint32_t n = 0;
	switch (opt) {
	case 'u':
		return text_option("user", arg, f.user);
	case 'c':
		return text_option("cluster", arg, f.cluster);
	case 'H':
		return text_option("host", arg, o.host);
	case 'F':
		for (std::string &name : functions_matching(arg))
			f.functions.push_back(std::move(name));
		if (!f.functions.empty())
			return true;
		fprintf(stderr, "spauth log: --function %s: no such function\n",
		        spauth::escaped(arg).c_str());
		return false;
	case 'N':
		if (spauth::parse_id(arg, 3, n) && n <= 255) {
			f.status = static_cast<int>(n);
			return true;
		}
		fputs("spauth log: --status takes 0 to 255\n", stderr);
		return false;
	case 's':
	case 'U':
		if (parse_time(arg, now, opt == 's' ? f.since : f.until))
			return true;
		fprintf(stderr, "spauth log: %s: not a time\n",
		        spauth::escaped(arg).c_str());
		return false;
	}
	return true;
}

// The options that only switch something on, and the sources.
void take_switch(int opt, const char *arg, Options &o) {
	switch (opt) {
	case 'r':
		o.filter.refused = true;
		break;
	case 't':
		o.filter.untrusted = true;
		break;
	case 'j':
	case 'S':
		o.two_formats = o.format != Format::text;
		o.format = opt == 'j' ? Format::json : Format::stats;
		break;
	case 'f':
		o.follow = true;
		break;
	case 'C':
		o.cursor_file = arg;
		break;
	case 'D':
		o.directory = arg;
		break;
	case 'L':
	case 'Y':
		(opt == 'L' ? o.files : o.syslogs).push_back(arg);
		break;
	}
}

constexpr option kOptions[] = {{"user", required_argument, nullptr, 'u'},
                               {"function", required_argument, nullptr, 'F'},
                               {"cluster", required_argument, nullptr, 'c'},
                               {"refused", no_argument, nullptr, 'r'},
                               {"status", required_argument, nullptr, 'N'},
                               {"host", required_argument, nullptr, 'H'},
                               {"since", required_argument, nullptr, 's'},
                               {"until", required_argument, nullptr, 'U'},
                               {"untrusted", no_argument, nullptr, 't'},
                               {"json", no_argument, nullptr, 'j'},
                               {"stats", no_argument, nullptr, 'S'},
                               {"follow", no_argument, nullptr, 'f'},
                               {"cursor-file", required_argument, nullptr, 'C'},
                               {"directory", required_argument, nullptr, 'D'},
                               {"file", required_argument, nullptr, 'L'},
                               {"syslog", required_argument, nullptr, 'Y'},
                               {nullptr, 0, nullptr, 0}};

// Options that cannot go together: the message, or null.
const char *conflict(const Options &o) {
	bool journal = o.directory != nullptr || !o.files.empty();
	if (o.directory != nullptr && !o.files.empty())
		return "--directory and --file";
	if (!o.syslogs.empty() && (journal || o.follow || o.cursor_file))
		return "--syslog and a journal's options";
	if (o.follow && o.format == Format::stats)
		return "--follow and --stats";
	if (o.two_formats)
		return "--json and --stats";
	if (o.filter.since > o.filter.until)
		return "--since after --until";
	return nullptr;
}

int parse_options(int argc, char **argv, int64_t now, Options &o) {
	opterr = 0;
	optind = 1;
	int opt;
	while ((opt = getopt_long(argc, argv, "+", kOptions, nullptr)) != -1) {
		if (opt == '?' || opt == ':') {
			fputs("spauth log: unknown option or missing value\n",
			      stderr);
			return 2;
		}
		if (!take_option(opt, optarg, now, o))
			return 2;
		take_switch(opt, optarg, o);
	}
	// Caller and cluster as the front end escapes them in its records.
	Filter &f = o.filter;
	f.user = f.user.empty() ? "" : spauth::escaped(f.user, ";");
	f.cluster = f.cluster.empty() ? "" : spauth::escaped(f.cluster, ";");
	f.host = spauth::escaped(o.host);
	const char *both = conflict(o);
	if (both != nullptr)
		fprintf(stderr, "spauth log: %s cannot go together\n", both);
	else if (optind < argc)
		fputs("spauth log: no operands, only options\n", stderr);
	return both != nullptr || optind < argc ? 2 : 0;
}

}  // namespace
}  // namespace logv

int log_verb(int argc, char **argv) {
	using namespace logv;
	Options o;
	int64_t now = time(nullptr);
	if (int rc = parse_options(argc, argv, now, o))
		return rc;
	if (o.filter.functions.empty())
		o.filter.functions = functions_matching("*");
	o.filter.journal_matched = o.syslogs.empty();
	Pairing p;
	p.filter = o.filter;
	p.format = o.format;
	int rc = 0;
	if (o.syslogs.empty())
		rc = run_journal(o, p);
	for (const char *path : o.syslogs)
		rc |= syslog_file(path, p, now);
	if (!o.syslogs.empty())
		flush(p, true, false);
	if (o.format == Format::stats)
		print_stats(p);
	return rc;
}
