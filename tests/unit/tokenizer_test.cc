#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SP_auth/internal.h"

namespace {

std::vector<std::string> walk(std::string text) {
	std::vector<std::string> fields;
	char *start = text.data(), *end = start;
	for (int len; (len = get_next_pw_field(&start, ':', &end)) != 0;
	     start = end) {
		EXPECT_EQ(len, end - start);
		fields.emplace_back(start, static_cast<size_t>(len));
	}
	EXPECT_EQ(*start, '\0');
	EXPECT_EQ(*end, '\0');
	// exhausted stays exhausted
	EXPECT_EQ(get_next_pw_field(&start, ':', &end), 0);
	return fields;
}

struct Walk {
	const char *text;
	std::vector<std::string> fields;
};

TEST(Tokenizer, WorkedExamples) {
	const Walk cases[] = {
	    {"ann:x:701:100:Ann Lee:/home/ann:/bin/sh\n",
	     {"ann", "x", "701", "100", "Ann Lee", "/home/ann", "/bin/sh\n"}},
	    {"bob:x:702:100::/home/bob:/bin/sh\n",
	     {"bob", "x", "702", "100", ":/home/bob", "/bin/sh\n"}},
	    {"cal::703:100:Cal:/home/cal:/bin/sh\n",
	     {"cal", ":703", "100", "Cal", "/home/cal", "/bin/sh\n"}},
	    {"dan:x:704\n", {"dan", "x", "704\n"}},
	    {"users:x:100:\n", {"users", "x", "100", "\n"}},
	    {"staff::50:ann,bob\n", {"staff", ":50", "ann,bob\n"}},
	    {":x:y", {"x", "y"}},
	    {"a:::d", {"a", ":", "d"}},
	    {"a::::d", {"a", ":", ":d"}},
	    {"a:", {"a"}},  // the last step starts on the ":"
	    {"a::", {"a", ":"}},
	    {":", {}},
	    {"::", {":"}},
	    {"", {}},
	    {"U=0::G=qelsvc", {"U=0", ":G=qelsvc"}},
	};
	for (const Walk &c : cases)
		EXPECT_EQ(walk(c.text), c.fields) << c.text;
}

TEST(Tokenizer, Getfield) {
	struct Case {
		const char *text;
		int count;
		const char *field;
	} cases[] = {
	    {"bob:x:702:100::/home/bob:/bin/sh\n", 5, ":/home/bob"},
	    {"bob:x:702:100::/home/bob:/bin/sh\n", 7, ""},
	    {"users:x:100:\n", 4, "\n"},
	    {"a:b", 0, ""},
	    {"a:b", -1, ""},
	    {"a:b", 3, ""},
	};
	for (const Case &c : cases) {
		std::string text = c.text;
		char out[64] = "stale";
		getfield(text.data(), out, c.count);
		EXPECT_STREQ(out, c.field) << c.text << " #" << c.count;
	}
}

}  // namespace
