// The rule text for a cluster, and the cluster names a function takes.
#include "policy.h"

namespace policy {

bool cluster_name_fits(std::string_view cluster, const Function &f) {
	return spauth::cluster_name_ok(cluster, cluster_max(f)) &&
	       cluster.find(':') == cluster.npos;
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

}  // namespace policy
