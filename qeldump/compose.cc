// Composing rules and command lines: the two texts a caller's operands
// reach. Neither is ever cut; a text that does not fit is refused.
#include <cstdio>
#include <cstring>

#include "SP_auth/internal.h"
#include "qeldump.h"

void line(const char *text) {
	fputs(text, stdout);
	fputc('\n', stdout);
}

bool cluster_name_fits(std::string_view cluster, size_t max) {
	return cluster.size() <= max &&
	       cluster.find_first_of("/:") == cluster.npos;
}

bool cluster_operand_ok(std::string_view cluster, size_t max) {
	if (cluster.find_first_of("/:") != cluster.npos)
		audit_refusal(kBadCluster);
	return cluster_name_fits(cluster, max);
}

bool format_rule(const Rule &rule, std::string_view cluster, std::string &out) {
	out.clear();
	size_t next_uid = 0;
	for (const char *p = rule.format; *p != '\0'; ++p) {
		if (p[0] == '%' && p[1] == 'd' && next_uid < rule.uids.size()) {
			out.append(std::to_string(rule.uids[next_uid++]));
			++p;
		} else if (p[0] == '%' && p[1] == 's') {
			out.append(cluster);
			++p;
		} else {
			out.push_back(*p);
		}
	}
	return out.size() < rule.buffer;
}

int permitted(const Rule &rule, std::string_view cluster) {
	std::string text;
	int count = format_rule(rule, cluster, text)
	                ? check_authority(tmpUser, text.data())
	                : 0;
	if (count == 0)
		audit_refusal(kNotAuthorized);
	return count;
}

bool compose(std::string &out, const LineFormat &format,
             std::initializer_list<std::string_view> values) {
	std::string_view fmt = format.format;
	out.clear();
	const std::string_view *value = values.begin();
	for (size_t i = 0; i < fmt.size(); ++i) {
		if (fmt.substr(i, 2) == "%s" && value != values.end()) {
			spauth::shell_quote(*value++, out);
			++i;
		} else {
			out.push_back(fmt[i]);
		}
	}
	return out.size() < format.size;
}

int too_long(const char *name) {
	printf("\n%s: parameter too long\n", name);
	return 119;
}
