// spauth log: the front end's runs read back from its audit trail. The
// records (log.cc reads them), their parser (logparse.cc) and the runs they
// make, filtered and printed (logrun.cc).
#ifndef ADMIN_LOG_H
#define ADMIN_LOG_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace logv {

// Limits of the text a record may hold: a message over kMessageMax or a
// field over kFieldMax is refused (unparsed); the front end cuts its
// fields at about 2 KiB. A host or boot name over kNameMax makes a record
// unparsed too. Raw text of an unparsed record is shown up to kRawShown
// bytes. Runs waiting for their end: at most kPendingMax, and the oldest
// no longer than kWaitMax (microseconds) behind the records read.
inline constexpr size_t kMessageMax = 16384;
inline constexpr size_t kFieldMax = 4096;
inline constexpr size_t kNameMax = 255;
inline constexpr size_t kRawShown = 512;
inline constexpr size_t kPendingMax = 65536;
inline constexpr uint64_t kWaitMax = 24ULL * 3600 * 1000000;
inline constexpr size_t kSyslogLineMax = kMessageMax + 1024;

enum class Kind { grant, end, refusal, alert, unparsed };
enum class Trust { trusted, untrusted, unverified };

// One record as read, its message parsed. Text fields hold the record's
// own (already escaped) text; raw is the escaped message of an unparsed
// one and why says what was wrong with it.
struct Record {
	Kind kind = Kind::unparsed;
	Trust trust = Trust::unverified;
	uint64_t usec = 0;  // realtime, microseconds since the epoch
	std::string host, boot, function, cursor;
	int64_t pid = -1;
	std::string user, tty, pwd, account, cluster, command;
	std::string reason, invoked, args, path, owner;
	int status = -1;
	std::string raw, why;
};

// A run: its first record, and its end once paired. before is the cursor
// of the record read before the first one (where a resumed call starts).
struct Run {
	Record first;
	bool ended = false;   // its end record was read (grants only)
	bool no_end = false;  // known never to get one
	int status = -1;
	uint64_t end_usec = 0;
	std::string before, key;
};

// The filters, all of them to hold ("and"). Empty text: no filter.
struct Filter {
	std::string user, cluster, host;     // escaped as the records hold them
	std::vector<std::string> functions;  // empty: all eight
	bool refused = false;
	int status = -1;
	uint64_t since = 0, until = UINT64_MAX;
	bool untrusted = false;
	bool journal_matched = false;  // functions and host: the journal's
};

enum class Format { text, json, stats };

// Pairs records into runs and prints each run once it and every earlier
// run are done, oldest first.
struct Pairing {
	std::deque<Run> queue;
	std::map<std::string, size_t> open;  // a grant's key -> its number
	std::map<std::string, std::string> boots;  // host -> its last boot
	size_t dropped = 0;                        // runs popped off the front
	Filter filter;
	Format format = Format::text;
	std::map<std::string, uint64_t> counts;  // for --stats
};

// The message of a record from the function tagged, parsed into r (kind
// and fields, or unparsed with why).
void parse_message(std::string_view message, Record &r);
// r as an unparsed record, keeping only where and when it came from: why,
// and the first kRawShown bytes of text, escaped.
void make_unparsed(Record &r, std::string why, std::string_view text);
// Whether text is valid UTF-8 (a message or a field must be).
bool valid_utf8(std::string_view text);
// One syslog text line into r: false when it is no record of the front
// end's (another program's line). now: for a date without a year.
bool parse_syslog_line(std::string_view line, int64_t now, Record &r);
// Whether name is one of the eight functions' tags.
bool is_function(std::string_view name);
// The eight functions' names that the glob selects.
std::vector<std::string> functions_matching(const char *glob);

// --since/--until: ISO 8601 or a relative form, into usec; false when
// text is none of the forms. now in seconds.
bool parse_time(std::string_view text, int64_t now, uint64_t &usec);
// A syslog line's time taken off its front; false when it has none.
bool syslog_time(std::string_view &line, int64_t now, uint64_t &usec);
// ISO 8601 with the local zone, seconds.
std::string iso_time(uint64_t usec);

// Takes a record read; before: cursor of the record read before it.
void take(Pairing &p, Record &&r, std::string_view before);
// Prints the runs that are done. At the end of input (at_end), runs still
// waiting get "no end record" unless keep_waiting (a cursor resumes them).
void flush(Pairing &p, bool at_end, bool keep_waiting);
// After the last record: the --stats lines.
void print_stats(const Pairing &p);
// Where a resumed call starts: the cursor of the record before the first
// run still waiting, or of the last record read.
std::string resume_cursor(const Pairing &p, const std::string &last);

}  // namespace logv

// The verb: spauth log [OPTION...]. Exit status 0, 1 on a source that
// cannot be read, 2 on a usage error.
int log_verb(int argc, char **argv);

#endif
