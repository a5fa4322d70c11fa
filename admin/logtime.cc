// spauth log: times. --since and --until take ISO 8601 dates and times and
// the journal's relative forms; output is ISO 8601 in the local zone.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "SP_auth/internal.h"
#include "log.h"

namespace logv {
namespace {

constexpr int64_t kUsec = 1000000;

// Exactly n digits at s[at], into out.
bool digits(std::string_view s, size_t at, size_t n, int &out) {
	if (at + n > s.size())
		return false;
	out = 0;
	for (size_t i = at; i < at + n; ++i) {
		if (s[i] < '0' || s[i] > '9')
			return false;
		out = out * 10 + (s[i] - '0');
	}
	return true;
}

// A zone suffix: "", "Z", " UTC", +HH:MM or +HHMM; seconds east in off.
bool zone(std::string_view z, bool &given, int &off) {
	given = !z.empty();
	off = 0;
	if (z.empty() || z == "Z" || z == " UTC")
		return true;
	int h = 0, m = 0;
	bool colon = z.size() == 6 && z[3] == ':';
	if ((z[0] != '+' && z[0] != '-') || (z.size() != 5 && !colon) ||
	    !digits(z, 1, 2, h) || !digits(z, colon ? 4 : 3, 2, m) || h > 23 ||
	    m > 59)
		return false;
	off = (z[0] == '-' ? -1 : 1) * (h * 3600 + m * 60);
	return true;
}

// YYYY-MM-DD[(T| )HH:MM[:SS[.frac]]][zone]; local time without a zone.
bool iso(std::string_view s, uint64_t &usec) {
	struct tm tm = {};
	int frac = 0;
	size_t at = 10, fdigits = 0;
	if (!digits(s, 0, 4, tm.tm_year) || s.size() < 10 || s[4] != '-' ||
	    !digits(s, 5, 2, tm.tm_mon) || s[7] != '-' ||
	    !digits(s, 8, 2, tm.tm_mday))
		return false;
	if (at < s.size() && (s[at] == 'T' || s[at] == ' ') &&
	    digits(s, at + 1, 2, tm.tm_hour)) {
		if (at + 6 > s.size() || s[at + 3] != ':' ||
		    !digits(s, at + 4, 2, tm.tm_min))
			return false;
		at += 6;
		if (at < s.size() && s[at] == ':') {
			if (!digits(s, at + 1, 2, tm.tm_sec))
				return false;
			at += 3;
			for (at += at < s.size() && s[at] == '.';
			     at < s.size() && s[at] >= '0' && s[at] <= '9';
			     ++at)
				if (fdigits++ < 6)
					frac = frac * 10 + (s[at] - '0');
		}
	}
	for (; fdigits < 6; ++fdigits)
		frac *= 10;
	bool given = false;
	int off = 0;
	if (!zone(s.substr(at), given, off) || tm.tm_mon < 1 ||
	    tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 ||
	    tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60)
		return false;
	tm.tm_year -= 1900, tm.tm_mon -= 1, tm.tm_isdst = -1;
	time_t t = given ? timegm(&tm) - off : mktime(&tm);
	if (t < 0)
		return false;
	usec = static_cast<uint64_t>(t) * kUsec + static_cast<uint64_t>(frac);
	return true;
}

// Local midnight, days from today's.
int64_t midnight(int64_t now, int days) {
	time_t t = now;
	struct tm tm;
	localtime_r(&t, &tm);
	tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
	tm.tm_mday += days;
	tm.tm_isdst = -1;
	return mktime(&tm);
}

// +N or -N with a unit (s, m, h, d, w; s when none), from now.
bool relative(std::string_view s, int64_t now, uint64_t &usec) {
	if (s.size() < 2 || (s[0] != '-' && s[0] != '+'))
		return false;
	size_t end = s.find_first_not_of("0123456789", 1);
	std::string_view unit = end == s.npos ? "s" : s.substr(end);
	uint32_t n = 0;
	if (!spauth::parse_id(s.substr(1, end - 1), 9, n))
		return false;
	static constexpr std::pair<const char *, int64_t> kUnits[] = {
	    {"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}, {"w", 604800}};
	for (const auto &[name, secs] : kUnits) {
		if (unit != name)
			continue;
		int64_t delta = static_cast<int64_t>(n) * secs;
		int64_t t = s[0] == '-' ? now - delta : now + delta;
		usec = t < 0 ? 0 : static_cast<uint64_t>(t) * kUsec;
		return true;
	}
	return false;
}

}  // namespace

bool parse_time(std::string_view text, int64_t now, uint64_t &usec) {
	static constexpr std::pair<const char *, int> kDays[] = {
	    {"today", 0}, {"yesterday", -1}, {"tomorrow", 1}};
	if (text == "now") {
		usec = static_cast<uint64_t>(now) * kUsec;
		return true;
	}
	for (const auto &[name, days] : kDays)
		if (text == name) {
			usec =
			    static_cast<uint64_t>(midnight(now, days)) * kUsec;
			return true;
		}
	return relative(text, now, usec) || iso(text, usec);
}

std::string iso_time(uint64_t usec) {
	time_t t = static_cast<time_t>(usec / kUsec);
	struct tm tm;
	char text[64], zone[8];
	if (localtime_r(&t, &tm) == nullptr ||
	    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm) == 0 ||
	    strftime(zone, sizeof zone, "%z", &tm) != 5)
		return "-";
	return std::string(text) + std::string(zone, 3) + ":" + (zone + 3);
}

// "Mmm dd HH:MM:SS " (the year: the latest that is not over a day ahead of
// now) or an ISO 8601 time and a blank, taken off the front of line.
bool syslog_time(std::string_view &line, int64_t now, uint64_t &usec) {
	size_t blank = line.find(' ');
	if (blank != line.npos && iso(line.substr(0, blank), usec)) {
		line.remove_prefix(blank + 1);
		return true;
	}
	static constexpr const char kMonths[] =
	    "JanFebMarAprMayJunJulAugSepOctNovDec";
	const char *m =
	    line.size() > 16 && line[0] != '\0'
	        ? strstr(kMonths, std::string(line.substr(0, 3)).c_str())
	        : nullptr;
	struct tm tm = {};
	if (m == nullptr || (m - kMonths) % 3 != 0 || line[3] != ' ' ||
	    line[15] != ' ' ||
	    !(line[4] == ' ' ? digits(line, 5, 1, tm.tm_mday)
	                     : digits(line, 4, 2, tm.tm_mday)) ||
	    !digits(line, 7, 2, tm.tm_hour) ||
	    !digits(line, 10, 2, tm.tm_min) || !digits(line, 13, 2, tm.tm_sec))
		return false;
	time_t t = now;
	struct tm today;
	localtime_r(&t, &today);
	tm.tm_mon = static_cast<int>((m - kMonths) / 3);
	tm.tm_isdst = -1;
	for (tm.tm_year = today.tm_year + 1;; --tm.tm_year) {
		struct tm copy = tm;
		time_t at = mktime(&copy);
		if (at <= now + 86400) {
			usec = at < 0 ? 0 : static_cast<uint64_t>(at) * kUsec;
			break;
		}
	}
	line.remove_prefix(16);
	return true;
}

}  // namespace logv
