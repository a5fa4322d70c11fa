// qelcmd: run a command on one node, or all nodes, of a cluster.
#include <cstdio>
#include <cstring>
#include <string>

#include "handler.h"

namespace front {

using policy::kCmd;

namespace {

// After callnode: the mode flag, the cluster and the node; the command
// words follow, each piece quoted and followed by a blank. The line is
// bounded at 1023 bytes with its terminator.
constexpr LineFormat kCmdLine = {" %s %s %s ", 1023};
constexpr size_t kJoinedSize = 1024;  // the joined command words
constexpr const char *kCmdUsage[] = {
    "\nUSAGE: qelcmd <clustername> <node>|all <command>",
    "\texecute command on a cluster/node"};
constexpr const char *kCmdBadCluster =
    "\nqelcmd: invalid cluster name given: %s\n";
constexpr const char *kCmdTooLong = "\nqelcmd: command too long\n";

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

int bad_cluster(const char *cluster) {
	printf(kCmdBadCluster, cluster);
	return kStatusUsage;
}

}  // namespace

bool compose_cmd_line(std::string &out, std::string_view flag,
                      std::string_view cluster, std::string_view node,
                      int nwords, char *const *words) {
	compose_line(out, policy::kCallnode, kCmdLine, {flag, cluster, node});
	for (int i = 0; i < nwords; ++i)
		append_pieces(words[i], out);
	return out.size() < kCmdLine.size;
}

int doCMD(int argc, char **argv) {
	const char *cluster = argc >= 2 ? argv[1] : "XXX";
	if (!gate_cluster(cluster, kCmd))
		return bad_cluster(cluster);
	// The exception's uid passes the rule, held to its commands below.
	bool excepted_uid = myuid == kCmd.exception->uid;
	if (!excepted_uid && !gate_rule(kCmd, cluster))
		return kStatusRefused;
	if (argc <= 3) {
		print_usage(kCmdUsage);
		return kStatusUsage;
	}
	if (ValidateCluster(cluster) != 0)
		return bad_cluster(cluster);
	int first = 3;
	const char *flag = "-s";
	if (std::strcmp(argv[3], "-t") == 0) {
		flag = "-t";
		first = 4;
	}
	std::string joined;
	for (int i = first; i < argc; ++i)
		joined.append(argv[i]).push_back(' ');
	if (excepted_uid && !policy::excepted(*kCmd.exception, joined))
		return refuse(kCmd, kReasonNotAllowed);
	std::string line;
	if (joined.size() >= kJoinedSize ||
	    !compose_cmd_line(line, flag, cluster, argv[2], argc - first,
	                      argv + first)) {
		printf("%s", kCmdTooLong);
		return kStatusUsage;
	}
	return run_line({&policy::kCallnode}, cluster, line);
}

}  // namespace front
