// The gates a handler passes before it composes a line: the cluster operand
// and the function's rule.
#include "handler.h"

namespace front {

// Only a refusal for the name's characters is recorded: one for its length
// is a usage error, and those are not.
bool gate_cluster(std::string_view cluster, const policy::Function &f) {
	if (!policy::cluster_chars_ok(cluster))
		audit_refusal(kReasonBadCluster);
	return policy::cluster_name_fits(cluster, f);
}

bool gate_rule(const policy::Function &f, std::string_view cluster) {
	std::string text = policy::format_rule(*f.rule, cluster);
	if (check_authority(tmpUser, text.data()) != 0)
		return true;
	refuse(f, kReasonNotAuthorized);
	return false;
}

}  // namespace front
