// Command lines: the one text a caller's operands reach the shell in. Every
// value is quoted; a line is never cut, one that does not fit is refused.
#include <cstring>

#include "handler.h"

namespace front {

bool compose_line(std::string &out, const policy::Tool &tool,
                  const LineFormat &format,
                  std::initializer_list<std::string_view> values) {
	out.clear();
	if (std::strcmp(tool.account, policy::kRoot) != 0)
		out.append("sudo -u ").append(tool.account).push_back(' ');
	spauth::shell_quote(tool.path, out);
	std::string_view args = format.args;
	const std::string_view *value = values.begin();
	for (size_t i = 0; i < args.size(); ++i) {
		if (args.substr(i, 2) == "%s" && value != values.end()) {
			spauth::shell_quote(*value++, out);
			++i;
		} else {
			out.push_back(args[i]);
		}
	}
	return out.size() < format.size;
}

}  // namespace front
