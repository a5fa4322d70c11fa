// Account utilities: the next service uid and a profile in rule letters.
#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {
namespace {

// The cluster of the last registry file that grep listed, or empty: the
// text after the last "/" up to its first suffix. A file name may hold a
// newline, so lines count only when the capture was cut: then the last
// complete one names the cluster, never a piece of a name.
std::string_view last_cluster(std::string_view listed, bool cut) {
	if (cut)
		listed = listed.substr(0, listed.rfind('\n') + 1);
	std::string_view last = listed.substr(listed.rfind('/') + 1);
	size_t suffix = last.find(kRegistrySuffix);
	return suffix == last.npos ? std::string_view{}
	                           : last.substr(0, suffix);
}

}  // namespace

int get_next_uid_from(const char *passwd) {
	LineReader r;
	if (!open_lines(r, passwd))
		return 0;
	int highest = kServiceUidMin - 1;
	std::string_view line;
	bool too_long;
	while (read_line(r, line, too_long)) {
		Fields<3> fields = split_fields<3>(line, ':');
		uint32_t uid;
		if (too_long || fields.size() < 3 ||
		    !parse_id(fields[2], kNextUidMax, uid))
			continue;
		if (uid <= kServiceUidMax && static_cast<int>(uid) > highest)
			highest = static_cast<int>(uid);
	}
	return highest + 1;
}

int profile_line(const char *regdir, const user_profile *up, std::string &out) {
	out = "U=" + std::string(up->username) +
	      ":I=" + std::to_string(static_cast<int>(up->uid));
	for (const gent *g = up->group; g != nullptr; g = g->next) {
		// No registry line names these: an empty name administers
		// nothing, and a newline would split the grep pattern.
		std::string_view name = g->gname;
		if (name.empty() || name.find('\n') != name.npos) {
			out.append(":G=").append(name);
			continue;
		}
		std::string cmd = registry_search(regdir, kAdminGroupKey, name);
		if (cmd.size() > kProfileCmdMax)
			return 127;
		char listed[kProfileOutMax];
		if (my_system_pipe(cmd.data(), sizeof listed, listed) == 127)
			return 127;
		std::string_view cluster =
		    last_cluster(listed, strlen(listed) == sizeof listed - 1);
		if (cluster.empty())
			out.append(":G=").append(name);
		else
			out.append(":C=").append(cluster);
	}
	out.push_back('\n');
	return 0;
}

int print_user_profile_in(const char *regdir, const user_profile *up) {
	if (up == nullptr)
		return 127;
	std::string line;
	int rc = profile_line(regdir, up, line);
	fputs(line.c_str(), stdout);
	return rc;
}

}  // namespace spauth

extern "C" int getNextUID(void) {
	return spauth::get_next_uid_from(spauth::kPasswdPath);
}

extern "C" int print_user_profile(struct user_profile *up) {
	return spauth::print_user_profile_in(spauth::kRegistryDir, up);
}
