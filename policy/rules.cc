// The functions by name, the cluster names they take, their rule texts and
// the exception to a rule.
#include <algorithm>

#include "policy.h"

namespace policy {

const Function *function_named(std::string_view name) {
	const Function *const *f =
	    std::find_if(std::begin(kFunctions), std::end(kFunctions),
	                 [&](const Function *g) { return name == g->name; });
	return f != std::end(kFunctions) ? *f : nullptr;
}

bool cluster_chars_ok(std::string_view cluster) {
	return cluster.find_first_of("/:") == cluster.npos;
}

bool cluster_name_fits(std::string_view cluster, const Function &f) {
	return spauth::cluster_name_ok(cluster, cluster_max(f)) &&
	       cluster_chars_ok(cluster);
}

std::string format_rule(const Rule &rule, std::string_view cluster) {
	std::string out;
	size_t next_uid = 0;
	for (size_t i = 0; i < rule.format.size(); ++i) {
		std::string_view place = rule.format.substr(i, 2);
		if (place == "%d" && next_uid < rule.uids.size()) {
			out.append(std::to_string(rule.uids[next_uid++]));
			++i;
		} else if (place == "%s") {
			out.append(cluster);
			++i;
		} else {
			out.push_back(rule.format[i]);
		}
	}
	return out;
}

bool excepted(const Exception &e, std::string_view joined) {
	for (std::string_view allowed : e.commands)
		if (allowed.starts_with(joined))
			return true;
	return false;
}

}  // namespace policy
