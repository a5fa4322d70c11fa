// The one quoting rule for every value that goes into a shell line.
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

}  // namespace spauth
