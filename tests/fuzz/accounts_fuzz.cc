// The passwd and group readers, fed as file contents through the seams.
#include <cstring>

#include "SP_auth/internal.h"
#include "fuzz.h"

namespace {

void check_profile(user_profile *up) {
	if (up == nullptr)
		return;
	FUZZ_ASSERT(strlen(up->username) <= spauth::kNameMax);
	FUZZ_ASSERT(up->username[0] != '\0');
	FUZZ_ASSERT(strlen(up->comment) <= spauth::kNameMax);
	FUZZ_ASSERT(up->group != nullptr);
	for (gent *g = up->group; g != nullptr; g = g->next)
		FUZZ_ASSERT(strlen(g->gname) <= spauth::kNameMax);
}

}  // namespace

// Four bytes of uid, one that places the split, then passwd and group.
void fuzz(std::string_view in) {
	if (in.size() < 5)
		return;
	uid_t uid;
	memcpy(&uid, in.data(), sizeof uid);
	uid %= 1024;  // small uids, so that fuzzed lines can hit them
	std::string_view files = in.substr(5);
	size_t split = static_cast<uint8_t>(in[4]) * files.size() / 256;
	std::string passwd = put_file("passwd", files.substr(0, split));
	std::string group = put_file("group", files.substr(split));

	user_profile *up = spauth::get_user_profile_from(
	    passwd.c_str(), group.c_str(), SPAUTH_BY_UID, &uid);
	check_profile(up);
	FUZZ_ASSERT(up == nullptr || up->uid == uid);
	free_user(up);
	up = spauth::get_user_profile_from(passwd.c_str(), group.c_str(),
	                                   SPAUTH_BY_NAME, "ann");
	check_profile(up);
	FUZZ_ASSERT(up == nullptr || strcmp(up->username, "ann") == 0);
	free_user(up);
	int next = spauth::get_next_uid_from(passwd.c_str());
	FUZZ_ASSERT(next >= 514 && next <= 600);
}
