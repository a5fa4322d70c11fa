// The cluster registry's one owner: where a cluster's file is, which names
// are registry files, and how the registry is searched for a key.
#include <dirent.h>

#include <algorithm>

#include "SP_auth/internal.h"

namespace spauth {

std::string registry_file(std::string_view regdir, std::string_view cluster) {
	return std::string(regdir).append(cluster).append(kRegistrySuffix);
}

// As the shell's *.conf expands: no name that starts with ".", in the
// files' name order ("a-b.conf" before "a.conf").
std::vector<std::string> registry_clusters(const char *regdir) {
	std::vector<std::string> names;
	DIR *d = opendir(regdir);
	if (d == nullptr)
		return names;
	for (dirent *e; (e = readdir(d)) != nullptr;) {
		std::string_view n = e->d_name;
		if (n.ends_with(kRegistrySuffix) && !n.starts_with("."))
			names.emplace_back(n);
	}
	closedir(d);
	std::sort(names.begin(), names.end());
	for (std::string &name : names)
		name.resize(name.size() - kRegistrySuffix.size());
	return names;
}

// Whole lines of fixed text: 10.0.0.1 must not find 10.0.0.15, nor a "."
// match any character. No FIFO or device is read: one could hold the
// search open forever, nor a directory. A file grep cannot open (a
// dangling link) it reports and passes over.
std::string registry_search(std::string_view regdir, std::string_view key,
                            std::string_view value) {
	std::string line = "grep -d skip -D skip -l -x -F -e ";
	shell_quote(std::string(key).append(value), line);
	line.push_back(' ');
	shell_quote(regdir, line);
	return line.append("*").append(kRegistrySuffix);
}

// The search never runs for an empty value.
bool registry_key_line(std::string_view line, std::string_view key) {
	return line.starts_with(key) && line.size() > key.size();
}

}  // namespace spauth
