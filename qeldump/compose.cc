// Command lines: the one text a caller's operands reach the shell in. Every
// value is quoted; a line is never cut, one that does not fit is refused.
#include <cstdio>

#include "qeldump.h"

void line(const char *text) {
	fputs(text, stdout);
	fputc('\n', stdout);
}

bool compose(std::string &out, const LineFormat &format,
             std::initializer_list<std::string_view> values) {
	std::string_view fmt = format.format;
	out.clear();
	const std::string_view *value = values.begin();
	for (size_t i = 0; i < fmt.size(); ++i) {
		if (fmt.substr(i, 2) == "%s" && value != values.end()) {
			spauth::shell_quote(*value++, out);
			++i;
		} else {
			out.push_back(fmt[i]);
		}
	}
	return out.size() < format.size;
}

int too_long(const char *name) {
	printf("\n%s: parameter too long\n", name);
	return kStatusUsage;
}
