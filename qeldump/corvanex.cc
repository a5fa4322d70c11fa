// Corvanex: the diagnostic data archive of one cluster, logged through
// npTee unless -t is given.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "qeldump.h"

using policy::kCorvanex;

constexpr size_t kCorvanexLineSize = 512;
constexpr const char *kCorvanexOptions = "Lt";
constexpr const char *kCorvanexUsage[] = {
    "\nUSAGE: Corvanex <clustername>",
    "\tCreate Corvanex data archive for a given cluster"};
constexpr const char *kCorvanexBadCluster =
    "\nCorvanex: invalid cluster name given: %s\n";
// "%s/sp/prod/code/csst/bin/Corvanex.sh %s %s %s %s": tee prefix, "-L ",
// "-t ", cluster, the operand after it. The prefix names the log file.
constexpr const char *kTeeLog = "/sp/tmp/Corvane_log.";

bool compose_corvanex_line(std::string &out, bool dontlock, bool notee,
                           std::string_view cluster, const char *fifth) {
	out.clear();
	if (!notee) {
		out.append(policy::kNpTee.path).push_back(' ');
		spauth::shell_quote(std::string(kTeeLog).append(cluster), out);
		out.push_back(' ');
	}
	out.append(policy::kCorvanexScript.path)
	    .append(" ")
	    .append(dontlock ? "-L " : "")
	    .append(" ")
	    .append(notee ? "-t " : "")
	    .append(" ");
	spauth::shell_quote(cluster, out);
	out.push_back(' ');
	if (fifth != nullptr)
		spauth::shell_quote(fifth, out);
	return out.size() < kCorvanexLineSize;
}

int doCorvanex(int argc, char **argv) {
	bool DONTLOCK = false, notee = false;
	for (int opt; (opt = getopt(argc, argv, kCorvanexOptions)) != -1;) {
		if (opt == 'L') {
			DONTLOCK = true;
		} else if (opt == 't') {
			notee = true;
		} else {
			printf("\nCorvanex: invalid option specified %c\n",
			       optopt);
			return kStatusUsage;
		}
	}
	if (argc <= 1 || optind >= argc) {
		usage(kCorvanexUsage);
		return kStatusUsage;
	}
	const char *cluster = argv[optind++];
	if (!cluster_operand_ok(cluster, kCorvanex) ||
	    ValidateCluster(cluster) != 0) {
		printf(kCorvanexBadCluster, cluster);
		return kStatusUsage;
	}
	if (!permitted(kCorvanex, cluster)) {
		printf("\nAuthorization failure (UID=%d)\n",
		       static_cast<int>(myuid));
		return kStatusRefused;
	}
	std::string cmd;
	if (!compose_corvanex_line(cmd, DONTLOCK, notee, cluster,
	                           optind < argc ? argv[optind] : nullptr))
		return too_long(kCorvanex.name);
	const char *script = policy::kCorvanexScript.path;
	if (notee)
		return run_direct({script}, cluster, cmd);
	return run_direct({policy::kNpTee.path, script}, cluster, cmd);
}
