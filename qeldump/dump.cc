// qeldump: retrieve core files or panic dumps of one node, or all nodes.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "qeldump.h"

using policy::kDump;

constexpr size_t kDumpTypeMax = 31;
constexpr const char *kDumpOptions = "DI:N:";
constexpr const char *kDumpUsage[] = {
    ("\n\nUSAGE: qeldump [-D] [-I <ip>] [-N <snum>] core|panic <clustername> "
     "node"),
    "\n\tRetrieve, analyze, and transfer system or application",
    "core files.  One, and only one, of the -I, -N, or ",
    "clustername parameters MUST be entered",
    "\n\t-D\tDo NOT delete dumps afer processing",
    "\tcore\tretrieve any application cores",
    "\tpanic\tretrieve panic dumps",
    "\t-I <ip>\tIPaddress of cluster",
    "\t-N <snum>\tSerial Number of cluster",
    "\tclustername\tconfigured cluster (see clmaint display all)",
    "\tnode\tnode number or all",
};
constexpr const char *kDumpTooFew = "\nToo few parameters entered!!";
constexpr const char *kDumpBadCluster =
    "\nqeldump: invalid cluster name given (%s)\n";
// The tool, then (after -D) the cluster, the node and the output file;
// by -D, then by whether an output file name is present.
const LineFormat kDumpLines[2][2] = {
    {{"sudo -u spcomm %s %s %s", 512}, {"sudo -u spcomm %s %s %s %s", 512}},
    {{"sudo -u spcomm %s -D %s %s", 512},
     {"sudo -u spcomm %s -D %s %s %s", 512}},
};

void dumpUSAGE() {
	usage(kDumpUsage);
}

namespace {

[[noreturn]] void too_few() {
	dumpUSAGE();
	line(kDumpTooFew);
	exit(kStatusUsage);
}

// What the options asked for; -I and -N keep their first characters.
struct DumpOptions {
	bool nodelete = false, iaddr = false, snumber = false;
	std::string IPADDR, SERIAL;
};

// Scans the options; false, with the usage and the reason, on an error.
bool scan_options(int argc, char **argv, DumpOptions &o) {
	for (int opt; (opt = getopt(argc, argv, kDumpOptions)) != -1;) {
		if (opt == 'D') {
			o.nodelete = true;
		} else if (opt == 'I') {
			o.IPADDR =
			    std::string(optarg).substr(0, policy::kIpMax);
			o.iaddr = true;
		} else if (opt == 'N') {
			o.SERIAL =
			    std::string(optarg).substr(0, policy::kSerialMax);
			o.snumber = true;
		} else {
			dumpUSAGE();
			printf(optopt == 'I' || optopt == 'N'
			           ? "\nInvalid invocation for parameter (%c)\n"
			           : "\nInvalid parameter entered (%c)\n",
			       optopt);
			return false;
		}
	}
	return true;
}

// The cluster: found by -I or -N, or the next operand, and registered;
// 0, or the status to end with.
int find_cluster(int argc, char **argv, const DumpOptions &o,
                 std::string &nodename) {
	if (o.iaddr || o.snumber) {
		nodename = o.iaddr ? getSysName(o.IPADDR.c_str(), nullptr)
		                   : getSysName(nullptr, o.SERIAL.c_str());
		if (nodename.empty())
			return kStatusDumpUsage;
	} else {
		if (optind >= argc)
			too_few();
		nodename = argv[optind++];
	}
	if (!cluster_operand_ok(nodename, kDump) ||
	    ValidateCluster(nodename.c_str()) != 0) {
		printf(kDumpBadCluster, nodename.c_str());
		return kStatusDumpRefused;
	}
	return 0;
}

}  // namespace

int doDump(int argc, char **argv) {
	if (argc <= 2)
		too_few();
	DumpOptions o;
	if (!scan_options(argc, argv, o))
		return kStatusDumpUsage;
	if (optind >= argc)
		too_few();
	const char *dmptype = argv[optind++];
	if (std::strlen(dmptype) > kDumpTypeMax)
		return too_long(kDump.name);
	if (strcasecmp(dmptype, "panic") != 0 &&
	    strcasecmp(dmptype, "core") != 0) {
		printf("Unsuppored function requested (%s)\n", dmptype);
		return kStatusDumpRefused;
	}
	if (o.iaddr && o.snumber) {
		dumpUSAGE();
		line("\n-I and -N are mutually exclusive");
		line("Please specify only one of -I, -N, or clustername");
		return kStatusDumpUsage;
	}
	std::string nodename;
	if (int rc = find_cluster(argc, argv, o, nodename))
		return rc;
	if (!permitted(kDump, nodename)) {
		line("\nAuthorization failure");
		return kStatusRefused;
	}
	if (optind >= argc)
		too_few();
	const char *node = argv[optind++];
	const char *ofilename = optind < argc ? argv[optind] : "";
	const char *scrname =
	    strcasecmp(dmptype, "panic") == 0 ? NAMEPANIC : NAMECORE;
	std::string args;
	if (!compose(args, kDumpLines[o.nodelete][ofilename[0] != '\0'],
	             {scrname, nodename, node, ofilename}))
		return too_long(kDump.name);
	return run_tool(policy::kSpcomm, nodename, args);
}
