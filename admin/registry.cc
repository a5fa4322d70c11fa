// The registry read whole, as spauth verify --json and --registry-file
// need it: the digest of every registry file, and a candidate file's
// content checked line by line before it is put in place.
#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "SP_auth/internal.h"
#include "admin.h"
#include "findings.h"
#include "sha256.h"

namespace {

// What the digest takes for a registry file that is not a regular file.
constexpr char kNoContent[] = {'-', '\0'};

// The whole text of a regular file, up to kRegistryTextMax bytes; false,
// with why, when it cannot be read or is longer.
bool read_whole(const char *path, std::string &text, std::string &why) {
	int fd = spauth::open_regular(path);
	if (fd < 0) {
		why = std::string("cannot read ") + path;
		return false;
	}
	text.clear();
	char buf[8192];
	ssize_t n;
	while ((n = read(fd, buf, sizeof buf)) > 0 &&
	       text.size() <= kRegistryTextMax)
		text.append(buf, static_cast<size_t>(n));
	close(fd);
	if (n < 0)
		why = std::string("cannot read ") + path;
	else if (text.size() > kRegistryTextMax)
		why = std::string(path) + " is over " +
		      std::to_string(kRegistryTextMax) + " bytes";
	return n >= 0 && text.size() <= kRegistryTextMax;
}

bool printable(std::string_view line) {
	return std::all_of(line.begin(), line.end(),
	                   [](char c) { return c >= 0x20 && c < 0x7f; });
}

bool value_ok(std::string_view key, std::string_view value) {
	if (key == spauth::kIpKey) {
		char ip[policy::kIpMax + 1];
		if (value.size() > policy::kIpMax)
			return false;
		std::memcpy(ip, value.data(), value.size());
		ip[value.size()] = '\0';
		in_addr addr;
		return inet_pton(AF_INET, ip, &addr) == 1;
	}
	if (key == spauth::kSerialKey)
		return !value.empty() && value.size() <= policy::kSerialMax &&
		       std::all_of(value.begin(), value.end(), [](char c) {
			       return std::isalnum(
			           static_cast<unsigned char>(c));
		       });
	return !value.empty() && value.size() <= spauth::kNameMax &&
	       value.find_first_of(": ") == value.npos;
}

// A line that names a key the readers would not see: the key with other
// case, blanks or quotes around its name.
bool resembles_key(std::string_view name) {
	size_t from = name.find_first_not_of(" \t\"'");
	size_t to = name.find_last_not_of(" \t\"'");
	if (from == name.npos)
		return false;
	name = name.substr(from, to - from + 1);
	for (std::string_view key :
	     {spauth::kIpKey, spauth::kSerialKey, spauth::kAdminGroupKey})
		if (name.size() + 1 == key.size() &&
		    std::equal(
		        name.begin(), name.end(), key.begin(),
		        [](char a, char b) {
			        return std::toupper(
			                   static_cast<unsigned char>(a)) == b;
		        }))
			return true;
	return false;
}

}  // namespace

bool registry_digest(std::string &hex, size_t &files, std::string &why) {
	sha256::State s;
	sha256::init(s);
	files = 0;
	for (const std::string &cluster :
	     spauth::registry_clusters(spauth::kRegistryDir)) {
		std::string path =
		    spauth::registry_file(spauth::kRegistryDir, cluster);
		std::string name =
		    cluster + std::string(spauth::kRegistrySuffix);
		struct stat st;
		sha256::update(s,
		               std::string_view(name.c_str(), name.size() + 1));
		++files;
		std::string text;
		if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
			sha256::update(
			    s, std::string_view(kNoContent, sizeof kNoContent));
			continue;
		}
		if (!read_whole(path.c_str(), text, why))
			return false;
		std::string size = std::to_string(text.size());
		sha256::update(s,
		               std::string_view(size.c_str(), size.size() + 1));
		sha256::update(s, text);
	}
	hex = sha256::hex(s);
	return true;
}

// One line of a candidate; seen: the keys of the lines before it.
void check_candidate_line(const char *path, std::string_view line,
                          const std::string &n,
                          std::set<std::string_view> &seen,
                          const Names &groups) {
	using namespace findings;
	if (!printable(line)) {
		report(kRegLineBytes, path, n);
		return;
	}
	if (line.empty() || line.starts_with('#'))
		return;
	for (std::string_view key :
	     {spauth::kIpKey, spauth::kSerialKey, spauth::kAdminGroupKey}) {
		if (!line.starts_with(key))
			continue;
		std::string_view value = line.substr(key.size());
		if (!value_ok(key, value))
			report(kRegBadValue, path, n);
		else if (seen.contains(key))
			report(kRegKeyRepeated, path, n);
		else if (key == spauth::kAdminGroupKey &&
		         groups.find(value) == groups.end())
			report(kUnknownAdminGroup, path, value);
		seen.insert(key);
		return;
	}
	size_t eq = line.find('=');
	if (eq == line.npos)
		report(kRegLineUnread, path, n);
	else if (resembles_key(line.substr(0, eq)))
		report(kRegKeyMisspelt, path, n);
}

bool check_registry_file(const char *path, std::string &why) {
	std::string text;
	if (!read_whole(path, text, why))
		return false;
	Names groups = group_names();
	std::set<std::string_view> seen;
	size_t n = 0;
	for (std::string_view rest = text; !rest.empty();) {
		size_t end = rest.find('\n');
		check_candidate_line(path, rest.substr(0, end),
		                     std::to_string(++n), seen, groups);
		rest = end == rest.npos ? std::string_view()
		                        : rest.substr(end + 1);
	}
	return true;
}
