// The registry search by address or serial number: grep through the
// shell, as the registry search has always been made.
#include <fcntl.h>
#include <libgen.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "qeldump.h"

namespace {

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

// Reads the first word of the search output from fd, and closes it, into
// gblbuff; false when it cannot be read or is too long to hold.
bool first_word(int fd, const char *fname) {
	FILE *f = lseek(fd, 0, SEEK_SET) == 0 ? fdopen(fd, "r") : nullptr;
	if (f == nullptr) {
		printf("\ngetSysName: %s: %s\n", fname, strerror(errno));
		close(fd);
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

// The scratch file, unlinked as soon as it exists: no path, a signal that
// ends the process included, leaves it behind. Signals wait until then.
int scratch_file(char (&fname)[64]) {
	sigset_t all, old;
	sigfillset(&all);
	sigprocmask(SIG_BLOCK, &all, &old);
	int fd = mkostemp(fname, O_CLOEXEC);
	int err = errno;
	if (fd >= 0)
		unlink(fname);
	sigprocmask(SIG_SETMASK, &old, nullptr);
	errno = err;
	return fd;
}

}  // namespace

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
	// grep would take each line of a value as a pattern of its own.
	if (std::strlen(value) >
	        (by_ip ? policy::kIpMax : policy::kSerialMax) ||
	    std::strchr(value, '\n') != nullptr) {
		cannot_locate(by_ip, value);
		return "";
	}

	char fname[64] = {};
	static_assert(sizeof kScratchTemplate <= sizeof fname);
	std::memcpy(fname, kScratchTemplate, sizeof kScratchTemplate);
	int fd = scratch_file(fname);
	if (fd < 0) {
		printf("\ngetSysName: mkstemp: %s\n", strerror(errno));
		return "";
	}

	// Whole lines, fixed strings: 10.0.0.1 must not find 10.0.0.15. No
	// FIFO or device is read (one could hold the search forever). The
	// search alone inherits the descriptor.
	std::string cmd = "grep -D skip -l -x -F -e ";
	spauth::shell_quote(
	    std::string(by_ip ? policy::kIpKey : policy::kSerialKey) + value,
	    cmd);
	cmd.append(" ").append(spauth::kRegistryDir).append("*.conf >&");
	cmd.append(std::to_string(fd));
	if (fcntl(fd, F_SETFD, 0) != 0 || my_system(cmd.c_str()) != 0) {
		close(fd);
		cannot_locate(by_ip, value);
		return "";
	}
	if (!first_word(fd, fname))
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
