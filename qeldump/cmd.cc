// qelcmd: run a command on one node, or all nodes, of a cluster.
#include <cstdio>
#include <cstring>
#include <string>

#include "qeldump.h"

using policy::kCmd;

// callnode, then the mode flag, the cluster and the node; the command
// words follow, each piece quoted and followed by a blank. The line is
// bounded at 1023 bytes with its terminator.
const LineFormat kCmdLine = {"%s %s %s %s ", 1023};
constexpr size_t kJoinedSize = 1024;  // the joined command words
constexpr const char *kCmdUsage[] = {
    "\nUSAGE: qelcmd <clustername> <node>|all <command>",
    "\texecute command on a cluster/node"};
constexpr const char *kCmdDenied =
    "\nYou are not authorized to perform this function!!";
constexpr const char *kCmdBadCluster =
    "\nqelcmd: invalid cluster name given: %s\n";
constexpr const char *kCmdTooLong = "\nqelcmd: command too long\n";

// As stored, each with its one trailing blank.
constexpr const char *kUpgradeScripts[] = {
    (QEL_TOOL_DIR "/upgrade_scripts/pre_check/check_clustercore_flag/"
                  "check_clustercore_flag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/upgrade_check/"
                  "check_clustercore_flag/check_clustercore_flag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/upgrade_check/check_defrag/"
                  "check_defrag.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/post_check/"
                  "check_cluster_update_flags/up_cexflagcheck.sh "),
    (QEL_TOOL_DIR "/upgrade_scripts/post_check/check_defrag/"
                  "check_defrag.sh "),
};

namespace {

// The joined text agrees with the start of an allowed command over its own
// length; so one script path as a single word, or nothing.
bool admitted(std::string_view joined) {
	for (std::string_view allowed : kUpgradeScripts)
		if (allowed.starts_with(joined))
			return true;
	return false;
}

// Appends word as the shell would split it unquoted (at blanks, tabs and
// newlines), each piece quoted and followed by one blank.
void append_pieces(std::string_view word, std::string &out) {
	size_t i = 0;
	while (i < word.size()) {
		i = word.find_first_not_of(" \t\n", i);
		if (i == word.npos)
			break;
		size_t end = word.find_first_of(" \t\n", i);
		if (end == word.npos)
			end = word.size();
		spauth::shell_quote(word.substr(i, end - i), out);
		out.push_back(' ');
		i = end;
	}
}

}  // namespace

bool compose_cmd_line(std::string &out, std::string_view flag,
                      std::string_view cluster, std::string_view node,
                      int nwords, char *const *words) {
	compose(out, kCmdLine, {policy::kCallnode.path, flag, cluster, node});
	for (int i = 0; i < nwords; ++i)
		append_pieces(words[i], out);
	return out.size() < kCmdLine.size;
}

int doCMD(int argc, char **argv) {
	const char *cluster = argc >= 2 ? argv[1] : "XXX";
	if (!cluster_operand_ok(cluster, kCmd)) {
		printf(kCmdBadCluster, cluster);
		return kStatusUsage;
	}
	if (myuid != policy::kUpgradeUid && !permitted(kCmd, cluster)) {
		line(kCmdDenied);
		return kStatusRefused;
	}
	if (argc <= 3) {
		usage(kCmdUsage);
		return kStatusUsage;
	}
	if (ValidateCluster(cluster) != 0) {
		printf(kCmdBadCluster, cluster);
		return kStatusUsage;
	}
	int first = 3;
	const char *flag = "-s";
	if (std::strcmp(argv[3], "-t") == 0) {
		flag = "-t";
		first = 4;
	}
	std::string joined;
	for (int i = first; i < argc; ++i)
		joined.append(argv[i]).push_back(' ');
	if (myuid == policy::kUpgradeUid && !admitted(joined)) {
		audit_refusal(kNotAllowed);
		line(kCmdDenied);
		return kStatusRefused;
	}
	std::string cmd;
	if (joined.size() >= kJoinedSize ||
	    !compose_cmd_line(cmd, flag, cluster, argv[2], argc - first,
	                      argv + first)) {
		printf("%s", kCmdTooLong);
		return kStatusUsage;
	}
	return run_direct({policy::kCallnode.path}, cluster, cmd);
}
