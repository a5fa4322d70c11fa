// The gates a handler passes before it composes a line: the cluster operand
// and the function's rule. Each refusal is recorded.
#include "qeldump.h"

bool cluster_operand_ok(std::string_view cluster, const policy::Function &f) {
	if (cluster.find_first_of("/:") != cluster.npos)
		audit_refusal(kBadCluster);
	return policy::cluster_name_fits(cluster, f);
}

int permitted(const policy::Function &f, std::string_view cluster) {
	std::string text = policy::format_rule(*f.rule, cluster);
	int count = check_authority(tmpUser, text.data());
	if (count == 0)
		audit_refusal(kNotAuthorized);
	return count;
}
