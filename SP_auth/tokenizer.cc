// Colon-field tokenizer. An empty field in the middle of a text is never
// produced: the next field then begins with the delimiter. The authority
// evaluator depends on that rule to refuse two delimiters in a row.
#include <cstring>

#include "SP_auth/internal.h"

extern "C" int get_next_pw_field(char **start, char delim, char **endofField) {
	*endofField = *start;
	if (**start == delim) {
		++*start;
		++*endofField;
	}
	if (**start == '\0')
		return 0;
	++*endofField;
	while (**endofField != delim && **endofField != '\0')
		++*endofField;
	return static_cast<int>(*endofField - *start);
}

extern "C" void getfield(char *buffer, char *output, int count) {
	output[0] = '\0';
	char *start = buffer, *end = buffer;
	int len = 0;
	for (int i = 0; i < count; ++i) {
		start = end;
		if ((len = get_next_pw_field(&start, ':', &end)) == 0)
			return;
	}
	std::memcpy(output, start, static_cast<size_t>(len));
	output[len] = '\0';
}
