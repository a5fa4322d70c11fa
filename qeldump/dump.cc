// qeldump: retrieve core files or panic dumps of one node, or all nodes.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "qeldump.h"

const Rule kDumpRule = {"U=0:U=%d:U=%d:U=%d:U=%d:G=qeloem:G=qelsvc:C=%s",
                        {508, 509, 507, 512},
                        512,
                        63};
constexpr size_t kDumpTypeMax = 31;
constexpr size_t kIpAddrMax = 15;  // -I and -N keep their first characters
constexpr size_t kSerialMax = 7;
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
// By -D, then by whether an output file name is present.
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
	exit(119);
}

}  // namespace

int doDump(int argc, char **argv) {
	if (argc <= 2)
		too_few();
	bool nodelete = false, iaddr = false, snumber = false;
	std::string IPADDR, SERIAL;
	for (int opt; (opt = getopt(argc, argv, kDumpOptions)) != -1;) {
		switch (opt) {
		case 'D':
			nodelete = true;
			break;
		case 'I':
			IPADDR = std::string(optarg).substr(0, kIpAddrMax);
			iaddr = true;
			break;
		case 'N':
			SERIAL = std::string(optarg).substr(0, kSerialMax);
			snumber = true;
			break;
		default:
			dumpUSAGE();
			if (optopt == 'I' || optopt == 'N')
				printf(
				    "\nInvalid invocation for parameter (%c)\n",
				    optopt);
			else
				printf("\nInvalid parameter entered (%c)\n",
				       optopt);
			return 9;
		}
	}
	if (optind >= argc)
		too_few();
	const char *dmptype = argv[optind++];
	if (std::strlen(dmptype) > kDumpTypeMax)
		return too_long("qeldump");
	if (strcasecmp(dmptype, "panic") != 0 &&
	    strcasecmp(dmptype, "core") != 0) {
		printf("Unsuppored function requested (%s)\n", dmptype);
		return 1;
	}
	if (iaddr && snumber) {
		dumpUSAGE();
		line("\n-I and -N are mutually exclusive");
		line("Please specify only one of -I, -N, or clustername");
		return 9;
	}

	std::string nodename;
	if (iaddr || snumber) {
		nodename = iaddr ? getSysName(IPADDR.c_str(), nullptr)
		                 : getSysName(nullptr, SERIAL.c_str());
		if (nodename.empty())
			return 9;
	} else {
		if (optind >= argc)
			too_few();
		nodename = argv[optind++];
	}
	if (!cluster_operand_ok(nodename, kDumpRule.cluster_max) ||
	    ValidateCluster(nodename.c_str()) != 0) {
		printf(kDumpBadCluster, nodename.c_str());
		return 1;
	}
	if (!permitted(kDumpRule, nodename)) {
		line("\nAuthorization failure");
		return 120;
	}

	if (optind >= argc)
		too_few();
	const char *node = argv[optind++];
	const char *ofilename = optind < argc ? argv[optind] : "";
	const char *scrname =
	    strcasecmp(dmptype, "panic") == 0 ? NAMEPANIC : NAMECORE;
	bool ofile = ofilename[0] != '\0';
	std::string args;
	if (!compose(args, kDumpLines[nodelete][ofile],
	             {scrname, nodename, node, ofilename}))
		return too_long("qeldump");
	return run_tool("spcomm", nodename, args);
}
