// Account utilities: the next service uid and a profile in rule letters.
#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {
namespace {

constexpr int kBandLow = 514;
constexpr int kBandHigh = 599;

// The cluster of the last registry file that grep listed, or empty. Only
// complete lines count, so a cut capture never names a wrong cluster.
std::string_view last_cluster(std::string_view listed) {
	size_t end = listed.rfind('\n');
	if (end == listed.npos)
		return {};
	listed = listed.substr(0, end);
	std::string_view last = listed.substr(listed.rfind('\n') + 1);
	last = last.substr(last.rfind('/') + 1);
	size_t conf = last.find(".conf");
	return conf == last.npos ? std::string_view{} : last.substr(0, conf);
}

}  // namespace

int get_next_uid_from(const char *passwd) {
	FILE *f = fopen(passwd, "re");
	if (f == nullptr)
		return 0;
	int highest = kBandLow - 1;
	std::string line;
	bool too_long;
	while (read_line(f, line, too_long)) {
		Fields<3> fields = split_fields<3>(line, ':');
		uint32_t uid;
		if (too_long || fields.size() < 3 ||
		    !parse_id(fields[2], kNextUidMax, uid))
			continue;
		if (uid <= kBandHigh && static_cast<int>(uid) > highest)
			highest = static_cast<int>(uid);
	}
	fclose(f);
	return highest + 1;
}

int print_user_profile_in(const char *regdir, const user_profile *up) {
	if (up == nullptr)
		return 127;
	printf("U=%s:I=%d", up->username, static_cast<int>(up->uid));
	for (const gent *g = up->group; g != nullptr; g = g->next) {
		std::string cmd = "grep -l -x -F -e ";
		shell_quote(std::string("ADMINGROUP=").append(g->gname), cmd);
		cmd.push_back(' ');
		shell_quote(regdir, cmd);
		cmd.append("*.conf");
		if (cmd.size() > kProfileCmdMax)
			return 127;
		char out[kProfileOutMax];
		fflush(stdout);  // the child shares standard output's ordering
		if (my_system_pipe(cmd.data(), sizeof out, out) == 127)
			return 127;
		std::string_view cluster = last_cluster(out);
		if (cluster.empty())
			printf(":G=%s", g->gname);
		else
			printf(":C=%.*s", static_cast<int>(cluster.size()),
			       cluster.data());
	}
	printf("\n");
	return 0;
}

}  // namespace spauth

extern "C" int getNextUID(void) {
	return spauth::get_next_uid_from(spauth::kPasswdPath);
}

extern "C" int print_user_profile(struct user_profile *up) {
	return spauth::print_user_profile_in(spauth::kRegistryDir, up);
}
