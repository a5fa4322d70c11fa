// The front end's messages on standard output.
#include <cstdio>
#include <string>

#include "handler.h"

namespace front {

void print_line(const char *text) {
	fputs(text, stdout);
	fputc('\n', stdout);
}

int refuse_too_long(const char *name) {
	printf("\n%s: parameter too long\n", name);
	return kStatusUsage;
}

// The function's own refusal; its %d place, if any, takes the caller's uid.
int refuse(const policy::Function &f, const char *reason) {
	audit_refusal(reason);
	std::string text = f.refusal;
	if (size_t at = text.find("%d"); at != text.npos)
		text.replace(at, 2, std::to_string(static_cast<int>(myuid)));
	fputs(text.c_str(), stdout);
	return kStatusRefused;
}

}  // namespace front
