// Line and field readers for the account files and the registry.
#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {

bool read_line(FILE *f, std::string &line, bool &too_long) {
	line.clear();
	too_long = false;
	char chunk[4096];
	bool any = false;
	while (fgets(chunk, sizeof chunk, f) != nullptr) {
		any = true;
		size_t n = std::strlen(chunk);
		bool eol = n > 0 && chunk[n - 1] == '\n';
		if (eol)
			--n;
		if (!too_long && line.size() + n <= kLineMax)
			line.append(chunk, n);
		else  // keep consuming to the end of the line
			too_long = true;
		if (eol)
			break;
	}
	if (too_long)
		line.clear();
	return any;
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
