// Line and field readers for the account files and the registry.
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {

LineReader::~LineReader() {
	if (fd >= 0)
		close(fd);
}

namespace {

// File systems whose files the kernel or a user makes up as they are read:
// /proc/self/environ reads as the reader's environment, a FUSE file as its
// owner likes. None holds a file root may trust.
constexpr unsigned long kMadeUp[] = {
    PROC_SUPER_MAGIC, SYSFS_MAGIC,    CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC,
    DEBUGFS_MAGIC,    TRACEFS_MAGIC,  SECURITYFS_MAGIC,   BPF_FS_MAGIC,
    PSTOREFS_MAGIC,   EFIVARFS_MAGIC, FUSE_SUPER_MAGIC,
};

bool trusted_file(int fd) {
	struct stat st;
	struct statfs fs;
	if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
	    fstatfs(fd, &fs) != 0)
		return false;
	return std::find(std::begin(kMadeUp), std::end(kMadeUp),
	                 static_cast<unsigned long>(fs.f_type)) ==
	       std::end(kMadeUp);
}

}  // namespace

// Only a regular file on a file system that stores it is read: a FIFO
// would block the open, a link to a device could be read forever, and a
// pseudo file could say anything. The file is then read blocking.
int open_regular(const char *path) {
	// Nor through a magic link: /proc/self/cwd/x would be the caller's.
	open_how how = {};
	how.flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
	how.resolve = RESOLVE_NO_MAGICLINKS;
	int fd = static_cast<int>(
	    syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how));
	if (fd < 0 && errno == ENOSYS)  // before Linux 5.6
		fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
	if (fd >= 0 &&
	    (!trusted_file(fd) || fcntl(fd, F_SETFL, O_RDONLY) != 0)) {
		close(fd);
		return -1;
	}
	return fd;
}

bool open_lines(LineReader &r, const char *path) {
	r.fd = open_regular(path);
	r.buffer.resize(kLineBuffer);
	return r.fd >= 0;
}

namespace {

// More of the file into the buffer; false at its end (or on an error).
bool refill(LineReader &r) {
	ssize_t n;
	while ((n = read(r.fd, r.buffer.data(), r.buffer.size())) < 0 &&
	       errno == EINTR)
		;
	r.pos = 0;
	r.end = n > 0 ? static_cast<size_t>(n) : 0;
	return n > 0;
}

}  // namespace

bool read_line(LineReader &r, std::string_view &line, bool &too_long) {
	size_t length = 0;  // the whole line's: a NUL and what follows count
	bool any = false, spilled = false, ended = false;
	r.spill.clear();
	while (!ended && (r.pos < r.end || refill(r))) {
		const char *start = r.buffer.data() + r.pos;
		const void *nl = std::memchr(start, '\n', r.end - r.pos);
		size_t take = nl != nullptr
		                  ? static_cast<const char *>(nl) - start
		                  : r.end - r.pos;
		any = ended = true;
		if (nl != nullptr && !spilled) {
			line = {start, take};  // whole in the buffer: no copy
		} else {
			size_t room = kLineMax + 1 -
			              std::min(r.spill.size(), kLineMax + 1);
			r.spill.append(start, std::min(take, room));
			spilled = true;
			ended = nl != nullptr;
		}
		length += take;
		r.pos += take + (nl != nullptr ? 1 : 0);
	}
	if (spilled)
		line = r.spill;
	too_long = length > kLineMax;
	// A NUL ends the text of its line, never the line itself.
	line = too_long ? std::string_view{} : line.substr(0, line.find('\0'));
	return any;
}

std::vector<std::string_view> split(std::string_view text, char delim) {
	std::vector<std::string_view> fields;
	size_t pos = 0;
	for (;;) {
		size_t d = text.find(delim, pos);
		if (d == std::string_view::npos) {
			fields.push_back(text.substr(pos));
			return fields;
		}
		fields.push_back(text.substr(pos, d - pos));
		pos = d + 1;
	}
}

bool parse_id(std::string_view text, size_t max_len, uint32_t &out) {
	if (text.empty() || text.size() > max_len)
		return false;
	uint64_t v = 0;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
		v = v * 10 + static_cast<uint64_t>(c - '0');
		if (v > UINT32_MAX)
			return false;
	}
	out = static_cast<uint32_t>(v);
	return true;
}

}  // namespace spauth
