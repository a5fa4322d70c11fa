// The library's internal interface, C++ only: for the shared policy, both
// programs and the tests. The registry's one owner is here too.
#ifndef SPAUTH_INTERNAL_H
#define SPAUTH_INTERNAL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "SP_auth/spauth.h"

namespace spauth {

inline constexpr const char *kPasswdPath = "/etc/passwd";
inline constexpr const char *kGroupPath = "/etc/group";

// The cluster registry: one NAME.conf file a cluster, holding lines such
// as KEY=VALUE.
inline constexpr const char *kRegistryDir = "/etc/sysconfig/sp/cluster/";
inline constexpr std::string_view kRegistrySuffix = ".conf";
inline constexpr std::string_view kAdminGroupKey = "ADMINGROUP=";
inline constexpr std::string_view kIpKey = "IPADDRESS=";
inline constexpr std::string_view kSerialKey = "SERIALNO=";
// The registry file of a cluster in regdir.
std::string registry_file(std::string_view regdir, std::string_view cluster);
// The clusters registered in regdir, in the order a search's *.conf
// finds their files.
std::vector<std::string> registry_clusters(const char *regdir);
// The shell line that lists the registry files of regdir holding the line
// KEY VALUE: whole lines of fixed text, only regular files.
std::string registry_search(std::string_view regdir, std::string_view key,
                            std::string_view value);
// Its status when some file could not be read: a file it listed still
// holds the line.
inline constexpr int kSearchTrouble = 2;
// Whether line is one the search for key finds.
bool registry_key_line(std::string_view line, std::string_view key);

// Field limits: the buffers the account data has always lived in.
inline constexpr size_t kNameMax = 79;          // username, comment, gname
inline constexpr size_t kIdFieldMax = 49;       // uid/gid field of passwd
inline constexpr size_t kGroupGidMax = 19;      // gid field of group
inline constexpr size_t kNextUidMax = 11;       // uid field seen by getNextUID
inline constexpr size_t kLineMax = 1 << 20;     // longer lines are skipped
inline constexpr size_t kLineBuffer = 1 << 16;  // read at a time
inline constexpr size_t kTermMax = 2047;        // U and G terms
inline constexpr size_t kCTermMax = 255;        // C term with its kind
inline constexpr size_t kClusterMax = 224;      // registry path buffer
inline constexpr size_t kProfileCmdMax = 511;
inline constexpr size_t kProfileOutMax = 4096;
// The band of service uids that getNextUID hands out.
inline constexpr int kServiceUidMin = 514;
inline constexpr int kServiceUidMax = 599;

// A file read a line at a time through a buffer of its own (a stdio
// stream went through the file a byte at a time). Closed when it goes.
struct LineReader {
	int fd = -1;
	std::vector<char> buffer;
	size_t pos = 0, end = 0;
	std::string spill;  // a line the buffer did not hold whole
	LineReader() = default;
	LineReader(const LineReader &) = delete;
	LineReader &operator=(const LineReader &) = delete;
	~LineReader();
};
// A descriptor that reads path; -1 when it cannot be opened or is not a
// regular file on a file system that stores it (never blocking on a FIFO,
// never a pseudo file such as /proc/self/environ).
int open_regular(const char *path);
// Opens path for reading as open_regular does; false when it cannot.
bool open_lines(LineReader &r, const char *path);
// The next whole line, without its newline, up to its first NUL if it
// holds one; valid until the next call. False at end of file. A line over
// kLineMax bytes is consumed whole and reported through too_long, empty.
bool read_line(LineReader &r, std::string_view &line, bool &too_long);

// Splits at every delimiter: a rule's terms, a search path's directories.
std::vector<std::string_view> split(std::string_view text, char delim);

// The same for the first N fields, without allocating: the account files
// are read a line at a time, and big ones must stay cheap to search.
template <size_t N>
struct Fields {
	std::array<std::string_view, N> field{};
	size_t count = 0;  // fields in the text, also those past N
	size_t size() const { return count; }
	std::string_view operator[](size_t i) const { return field[i]; }
};

template <size_t N>
Fields<N> split_fields(std::string_view text, char delim) {
	Fields<N> f;
	for (size_t pos = 0;; ++f.count) {
		size_t d = text.find(delim, pos);
		if (f.count < N)
			f.field[f.count] = text.substr(pos, d - pos);
		if (d == std::string_view::npos) {
			++f.count;
			return f;
		}
		pos = d + 1;
	}
}

// A line of /etc/group as the profile reads it: false for one it skips.
struct GroupEntry {
	std::string_view name, members;
	uint32_t gid = 0;
};
bool group_entry(std::string_view line, GroupEntry &g);

// Strict unsigned 32-bit decimal: digits only, within max_len characters.
bool parse_id(std::string_view text, size_t max_len, uint32_t &out);

// A cluster name the registry can hold: within max characters, and never
// a path out of the registry directory.
bool cluster_name_ok(std::string_view cluster, size_t max);
// The administrative group a C term's cluster names, into group: false
// when it names none.
bool c_term_group(const char *regdir, std::string_view cluster,
                  std::string &group);

// Appends v to out as one shell word: plain values as they stand, anything
// else in single quotes.
void shell_quote(std::string_view v, std::string &out);

// Text for a record or a line of output: bytes outside printable ASCII,
// the backslash and those of also as \ooo, so that no name can break a
// line or forge a field; cut with "..." once max bytes are written.
std::string escaped(std::string_view text, std::string_view also = {},
                    size_t max = std::string::npos);

// Starts path with argv and envp in a child whose standard streams 0 to 2
// are fds (-1: inherited); on a failed exec the child reports exec_failed
// through perror (null: nothing) and exits 127. The child's pid, or -1.
pid_t start_child(const char *path, const char *const argv[],
                  const char *const envp[], const int fds[3],
                  const char *exec_failed);
// Waits for the child: its exit code, or the raw wait status when a signal
// ended it; -1 when the wait fails.
int wait_child(pid_t pid);

// Seams: the public functions call these with the compiled-in paths.
user_profile *get_user_profile_from(const char *passwd, const char *group,
                                    int mode, const void *user);
int get_group_affiliations_from(const char *group, user_profile *up);
int check_authority_in(const char *regdir, const user_profile *up,
                       const char *authstring);
char *get_admin_group_in(const char *regdir, char *buffer);
int get_next_uid_from(const char *passwd);
int print_user_profile_in(const char *regdir, const user_profile *up);
// What print_user_profile prints, into out: 0, or 127 with out holding
// the line so far, without its newline.
int profile_line(const char *regdir, const user_profile *up, std::string &out);

}  // namespace spauth

#endif
