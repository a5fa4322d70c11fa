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
constexpr const char *kTeePrefix = "/sp/prod/code/csst/bin/npTee ";
constexpr const char *kTeeLog = "/sp/tmp/Corvane_log.";
constexpr const char *kCorvanexScript = "/sp/prod/code/csst/bin/Corvanex.sh ";

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
	if (!notee) {
		cmd.append(kTeePrefix);
		spauth::shell_quote(std::string(kTeeLog).append(cluster), cmd);
		cmd.push_back(' ');
	}
	cmd.append(kCorvanexScript)
	    .append(DONTLOCK ? "-L " : "")
	    .append(" ")
	    .append(notee ? "-t " : "")
	    .append(" ");
	spauth::shell_quote(cluster, cmd);
	cmd.push_back(' ');
	if (optind < argc)
		spauth::shell_quote(argv[optind], cmd);
	if (cmd.size() >= kCorvanexLineSize)
		return too_long("Corvanex");
	return run_tool("root", cluster, cmd);
}
