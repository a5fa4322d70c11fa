// The one quoting rule for every value that goes into a shell line, and the
// one escaping rule for every name that goes into a record or a line of
// output.
#include <cstdio>

#include "SP_auth/internal.h"

namespace spauth {
namespace {

bool plain(char c) {
	return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
	       (c >= '0' && c <= '9') ||
	       std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

}  // namespace

void shell_quote(std::string_view v, std::string &out) {
	bool all_plain = !v.empty();
	for (char c : v)
		all_plain = all_plain && plain(c);
	if (all_plain) {
		out.append(v);
		return;
	}
	out.push_back('\'');
	for (char c : v) {
		if (c == '\'')
			out.append("'\\''");
		else
			out.push_back(c);
	}
	out.push_back('\'');
}

std::string escaped(std::string_view text, std::string_view also, size_t max) {
	std::string out;
	for (unsigned char c : text) {
		if (out.size() >= max) {
			out.append("...");
			break;
		}
		if (c < 0x20 || c >= 0x7f || c == '\\' ||
		    also.find(static_cast<char>(c)) != also.npos) {
			char oct[5];
			snprintf(oct, sizeof oct, "\\%03o", c);
			out.append(oct);
		} else {
			out.push_back(static_cast<char>(c));
		}
	}
	return out;
}

}  // namespace spauth
