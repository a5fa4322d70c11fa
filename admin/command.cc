// spauth verify's command line and how it ends: the installation in place
// or under a root, or one candidate registry file; text or one document.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "SP_auth/internal.h"
#include "admin.h"
#include "findings.h"

namespace {

// One option's value, once, within a path's size.
bool take(std::string &into, int &i, int argc, char **argv) {
	if (!into.empty() || i + 1 >= argc || argv[i + 1][0] == '\0' ||
	    std::strlen(argv[i + 1]) >= PATH_MAX)
		return false;
	into = argv[++i];
	return true;
}

bool parse(int argc, char **argv, VerifyRun &run, bool &json) {
	json = false;
	for (int i = 0; i < argc; ++i) {
		std::string_view word = argv[i];
		if (word == "--json" && !json)
			json = true;
		else if (word == "--root" ? !take(run.root, i, argc, argv)
		         : word == "--registry-file"
		             ? !take(run.registry_file, i, argc, argv)
		             : true)
			return false;
	}
	return true;
}

// The audit, inside the root when there is one: the same code as in
// place.
void audit(VerifyRun &run) {
	if (!run.root.empty() &&
	    (chroot(run.root.c_str()) != 0 || chdir("/") != 0)) {
		run.error = "cannot enter " + run.root + ": " + strerror(errno);
		run.complete = false;
		return;
	}
	run.entered = !run.root.empty();
	if (run.registry_file.empty())
		verify_installation(!run.root.empty());
	else
		run.complete =
		    check_registry_file(run.registry_file.c_str(), run.error);
}

}  // namespace

int verify_command(int argc, char **argv, const char *usage) {
	VerifyRun run;
	bool json;
	if (!parse(argc, argv, run, json)) {
		fputs(usage, stderr);
		return kVerifyUsage;
	}
	if (geteuid() != 0) {
		fputs("spauth verify: must be run as root\n", stderr);
		return kVerifyUsage;
	}
	if (json)
		findings::keep_for_document();
	audit(run);
	bool written = (!json || print_document(run)) && fflush(stdout) == 0;
	if (!written && run.complete)
		run.error = "cannot write the report", run.complete = false;
	if (!run.complete) {
		fprintf(stderr, "spauth verify: %s\n",
		        spauth::escaped(run.error).c_str());
		return kVerifyIncomplete;
	}
	return findings::count() == 0 ? kVerifyClean : kVerifyFindings;
}
