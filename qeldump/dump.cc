// qeldump: retrieve core files or panic dumps of one node, or all nodes.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "handler.h"

namespace front {

using policy::kDump;

namespace {

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
// After the tool: (after -D) the cluster, the node and the output file;
// by -D, then by whether an output file name is present.
constexpr LineFormat kDumpLines[2][2] = {
    {{" %s %s", 512}, {" %s %s %s", 512}},
    {{" -D %s %s", 512}, {" -D %s %s %s", 512}},
};

// One run of qeldump: what its options asked for (-I and -N keep their
// first characters), the tool its dump type names, the cluster, and
// whether it ran out of operands.
struct Dump {
	bool nodelete = false, iaddr = false, snumber = false;
	std::string IPADDR, SERIAL, nodename;
	const policy::Tool *tool = nullptr;
	bool too_few = false;
};

// The next operand, or null when there is none (too few).
const char *next_operand(int argc, char **argv, Dump &d) {
	if (optind < argc)
		return argv[optind++];
	d.too_few = true;
	return nullptr;
}

// Scans the options; false, with the usage and the reason, on an error.
bool scan_options(int argc, char **argv, Dump &d) {
	for (int opt; (opt = getopt(argc, argv, kDumpOptions)) != -1;) {
		if (opt == 'D') {
			d.nodelete = true;
		} else if (opt == 'I') {
			d.IPADDR =
			    std::string(optarg).substr(0, policy::kIpMax);
			d.iaddr = true;
		} else if (opt == 'N') {
			d.SERIAL =
			    std::string(optarg).substr(0, policy::kSerialMax);
			d.snumber = true;
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

// The dump type names the tool: 0, or the status to end with.
int take_dump_type(const char *dmptype, Dump &d) {
	if (std::strlen(dmptype) > kDumpTypeMax)
		return refuse_too_long(kDump.name);
	if (strcasecmp(dmptype, "panic") == 0)
		d.tool = &policy::kGetPanicDump;
	else if (strcasecmp(dmptype, "core") == 0)
		d.tool = &policy::kGetCoreDump;
	if (d.tool != nullptr)
		return 0;
	printf("Unsuppored function requested (%s)\n", dmptype);
	return kStatusDumpBadType;
}

// The cluster: found by -I or -N, or the next operand, and registered;
// 0, or the status to end with.
int find_cluster(int argc, char **argv, Dump &d) {
	if (d.iaddr || d.snumber) {
		d.nodename = d.iaddr ? getSysName(d.IPADDR.c_str(), nullptr)
		                     : getSysName(nullptr, d.SERIAL.c_str());
		if (d.nodename.empty())
			return kStatusDumpNotLocated;
	} else if (const char *operand = next_operand(argc, argv, d)) {
		d.nodename = operand;
	} else {
		return kStatusUsage;
	}
	if (!gate_cluster(d.nodename, kDump) ||
	    ValidateCluster(d.nodename.c_str()) != 0) {
		printf(kDumpBadCluster, d.nodename.c_str());
		return kStatusDumpUnregistered;
	}
	return 0;
}

// The gates in their order, then the run: its status.
int dump(int argc, char **argv, Dump &d) {
	if (!scan_options(argc, argv, d))
		return kStatusDumpOptions;
	const char *dmptype = next_operand(argc, argv, d);
	if (dmptype == nullptr)
		return kStatusUsage;
	if (int rc = take_dump_type(dmptype, d))
		return rc;
	if (d.iaddr && d.snumber) {
		dumpUSAGE();
		print_line("\n-I and -N are mutually exclusive");
		print_line("Please specify only one of -I, -N, or clustername");
		return kStatusDumpOptions;
	}
	if (int rc = find_cluster(argc, argv, d))
		return rc;
	if (!gate_rule(kDump, d.nodename))
		return kStatusRefused;
	const char *node = next_operand(argc, argv, d);
	if (node == nullptr)
		return kStatusUsage;
	const char *ofilename = optind < argc ? argv[optind] : "";
	std::string line;
	if (!compose_line(line, *d.tool,
	                  kDumpLines[d.nodelete][ofilename[0] != '\0'],
	                  {d.nodename, node, ofilename}))
		return refuse_too_long(kDump.name);
	return run_line({d.tool}, d.nodename, line);
}

}  // namespace

void dumpUSAGE() {
	print_usage(kDumpUsage);
}

// Too few operands end the process here, wherever they are found.
int doDump(int argc, char **argv) {
	Dump d;
	d.too_few = argc <= 2;
	int rc = d.too_few ? kStatusUsage : dump(argc, argv, d);
	if (!d.too_few)
		return rc;
	dumpUSAGE();
	print_line(kDumpTooFew);
	exit(kStatusUsage);
}

}  // namespace front
