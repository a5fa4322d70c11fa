// Internal interface of the authorization library, shared with the front
// end and the unit tests. C++ only.
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
inline constexpr const char *kRegistryDir = "/etc/sysconfig/sp/cluster/";

// Field limits: the buffers the account data has always lived in.
inline constexpr size_t kNameMax = 79;       // username, comment, gname
inline constexpr size_t kIdFieldMax = 49;    // uid/gid field of passwd
inline constexpr size_t kGroupGidMax = 19;   // gid field of group
inline constexpr size_t kNextUidMax = 11;    // uid field seen by getNextUID
inline constexpr size_t kLineMax = 1 << 20;  // longer lines are skipped
inline constexpr size_t kTermMax = 2047;     // U and G terms
inline constexpr size_t kCTermMax = 255;     // C term with its kind
inline constexpr size_t kClusterMax = 224;   // registry path buffer
inline constexpr size_t kProfileCmdMax = 511;
inline constexpr size_t kProfileOutMax = 4096;
// The band of service uids that getNextUID hands out.
inline constexpr int kServiceUidMin = 514;
inline constexpr int kServiceUidMax = 599;

// Reads one whole line, without its newline, up to its first NUL if it holds
// one. Returns false at end of file. A line over kLineMax bytes is consumed
// whole and reported through too_long, with line empty.
bool read_line(FILE *f, std::string &line, bool &too_long);

// Splits at every delimiter, as passwd(5) and group(5) do.
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

// Strict unsigned 32-bit decimal: digits only, within max_len characters.
bool parse_id(std::string_view text, size_t max_len, uint32_t &out);

// getfield with a size: false (and empty output) when the field would not
// fit size - 1 bytes.
bool getfield_n(const char *buffer, char *output, size_t size, int count);

// Appends v to out as one shell word: plain values as they stand, anything
// else in single quotes.
void shell_quote(std::string_view v, std::string &out);

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
