// The caller's profile from /etc/passwd and /etc/group, cut into fields as
// passwd(5) and group(5) define them.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {
namespace {

enum PwField { kPwName, kPwPasswd, kPwUid, kPwGid, kPwComment, kPwFields };
using PwFields = Fields<kPwFields>;

void copy_name(char (&dst)[80], std::string_view src) {
	size_t n = src.size() < kNameMax ? src.size() : kNameMax;
	std::memcpy(dst, src.data(), n);
	dst[n] = '\0';
}

// A line whose name or id fields overflow their buffers is unreadable: it
// never matches, rather than being matched on a cut value.
bool pw_readable(const PwFields &f) {
	if (f[kPwName].size() > kNameMax)
		return false;
	if (f.size() > kPwUid && f[kPwUid].size() > kIdFieldMax)
		return false;
	return !(f.size() > kPwGid && f[kPwGid].size() > kIdFieldMax);
}

bool pw_matches(const PwFields &f, int mode, const void *user) {
	if (!pw_readable(f))
		return false;
	if (mode == SPAUTH_BY_NAME) {
		std::string_view name = static_cast<const char *>(user);
		return !name.empty() && f[kPwName] == name;
	}
	if (mode == SPAUTH_BY_UID) {
		uint32_t uid;
		return f.size() > kPwUid &&
		       parse_id(f[kPwUid], kIdFieldMax, uid) &&
		       uid == *static_cast<const uid_t *>(user);
	}
	return false;
}

bool find_passwd_line(const char *passwd, int mode, const void *user,
                      std::string &line) {
	LineReader r;
	if (!open_lines(r, passwd))
		return false;
	std::string_view text;
	bool too_long;
	while (read_line(r, text, too_long))
		if (!too_long && pw_matches(split_fields<kPwFields>(text, ':'),
		                            mode, user)) {
			line = text;
			return true;
		}
	return false;
}

const char *const kFieldMessage[] = {
    "get_user_profile: error obtaining user data (field1)\n",
    "get_user_profile: error obtaining user data (field2)\n",
    "get_user_profile: error obtaining user data (field3)\n",
    "get_user_profile: error obtaining user data (field4)\n",
    "get_user_profile: error obtaining user data (field5)\n",
};

user_profile *fail_field(user_profile *up, int field) {
	fputs(kFieldMessage[field], stderr);
	free_user(up);
	return nullptr;
}

bool member_of(std::string_view members, std::string_view user) {
	if (user.empty())
		return false;
	for (size_t pos = 0;;) {
		size_t comma = members.find(',', pos);
		if (members.substr(pos, comma - pos) == user)
			return true;
		if (comma == members.npos)
			return false;
		pos = comma + 1;
	}
}

}  // namespace

user_profile *get_user_profile_from(const char *passwd, const char *group,
                                    int mode, const void *user) {
	std::string line;
	if (!find_passwd_line(passwd, mode, user, line))
		return nullptr;
	auto *up = static_cast<user_profile *>(calloc(1, sizeof(user_profile)));
	if (up == nullptr) {
		fprintf(stderr,
		        "get_user_profile: unable to allocate memory: %s\n",
		        strerror(errno));
		return nullptr;
	}
	PwFields f = split_fields<kPwFields>(line, ':');
	if (f[kPwName].empty())
		return fail_field(up, kPwName);
	copy_name(up->username, f[kPwName]);
	if (f.size() <= kPwPasswd)
		return fail_field(up, kPwPasswd);
	uint32_t uid, gid;
	if (f.size() <= kPwUid || !parse_id(f[kPwUid], kIdFieldMax, uid))
		return fail_field(up, kPwUid);
	up->uid = uid;
	if (f.size() <= kPwGid || !parse_id(f[kPwGid], kIdFieldMax, gid))
		return fail_field(up, kPwGid);
	up->group = static_cast<gent *>(calloc(1, sizeof(gent)));
	if (up->group == nullptr) {
		fprintf(stderr,
		        "get_user_profile: failed to get storage for primary "
		        "group: %s\n",
		        strerror(errno));
		free_user(up);
		return nullptr;
	}
	up->group->gid = gid;
	if (f.size() <= kPwComment)
		return fail_field(up, kPwComment);
	copy_name(up->comment, f[kPwComment]);  // decides nothing: may be cut
	if (get_group_affiliations_from(group, up) != 0) {
		free_user(up);
		return nullptr;
	}
	return up;
}

bool group_entry(std::string_view line, GroupEntry &g) {
	Fields<4> f = split_fields<4>(line, ':');
	if (f.size() < 3 || f[0].size() > kNameMax ||
	    !parse_id(f[2], kGroupGidMax, g.gid))
		return false;
	g.name = f[0];
	g.members = f.size() > 3 ? f[3] : std::string_view{};
	return true;
}

int get_group_affiliations_from(const char *group, user_profile *up) {
	LineReader r;
	if (!open_lines(r, group))
		return 0;
	gent *primary = up->group;
	std::string_view line;
	bool too_long;
	while (read_line(r, line, too_long)) {
		if (too_long)
			continue;
		GroupEntry g;
		if (!group_entry(line, g))
			continue;
		bool member = member_of(g.members, up->username);
		if (g.gid == primary->gid) {
			copy_name(primary->gname, g.name);
		} else if (member) {
			auto *e = static_cast<gent *>(calloc(1, sizeof(gent)));
			if (e == nullptr)
				break;
			e->gid = g.gid;
			copy_name(e->gname, g.name);
			e->next = up->group;
			up->group = e;
		}
	}
	return 0;
}

}  // namespace spauth

extern "C" struct user_profile *get_user_profile(int mode, void *user) {
	return spauth::get_user_profile_from(spauth::kPasswdPath,
	                                     spauth::kGroupPath, mode, user);
}

extern "C" int get_group_affiliations(struct user_profile *up) {
	return spauth::get_group_affiliations_from(spauth::kGroupPath, up);
}

extern "C" void free_user(struct user_profile *up) {
	if (up == nullptr)
		return;
	while (up->group != nullptr) {
		gent *next = up->group->next;
		free(up->group);
		up->group = next;
	}
	free(up);
}
