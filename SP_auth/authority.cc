// Authority strings: colon-separated U=, G= and C= terms, walked with the
// colon-field tokenizer so that two delimiters in a row refuse.
#include <unistd.h>

#include <cstring>

#include "SP_auth/internal.h"

namespace spauth {
namespace {

// The value as atoi reads it, without atoi's undefined overflow.
int atoi_value(std::string_view v) {
	size_t i = 0;
	while (i < v.size() && (v[i] == ' ' || (v[i] >= '\t' && v[i] <= '\r')))
		++i;
	bool neg = false;
	if (i < v.size() && (v[i] == '+' || v[i] == '-'))
		neg = v[i++] == '-';
	long long n = 0;
	for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
		if (n <= INT32_MAX)
			n = n * 10 + (v[i] - '0');
	if (n > INT32_MAX)
		n = INT32_MAX;  // strtol saturates as well
	return static_cast<int>(neg ? -n : n);
}

// An empty name never matches, not even a group without a name.
bool in_group(const user_profile *up, std::string_view name) {
	if (name.empty())
		return false;
	for (const gent *g = up->group; g != nullptr; g = g->next)
		if (name == g->gname)
			return true;
	return false;
}

}  // namespace

bool cluster_name_ok(std::string_view cluster, size_t max) {
	return cluster.size() <= max && cluster.find('/') == cluster.npos;
}

char *get_admin_group_in(const char *regdir, char *buffer) {
	std::string_view cluster = buffer;
	if (!cluster_name_ok(cluster, kClusterMax))
		return nullptr;
	std::string path = registry_file(regdir, cluster);
	if (access(path.c_str(), R_OK) != 0)
		return nullptr;
	LineReader r;
	if (!open_lines(r, path.c_str()))
		return nullptr;
	std::string_view line;
	bool too_long;
	char *result = nullptr;
	while (read_line(r, line, too_long)) {
		if (too_long || !line.starts_with(kAdminGroupKey))
			continue;
		// Only the first key line counts; a name no group can have
		// grants nothing.
		std::string_view name = line.substr(kAdminGroupKey.size());
		if (name.size() <= kNameMax) {
			std::memcpy(buffer, name.data(), name.size());
			buffer[name.size()] = '\0';
			result = buffer;
		}
		break;
	}
	return result;
}

bool c_term_group(const char *regdir, std::string_view cluster,
                  std::string &group) {
	char buffer[kCTermMax + 1];
	if (cluster.size() >= sizeof buffer)
		return false;
	std::memcpy(buffer, cluster.data(), cluster.size());
	buffer[cluster.size()] = '\0';
	const char *admin = get_admin_group_in(regdir, buffer);
	if (admin != nullptr)
		group = admin;
	return admin != nullptr;
}

int check_authority_in(const char *regdir, const user_profile *up,
                       const char *authstring) {
	if (up == nullptr || authstring == nullptr || authstring[0] == '\0')
		return 0;
	char *start = const_cast<char *>(authstring);  // the step only reads
	char *end = start;
	int count = 0;
	for (int len = get_next_pw_field(&start, ':', &end); len != 0;
	     start = end, len = get_next_pw_field(&start, ':', &end)) {
		std::string_view term(start, static_cast<size_t>(len));
		// A kind alone contributes nothing; "C" must not read the
		// registry file of the cluster "".
		bool kind_only = term.size() == 1;
		std::string_view value = term.size() > 2 ? term.substr(2) : "";
		switch (term[0]) {
		case 'U':
			if (term.size() > kTermMax)
				return 0;
			if (!kind_only &&
			    static_cast<uid_t>(atoi_value(value)) == up->uid)
				++count;
			break;
		case 'G':
			if (term.size() > kTermMax)
				return 0;
			if (in_group(up, value))
				++count;
			break;
		case 'C': {
			if (term.size() > kCTermMax)
				return 0;
			std::string group;
			if (!kind_only && c_term_group(regdir, value, group) &&
			    in_group(up, group))
				++count;
			break;
		}
		default:
			return 0;
		}
	}
	return count;
}

}  // namespace spauth

extern "C" int check_authority(struct user_profile *uprof, char *authstring) {
	return spauth::check_authority_in(spauth::kRegistryDir, uprof,
	                                  authstring);
}

extern "C" char *getAdminGroup(char *buffer) {
	return spauth::get_admin_group_in(spauth::kRegistryDir, buffer);
}
