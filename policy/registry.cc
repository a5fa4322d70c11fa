// The cluster registry, read in process: one readable NAME.conf a cluster.
// (The searches by address and serial number go through grep.)
#include <dirent.h>
#include <unistd.h>

#include <algorithm>

#include "policy.h"

int ValidateCluster(const char *cluster) {
	std::string_view name = cluster;
	if (!spauth::cluster_name_ok(name, policy::kValidateMax))
		return -1;
	std::string path =
	    std::string(spauth::kRegistryDir).append(name).append(".conf");
	return access(path.c_str(), R_OK) == 0 ? 0 : -1;
}

namespace policy {

std::vector<std::string> registry_files() {
	std::vector<std::string> names;
	DIR *d = opendir(spauth::kRegistryDir);
	if (d == nullptr)
		return names;
	for (dirent *e; (e = readdir(d)) != nullptr;) {
		std::string_view n = e->d_name;
		if (n.ends_with(".conf") && !n.starts_with("."))
			names.emplace_back(n);
	}
	closedir(d);
	std::sort(names.begin(), names.end());
	return names;
}

}  // namespace policy
