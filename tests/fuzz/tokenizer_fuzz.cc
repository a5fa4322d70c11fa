// The tokenizer: cursors stay within the text, lengths are end - start, and
// the skipped delimiters and fields put back together give the text.
#include <string>

#include "SP_auth/internal.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	std::string text(reinterpret_cast<const char *>(data), size);
	text = text.substr(0, text.find('\0'));
	char *const nul = text.data() + text.size();
	char *start = text.data(), *end = start;
	std::string rebuilt;
	for (;;) {
		char *from = end;
		start = end;
		int len = get_next_pw_field(&start, ':', &end);
		FUZZ_ASSERT(start <= nul && end <= nul && start >= from);
		FUZZ_ASSERT(len == end - start);
		rebuilt.append(from, static_cast<size_t>(end - from));
		if (len == 0) {
			FUZZ_ASSERT(start == nul && end == nul);
			break;
		}
		FUZZ_ASSERT(start - from <= 1);
	}
	FUZZ_ASSERT(rebuilt == text);
	for (int count = -1; count < 8; ++count) {
		std::string out(text.size() + 1, 'x');
		getfield(text.data(), out.data(), count);
		FUZZ_ASSERT(out.c_str() == std::string_view(out.c_str()) &&
		            std::string_view(out.c_str()).size() <=
		                text.size());
	}
	return 0;
}
