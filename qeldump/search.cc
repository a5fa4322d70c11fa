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

#include "handler.h"

namespace front {
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

// The search, its output into fd, which the search alone inherits: its
// status, or -1.
int search(bool by_ip, const char *value, int fd) {
	std::string cmd = spauth::registry_search(
	    spauth::kRegistryDir, by_ip ? spauth::kIpKey : spauth::kSerialKey,
	    value);
	cmd.append(" >&").append(std::to_string(fd));
	return fcntl(fd, F_SETFD, 0) == 0 ? my_system(cmd.c_str()) : -1;
}

// The first word of the search output in fd, which it closes; false when
// it cannot be read.
bool first_word(int fd, const char *fname, std::string &word) {
	FILE *f = lseek(fd, 0, SEEK_SET) == 0 ? fdopen(fd, "r") : nullptr;
	if (f == nullptr) {
		printf("\ngetSysName: %s: %s\n", fname, strerror(errno));
		close(fd);
		return false;
	}
	int c;
	while ((c = getc(f)) != EOF && isspace(c))
		;
	for (; c != EOF && !isspace(c) && word.size() <= kWordMax; c = getc(f))
		word.push_back(static_cast<char>(c));
	fclose(f);
	return true;
}

// The cluster a listed path names, in gblbuff: cut at its last "." to its
// last path component; null, said, when the word does not fit gblbuff or
// holds no ".".
const char *cluster_of(const std::string &word) {
	if (word.size() > kWordMax) {
		printf(
		    "\ngetSysName: invalid name found (%s...)\nName too long\n",
		    word.c_str());
		return nullptr;
	}
	std::memcpy(gblbuff, word.c_str(), word.size() + 1);
	char *dot = std::strrchr(gblbuff, '.');
	if (dot == nullptr) {
		printf(
		    "\ngetSysName: invalid name found (%s)\nNo trailing %s\n",
		    gblbuff, spauth::kRegistrySuffix.data());
		return nullptr;
	}
	*dot = '\0';
	return basename(gblbuff);
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
	if (std::strchr(value, '\n') != nullptr) {
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
	int rc = search(by_ip, value, fd);
	if (rc != 0 && rc != spauth::kSearchTrouble) {
		close(fd);
		cannot_locate(by_ip, value);
		return "";
	}
	std::string word;
	if (!first_word(fd, fname, word))
		return "";
	// Trouble with some file: found only where the search listed one.
	if (rc != 0 && word.empty()) {
		cannot_locate(by_ip, value);
		return "";
	}
	const char *cluster = cluster_of(word);
	return cluster != nullptr ? cluster : "";
}

}  // namespace front
