// Line and field readers for the account files and the registry.
#include <algorithm>

#include "SP_auth/internal.h"

namespace spauth {

bool read_line(FILE *f, std::string &line, bool &too_long) {
	line.clear();
	size_t length = 0;  // the whole line's: a NUL and what follows count
	int c;
	while ((c = getc_unlocked(f)) != EOF && c != '\n')
		if (length++ < kLineMax)
			line.push_back(static_cast<char>(c));
	too_long = length > kLineMax;
	// A NUL ends the text of its line, never the line itself.
	line.resize(too_long ? 0 : std::min(line.find('\0'), line.size()));
	return c == '\n' || length > 0;
}

std::vector<std::string_view> split(std::string_view text, char delim) {
	std::vector<std::string_view> fields;
	size_t pos = 0;
	for (;;) {
		size_t d = text.find(delim, pos);
		if (d == std::string_view::npos) {
			fields.push_back(text.substr(pos));
			return fields;
		}
		fields.push_back(text.substr(pos, d - pos));
		pos = d + 1;
	}
}

bool parse_id(std::string_view text, size_t max_len, uint32_t &out) {
	if (text.empty() || text.size() > max_len)
		return false;
	uint64_t v = 0;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
		v = v * 10 + static_cast<uint64_t>(c - '0');
		if (v > UINT32_MAX)
			return false;
	}
	out = static_cast<uint32_t>(v);
	return true;
}

}  // namespace spauth
