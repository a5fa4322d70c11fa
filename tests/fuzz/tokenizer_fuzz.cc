// The tokenizer: cursors stay within the text, lengths are end - start, and
// the skipped delimiters and fields put back together give the text.
#include "SP_auth/internal.h"
#include "fuzz.h"

void fuzz(std::string_view in) {
	std::string text = c_text(in);
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
}
