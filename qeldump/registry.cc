// The cluster registry: one readable NAME.conf per cluster.
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "SP_auth/internal.h"
#include "qeldump.h"

namespace {

constexpr size_t kIpMax = 15;
constexpr size_t kSerialMax = 7;
constexpr size_t kWordMax = 127;  // gblbuff holds the first word found
constexpr char kScratchTemplate[] = "/tmp/_spgsnXXXXXX";

char gblbuff[kWordMax + 1];

// Only the address search's message begins with a newline.
void cannot_locate(bool by_ip, const char *value) {
	printf(by_ip ? "\ngetSysName: Cannot locate matching cluster for %s\n"
	             : "getSysName: Cannot locate matching cluster for %s\n",
	       value);
}

bool present(const char *s) {
	return s != nullptr && s[0] != '\0';
}

// Reads the first word of the search output into gblbuff; false when it
// cannot be read or is too long to hold.
bool first_word(const char *fname) {
	FILE *f = fopen(fname, "re");
	if (f == nullptr) {
		printf("\ngetSysName: %s: %s\n", fname, strerror(errno));
		return false;
	}
	std::string word;
	int c;
	while ((c = getc(f)) != EOF && isspace(c))
		;
	for (; c != EOF && !isspace(c) && word.size() <= kWordMax; c = getc(f))
		word.push_back(static_cast<char>(c));
	fclose(f);
	if (word.size() > kWordMax) {
		printf(
		    "\ngetSysName: invalid name found (%s...)\n"
		    "Name too long\n",
		    word.c_str());
		return false;
	}
	std::memcpy(gblbuff, word.c_str(), word.size() + 1);
	return true;
}

}  // namespace

int ValidateCluster(const char *cluster) {
	std::string_view name = cluster;
	if (name.find('/') != name.npos || name.size() > kValidateMax)
		return -1;
	std::string path =
	    std::string(spauth::kRegistryDir).append(name).append(".conf");
	return access(path.c_str(), R_OK) == 0 ? 0 : -1;
}

const char *getSysName(const char *ipaddr, const char *serial) {
	bool by_ip = present(ipaddr);
	if (!by_ip && !present(serial)) {
		fputs(
		    "\ngetSysName: nothing to do - "
		    "ipaddr and serial parms both null\n",
		    stdout);
		return "";
	}
	const char *value = by_ip ? ipaddr : serial;
	if (std::strlen(value) > (by_ip ? kIpMax : kSerialMax)) {
		cannot_locate(by_ip, value);
		return "";
	}

	char fname[64] = {};
	static_assert(sizeof kScratchTemplate <= sizeof fname);
	std::memcpy(fname, kScratchTemplate, sizeof kScratchTemplate);
	int fd = mkstemp(fname);
	if (fd < 0) {
		printf("\ngetSysName: mkstemp: %s\n", strerror(errno));
		return "";
	}
	close(fd);
	chmod(fname, 0600);

	// Whole lines, fixed strings: 10.0.0.1 must not find 10.0.0.15.
	std::string cmd = "grep -l -x -F -e ";
	spauth::shell_quote(
	    std::string(by_ip ? "IPADDRESS=" : "SERIALNO=") + value, cmd);
	cmd.append(" ").append(spauth::kRegistryDir).append("*.conf >");
	spauth::shell_quote(fname, cmd);
	bool found = my_system(cmd.c_str()) == 0;
	if (!found)
		cannot_locate(by_ip, value);
	found = found && first_word(fname);
	unlink(fname);
	if (!found)
		return "";

	char *dot = std::strrchr(gblbuff, '.');
	if (dot == nullptr) {
		printf(
		    "\ngetSysName: invalid name found (%s)\n"
		    "No trailing .conf\n",
		    gblbuff);
		return "";
	}
	*dot = '\0';
	return basename(gblbuff);
}
