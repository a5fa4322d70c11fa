// The registry-key reader against a plain model: the first line that begins
// with the key, its value if a group could have that name.
#include <cstring>
#include <string>

#include "SP_auth/internal.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	put_file("cf.conf", data, size);
	char buffer[256] = "cf";
	const char *got =
	    spauth::get_admin_group_in(scratch_dir().c_str(), buffer);
	std::string text(reinterpret_cast<const char *>(data), size);
	if (text.find('\0') != text.npos)
		return 0;  // a NUL cuts a line short in stdio; no model for
		           // that
	const char *want = nullptr;
	std::string value;
	for (size_t pos = 0; pos <= text.size();) {
		size_t nl = text.find('\n', pos);
		std::string line =
		    text.substr(pos, nl == text.npos ? nl : nl - pos);
		if (line.starts_with("ADMINGROUP=")) {
			value = line.substr(11);
			want = value.size() <= spauth::kNameMax ? value.c_str()
			                                        : nullptr;
			break;
		}
		if (nl == text.npos)
			break;
		pos = nl + 1;
	}
	FUZZ_ASSERT((got == nullptr) == (want == nullptr));
	FUZZ_ASSERT(got == nullptr || strcmp(got, want) == 0);
	return 0;
}
