// Maintenance wrappers: drive update, drive-cage update, CBIOS flash, node
// rescue and MUP, one tool each.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SP_auth/internal.h"
#include "qeldump.h"

const Rule kDrivesRule = {"U=0:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
                          {509, 512},
                          512,
                          spauth::kClusterMax};
const Rule kCageRule = {"U=0:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
                        {509, 512},
                        512,
                        spauth::kClusterMax};
// 91: what the rule's 128-byte buffer leaves for the cluster
const Rule kCBIOSRule = {
    "U=0:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s", {508, 509}, 128, 91};
// No cluster term: the cluster is bounded by the registry path.
const Rule kRescueRule = {
    "U=0:U=%d:G=qeloem:G=qelsvc", {509}, 512, kValidateMax};

constexpr const char *kAuthFailure = "\nAuthorization failure";

// qeldrive, qelcage -----------------------------------------------------

struct ClusterTool {
	const char *name;
	const Rule &rule;
	const char *usage;
	const char *account;
	const LineFormat &line;
};

const LineFormat kDrivesLine = {"sudo -u stapp /sp/prod/code/csst/bin/Dcup %s",
                                512};
const LineFormat kCageLine = {
    "sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp %s", 512};
const ClusterTool kDrives = {"qeldrive", kDrivesRule,
                             "\nUSAGE: qeldrive <clustername>", "stapp",
                             kDrivesLine};
const ClusterTool kCage = {"qelcage", kCageRule,
                           "\nUSAGE: qelcage <clustername>", "spcomm",
                           kCageLine};

namespace {

// "\nqeldrive: invalid cluster name given (%s)\n", the same for qelcage.
int bad_cluster(const ClusterTool &t, const char *cluster) {
	printf("\n%s: invalid cluster name given (%s)\n", t.name, cluster);
	return 119;
}

int run_cluster_tool(const ClusterTool &t, int argc, char **argv) {
	if (argc < 2) {
		line(t.usage);
		return 119;
	}
	const char *cluster = argv[1];
	if (!cluster_operand_ok(cluster, t.rule.cluster_max))
		return bad_cluster(t, cluster);
	if (!permitted(t.rule, cluster)) {
		line(kAuthFailure);
		return 120;
	}
	if (ValidateCluster(cluster) != 0)
		return bad_cluster(t, cluster);
	std::string cmd;
	if (!compose(cmd, t.line, {cluster}))
		return too_long(t.name);
	return run_tool(t.account, cluster, cmd);
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
const LineFormat kCBIOSLine3 = {
    "sudo -u spcomm /home/spcomm/bin/flashCBIOS %s %s %s", 128};
const LineFormat kCBIOSLine2 = {
    "sudo -u spcomm /home/spcomm/bin/flashCBIOS %s %s", 128};

int doCBIOS(int argc, char **argv) {
	if (argc <= 2) {
		usage(kCBIOSUsage);
		return 119;
	}
	const char *cluster = argv[1];
	if (!cluster_operand_ok(cluster, kCBIOSRule.cluster_max)) {
		printf(kCBIOSBadCluster, cluster);
		return 119;
	}
	if (!permitted(kCBIOSRule, cluster)) {
		line("\nYou are not authorized to perform this function!!");
		return 120;
	}
	// Composed before the cluster is tested; four or more operands pass
	// only the cluster and the level.
	std::string cmd;
	bool fits = argc == 4
	                ? compose(cmd, kCBIOSLine3, {cluster, argv[2], argv[3]})
	                : compose(cmd, kCBIOSLine2, {cluster, argv[2]});
	if (!fits)
		return too_long("qelbios");
	if (ValidateCluster(cluster) != 0) {
		printf(kCBIOSBadCluster, cluster);
		return 119;
	}
	return run_tool("spcomm", cluster, cmd);
}

// qelrescue -------------------------------------------------------------

constexpr const char *kRescueBadCluster =
    "\nqelrescue: invalid cluster name given (%s)\n";
constexpr const char *kRescueUsage =
    "\nqelrescue: usage: qelrescue cluster node reboot";
// The newline ends the command, as it always has.
const LineFormat kRescueDataLine = {"sudo -u spcomm %s/getNodeRescueData %s\n",
                                    512};
const LineFormat kRescueLine = {
    "sudo -u spcomm /home/spcomm/bin/qelrescue.sh %s %s %s", 512};

namespace {

bool rescue_cluster_ok(const char *cluster) {
	if (cluster_operand_ok(cluster, kRescueRule.cluster_max) &&
	    ValidateCluster(cluster) == 0)
		return true;
	printf(kRescueBadCluster, cluster);
	return false;
}

}  // namespace

int doRescue(int argc, char **argv) {
	if (!permitted(kRescueRule, "")) {
		line(kAuthFailure);
		return 120;
	}
	std::string cmd;
	if (argc == 3) {
		if (std::strcmp(argv[1], "-S") != 0) {
			line("\nqelrescue: invalid invocation!");
			return 119;
		}
		if (!rescue_cluster_ok(argv[2]))
			return 119;
		if (!compose(cmd, kRescueDataLine, {binPath, argv[2]}))
			return too_long("qelrescue");
		return run_tool("spcomm", argv[2], cmd);
	}
	if (argc != 4) {
		line(kRescueUsage);
		return 119;
	}
	if (!rescue_cluster_ok(argv[1]))
		return 119;
	if (!compose(cmd, kRescueLine, {argv[1], argv[2], argv[3]}))
		return too_long("qelrescue");
	return run_tool("spcomm", argv[1], cmd);
}

// qelmup ----------------------------------------------------------------

constexpr const char *kMupMarker = "/tmp/spmup.tar";
constexpr const char *kMupLine = kMup;

// Anyone can create a file in /tmp: only a regular file that root or the
// service account owns, that nobody else may write, and that is no hard
// link to another file, enables MUP; and, as it always has, only one that
// root may write now (not on a read-only file system).
bool mup_marker_ok() {
	struct stat st;
	if (lstat(kMupMarker, &st) != 0 || !S_ISREG(st.st_mode) ||
	    st.st_nlink != 1 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
	    access(kMupMarker, W_OK) != 0)
		return false;
	if (st.st_uid == 0)
		return true;
	user_profile *spcomm =
	    get_user_profile(SPAUTH_BY_NAME, const_cast<char *>("spcomm"));
	bool ok = spcomm != nullptr && st.st_uid == spcomm->uid;
	free_user(spcomm);
	return ok;
}

int doMUP(int, char **) {
	if (!mup_marker_ok()) {
		audit_refusal(kBadMarker);
		exit(255);
	}
	return run_direct({kMup}, "", kMupLine);
}
