// Corvanex: the diagnostic data archive of one cluster, logged through
// npTee unless -t is given.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "handler.h"

namespace front {

using policy::kCorvanex;

namespace {

constexpr size_t kCorvanexLineSize = 512;
constexpr const char *kCorvanexOptions = "Lt";
constexpr const char *kCorvanexUsage[] = {
    "\nUSAGE: Corvanex <clustername>",
    "\tCreate Corvanex data archive for a given cluster"};
constexpr const char *kCorvanexBadCluster =
    "\nCorvanex: invalid cluster name given: %s\n";
// After npTee: the log it writes, then the line it runs.
constexpr LineFormat kTeeLine = {" %s ", kCorvanexLineSize};

}  // namespace

// The script's places are "-L " or nothing, "-t " or nothing, the cluster
// and the operand after it or nothing, one blank between each two, as the
// line has always been.
bool compose_corvanex_line(std::string &out, bool dontlock, bool notee,
                           std::string_view cluster, const char *fifth) {
	out.clear();
	if (!notee)
		compose_line(
		    out, policy::kNpTee, kTeeLine,
		    {std::string(policy::kArchiveLog).append(cluster)});
	spauth::shell_quote(policy::kCorvanexScript.path, out);
	out.append(" ")
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
		print_usage(kCorvanexUsage);
		return kStatusUsage;
	}
	const char *cluster = argv[optind++];
	if (!gate_cluster(cluster, kCorvanex) ||
	    ValidateCluster(cluster) != 0) {
		printf(kCorvanexBadCluster, cluster);
		return kStatusUsage;
	}
	if (!gate_rule(kCorvanex, cluster))
		return kStatusRefused;
	std::string line;
	if (!compose_corvanex_line(line, DONTLOCK, notee, cluster,
	                           optind < argc ? argv[optind] : nullptr))
		return refuse_too_long(kCorvanex.name);
	if (notee)
		return run_line({&policy::kCorvanexScript}, cluster, line);
	return run_line({&policy::kNpTee, &policy::kCorvanexScript}, cluster,
	                line);
}

}  // namespace front
