// Maintenance wrappers: drive update, drive-cage update, CBIOS flash, node
// rescue and MUP, one tool each (node rescue two).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qeldump.h"

constexpr const char *kAuthFailure = "\nAuthorization failure";

// qeldrive, qelcage -----------------------------------------------------

// The tool, then the cluster.
const LineFormat kDrivesLine = {"sudo -u stapp %s %s", 512};
const LineFormat kCageLine = {"sudo -u spcomm %s %s", 512};

namespace {

struct ClusterTool {
	const policy::Function &function;
	const char *usage;
	const LineFormat &line;
};
const ClusterTool kDrives = {policy::kDrives, "\nUSAGE: qeldrive <clustername>",
                             kDrivesLine};
const ClusterTool kCage = {policy::kCage, "\nUSAGE: qelcage <clustername>",
                           kCageLine};

// "\nqeldrive: invalid cluster name given (%s)\n", the same for qelcage.
int bad_cluster(const ClusterTool &t, const char *cluster) {
	printf("\n%s: invalid cluster name given (%s)\n", t.function.name,
	       cluster);
	return kStatusUsage;
}

int run_cluster_tool(const ClusterTool &t, int argc, char **argv) {
	if (argc < 2) {
		line(t.usage);
		return kStatusUsage;
	}
	const char *cluster = argv[1];
	if (!cluster_operand_ok(cluster, t.function))
		return bad_cluster(t, cluster);
	if (!permitted(t.function, cluster)) {
		line(kAuthFailure);
		return kStatusRefused;
	}
	if (ValidateCluster(cluster) != 0)
		return bad_cluster(t, cluster);
	const policy::Tool &tool = *t.function.tools[0];
	std::string cmd;
	if (!compose(cmd, t.line, {tool.path, cluster}))
		return too_long(t.function.name);
	return run_tool(tool.account, cluster, cmd);
}

}  // namespace

int doDrives(int argc, char **argv) {
	return run_cluster_tool(kDrives, argc, argv);
}
int doCage(int argc, char **argv) {
	return run_cluster_tool(kCage, argc, argv);
}

// qelbios ---------------------------------------------------------------

constexpr const char *kCBIOSUsage[] = {
    "\nUSAGE: qelbios <clustername> <level> [node#]",
    "\tflash CBIOS on a cluster/node"};
constexpr const char *kCBIOSBadCluster =
    "\nqelbios: invalid cluster name given: %s\n";
// The tool, then the cluster, the level and the node.
const LineFormat kCBIOSLine3 = {"sudo -u spcomm %s %s %s %s", 128};
const LineFormat kCBIOSLine2 = {"sudo -u spcomm %s %s %s", 128};

int doCBIOS(int argc, char **argv) {
	if (argc <= 2) {
		usage(kCBIOSUsage);
		return kStatusUsage;
	}
	const char *cluster = argv[1];
	if (!cluster_operand_ok(cluster, policy::kCBIOS)) {
		printf(kCBIOSBadCluster, cluster);
		return kStatusUsage;
	}
	if (!permitted(policy::kCBIOS, cluster)) {
		line("\nYou are not authorized to perform this function!!");
		return kStatusRefused;
	}
	// Composed before the cluster is tested; four or more operands pass
	// only the cluster and the level.
	const char *tool = policy::kFlashCBIOS.path;
	std::string cmd;
	bool fits =
	    argc == 4
	        ? compose(cmd, kCBIOSLine3, {tool, cluster, argv[2], argv[3]})
	        : compose(cmd, kCBIOSLine2, {tool, cluster, argv[2]});
	if (!fits)
		return too_long(policy::kCBIOS.name);
	if (ValidateCluster(cluster) != 0) {
		printf(kCBIOSBadCluster, cluster);
		return kStatusUsage;
	}
	return run_tool(policy::kFlashCBIOS.account, cluster, cmd);
}

// qelrescue -------------------------------------------------------------

constexpr const char *kRescueBadCluster =
    "\nqelrescue: invalid cluster name given (%s)\n";
constexpr const char *kRescueUsage =
    "\nqelrescue: usage: qelrescue cluster node reboot";
// binPath, then the cluster; the newline ends the command, as it always
// has. The other: the tool, then the cluster, the node and "reboot".
const LineFormat kRescueDataLine = {"sudo -u spcomm %s/getNodeRescueData %s\n",
                                    512};
const LineFormat kRescueLine = {"sudo -u spcomm %s %s %s %s", 512};

namespace {

bool rescue_cluster_ok(const char *cluster) {
	if (cluster_operand_ok(cluster, policy::kRescue) &&
	    ValidateCluster(cluster) == 0)
		return true;
	printf(kRescueBadCluster, cluster);
	return false;
}

}  // namespace

int doRescue(int argc, char **argv) {
	if (!permitted(policy::kRescue, "")) {
		line(kAuthFailure);
		return kStatusRefused;
	}
	std::string cmd;
	if (argc == 3) {
		if (std::strcmp(argv[1], "-S") != 0) {
			line("\nqelrescue: invalid invocation!");
			return kStatusUsage;
		}
		if (!rescue_cluster_ok(argv[2]))
			return kStatusUsage;
		if (!compose(cmd, kRescueDataLine, {binPath, argv[2]}))
			return too_long(policy::kRescue.name);
		return run_tool(policy::kNodeRescueData.account, argv[2], cmd);
	}
	if (argc != 4) {
		line(kRescueUsage);
		return kStatusUsage;
	}
	if (!rescue_cluster_ok(argv[1]))
		return kStatusUsage;
	if (!compose(cmd, kRescueLine,
	             {policy::kRescueScript.path, argv[1], argv[2], argv[3]}))
		return too_long(policy::kRescue.name);
	return run_tool(policy::kRescueScript.account, argv[1], cmd);
}

// qelmup ----------------------------------------------------------------

int doMUP(int, char **) {
	if (!policy::mup_marker_ok()) {
		audit_refusal(kBadMarker);
		exit(kStatusFailSafe);
	}
	return run_direct({policy::kMup.path}, "", policy::kMup.path);
}
