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

namespace spauth {

bool getfield_n(const char *buffer, char *output, size_t size, int count) {
	output[0] = '\0';
	if (count <= 0)
		return true;
	char *start = const_cast<char *>(buffer);  // the step only reads
	char *end = start;
	int len = 0;
	for (int i = 0; i < count; ++i) {
		start = end;
		len = get_next_pw_field(&start, ':', &end);
		if (len == 0)
			return true;
	}
	if (static_cast<size_t>(len) >= size)
		return false;
	std::memcpy(output, start, static_cast<size_t>(len));
	output[len] = '\0';
	return true;
}

}  // namespace spauth

extern "C" void getfield(char *buffer, char *output, int count) {
	spauth::getfield_n(buffer, output, SIZE_MAX, count);
}
