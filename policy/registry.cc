// A cluster is registered when root can read its registry file.
#include <unistd.h>

#include "policy.h"

int ValidateCluster(const char *cluster) {
	std::string_view name = cluster;
	if (!spauth::cluster_name_ok(name, policy::kValidateMax))
		return -1;
	std::string path = spauth::registry_file(spauth::kRegistryDir, name);
	return access(path.c_str(), R_OK) == 0 ? 0 : -1;
}
