// Corvanex: the diagnostic data archive of one cluster, logged through
// npTee unless -t is given.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "SP_auth/internal.h"
#include "qeldump.h"

// 79: what the rule's 128-byte buffer leaves for the cluster
const Rule kCorvanexRule = {"U=0:U=%d:U=%d:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
                            {508, 509, 507, 512},
                            128,
                            79};
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
		out.append(kNpTee).push_back(' ');
		spauth::shell_quote(std::string(kTeeLog).append(cluster), out);
		out.push_back(' ');
	}
	out.append(kCorvanexScript)
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
			return 119;
		}
	}
	if (argc <= 1 || optind >= argc) {
		usage(kCorvanexUsage);
		return 119;
	}
	const char *cluster = argv[optind++];
	if (!cluster_operand_ok(cluster, kCorvanexRule.cluster_max) ||
	    ValidateCluster(cluster) != 0) {
		printf(kCorvanexBadCluster, cluster);
		return 119;
	}
	if (!permitted(kCorvanexRule, cluster)) {
		printf("\nAuthorization failure (UID=%d)\n",
		       static_cast<int>(myuid));
		return 120;
	}
	std::string cmd;
	if (!compose_corvanex_line(cmd, DONTLOCK, notee, cluster,
	                           optind < argc ? argv[optind] : nullptr))
		return too_long("Corvanex");
	if (notee)
		return run_direct({kCorvanexScript}, cluster, cmd);
	return run_direct({kNpTee, kCorvanexScript}, cluster, cmd);
}
