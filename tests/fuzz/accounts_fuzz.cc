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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	if (size < 5)
		return 0;
	uid_t uid;
	memcpy(&uid, data, sizeof uid);
	uid %= 1024;  // small uids, so that fuzzed lines can hit them
	size_t split = data[4] * size / 256;
	std::string passwd =
	    put_file("passwd", data + 5, split > 5 ? split - 5 : 0);
	std::string group = put_file("group", data + split, size - split);

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
	return 0;
}
