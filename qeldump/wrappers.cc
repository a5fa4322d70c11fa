// Maintenance wrappers: drive update, drive-cage update, CBIOS flash, node
// rescue and MUP, one tool each (node rescue two).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "handler.h"

namespace front {
namespace {

// After the tool: the cluster.
constexpr LineFormat kClusterLine = {" %s", 512};

// qeldrive and qelcage: one function, its usage and its tool each.
struct ClusterTool {
	const policy::Function &function;
	const char *usage_text;
	const policy::Tool &tool;
};
constexpr ClusterTool kDrivesTool = {
    policy::kDrives, "\nUSAGE: qeldrive <clustername>", policy::kDcup};
constexpr ClusterTool kCageTool = {
    policy::kCage, "\nUSAGE: qelcage <clustername>", policy::kDrvCageUp};

// "\nqeldrive: invalid cluster name given (%s)\n", the same for qelcage.
int bad_cluster(const ClusterTool &t, const char *cluster) {
	printf("\n%s: invalid cluster name given (%s)\n", t.function.name,
	       cluster);
	return kStatusUsage;
}

int run_cluster_tool(const ClusterTool &t, int argc, char **argv) {
	if (argc < 2) {
		print_line(t.usage_text);
		return kStatusUsage;
	}
	const char *cluster = argv[1];
	if (!gate_cluster(cluster, t.function))
		return bad_cluster(t, cluster);
	if (!gate_rule(t.function, cluster))
		return kStatusRefused;
	if (ValidateCluster(cluster) != 0)
		return bad_cluster(t, cluster);
	std::string line;
	if (!compose_line(line, t.tool, kClusterLine, {cluster}))
		return refuse_too_long(t.function.name);
	return run_line({&t.tool}, cluster, line);
}

}  // namespace

int doDrives(int argc, char **argv) {
	return run_cluster_tool(kDrivesTool, argc, argv);
}
int doCage(int argc, char **argv) {
	return run_cluster_tool(kCageTool, argc, argv);
}

// qelbios ---------------------------------------------------------------

namespace {

constexpr const char *kCBIOSUsage[] = {
    "\nUSAGE: qelbios <clustername> <level> [node#]",
    "\tflash CBIOS on a cluster/node"};
constexpr const char *kCBIOSBadCluster =
    "\nqelbios: invalid cluster name given: %s\n";
// After the tool: the cluster, the level and the node.
constexpr LineFormat kCBIOSLine3 = {" %s %s %s", 128};
constexpr LineFormat kCBIOSLine2 = {" %s %s", 128};

}  // namespace

int doCBIOS(int argc, char **argv) {
	if (argc <= 2) {
		print_usage(kCBIOSUsage);
		return kStatusUsage;
	}
	const char *cluster = argv[1];
	if (!gate_cluster(cluster, policy::kCBIOS)) {
		printf(kCBIOSBadCluster, cluster);
		return kStatusUsage;
	}
	if (!gate_rule(policy::kCBIOS, cluster))
		return kStatusRefused;
	// Composed before the cluster is tested; four or more operands pass
	// only the cluster and the level.
	const policy::Tool &tool = policy::kFlashCBIOS;
	std::string line;
	bool fits = argc == 4 ? compose_line(line, tool, kCBIOSLine3,
	                                     {cluster, argv[2], argv[3]})
	                      : compose_line(line, tool, kCBIOSLine2,
	                                     {cluster, argv[2]});
	if (!fits)
		return refuse_too_long(policy::kCBIOS.name);
	if (ValidateCluster(cluster) != 0) {
		printf(kCBIOSBadCluster, cluster);
		return kStatusUsage;
	}
	return run_line({&tool}, cluster, line);
}

// qelrescue -------------------------------------------------------------

namespace {

constexpr const char *kRescueBadCluster =
    "\nqelrescue: invalid cluster name given (%s)\n";
constexpr const char *kRescueUsage =
    "\nqelrescue: usage: qelrescue cluster node reboot";
// After getNodeRescueData: the cluster; the newline ends the command, as
// it always has. After the rescue script: the cluster, the node and
// "reboot".
constexpr LineFormat kRescueDataLine = {" %s\n", 512};
constexpr LineFormat kRescueLine = {" %s %s %s", 512};

bool rescue_cluster_ok(const char *cluster) {
	if (gate_cluster(cluster, policy::kRescue) &&
	    ValidateCluster(cluster) == 0)
		return true;
	printf(kRescueBadCluster, cluster);
	return false;
}

// qelrescue -S CLUSTER.
int rescue_data(char **argv) {
	if (std::strcmp(argv[1], "-S") != 0) {
		print_line("\nqelrescue: invalid invocation!");
		return kStatusUsage;
	}
	if (!rescue_cluster_ok(argv[2]))
		return kStatusUsage;
	std::string line;
	if (!compose_line(line, policy::kNodeRescueData, kRescueDataLine,
	                  {argv[2]}))
		return refuse_too_long(policy::kRescue.name);
	return run_line({&policy::kNodeRescueData}, argv[2], line);
}

}  // namespace

int doRescue(int argc, char **argv) {
	if (!gate_rule(policy::kRescue, ""))
		return kStatusRefused;
	if (argc == 3)
		return rescue_data(argv);
	if (argc != 4) {
		print_line(kRescueUsage);
		return kStatusUsage;
	}
	if (!rescue_cluster_ok(argv[1]))
		return kStatusUsage;
	std::string line;
	if (!compose_line(line, policy::kRescueScript, kRescueLine,
	                  {argv[1], argv[2], argv[3]}))
		return refuse_too_long(policy::kRescue.name);
	return run_line({&policy::kRescueScript}, argv[1], line);
}

// qelmup ----------------------------------------------------------------

// A refused marker ends the process here, with nothing printed.
int doMUP(int, char **) {
	if (!policy::mup_marker_ok()) {
		audit_refusal(kReasonBadMarker);
		exit(kStatusNoMarker);
	}
	return run_line({&policy::kMup}, "", policy::kMup.path);
}

}  // namespace front
