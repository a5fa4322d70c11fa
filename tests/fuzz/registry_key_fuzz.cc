// The registry-key reader against a plain model: the first line whose text,
// up to a NUL, begins with the key; its value if a group could have that
// name.
#include <algorithm>
#include <optional>
#include <string>

#include "SP_auth/internal.h"
#include "fuzz.h"

void fuzz(std::string_view in) {
	put_file("cf.conf", in);
	char buffer[256] = "cf";
	const char *got =
	    spauth::get_admin_group_in(scratch_dir().c_str(), buffer);
	std::optional<std::string> want;
	for (size_t pos = 0; pos < in.size() && !want;) {
		size_t nl = std::min(in.find('\n', pos), in.size());
		std::string text = c_text(in.substr(pos, nl - pos));
		if (nl - pos <= spauth::kLineMax &&
		    text.starts_with("ADMINGROUP="))
			want = text.substr(11);
		pos = nl + 1;
	}
	if (want && want->size() > spauth::kNameMax)
		want.reset();
	FUZZ_ASSERT((got != nullptr) == want.has_value());
	FUZZ_ASSERT(got == nullptr || *want == got);
}
