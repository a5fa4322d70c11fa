// check_authority on arbitrary rules against a fixture profile and registry.
#include <cstdlib>
#include <cstring>
#include <string>

#include "SP_auth/internal.h"
#include "fuzz.h"

namespace {

user_profile *fixture_profile() {
	static user_profile *up = [] {
		auto *p = static_cast<user_profile *>(
		    calloc(1, sizeof(user_profile)));
		p->uid = 703;
		strcpy(p->username, "opsadm");
		const char *names[] = {"ops", "qelsvc", "users"};
		gent **tail = &p->group;
		for (const char *n : names) {
			*tail = static_cast<gent *>(calloc(1, sizeof(gent)));
			strcpy((*tail)->gname, n);
			tail = &(*tail)->next;
		}
		put_file("c1.conf", "IPADDRESS=10.0.0.1\nADMINGROUP=ops\n");
		put_file("c2.conf", "ADMINGROUP=\n");
		put_file(".conf", "ADMINGROUP=ops\n");  // the cluster ""
		return p;
	}();
	return up;
}

int check(const std::string &rule) {
	return spauth::check_authority_in(scratch_dir().c_str(),
	                                  fixture_profile(), rule.c_str());
}

}  // namespace

void fuzz(std::string_view in) {
	std::string rule = c_text(in);
	int count = check(rule);
	size_t terms = 1;
	for (char c : rule)
		terms += c == ':';
	FUZZ_ASSERT(count >= 0 && static_cast<size_t>(count) <= terms);
	// two delimiters in a row make a term of unknown kind: refused
	FUZZ_ASSERT(rule.find("::") == rule.npos || count == 0);
	// a kind alone contributes nothing
	FUZZ_ASSERT(rule.ends_with(':') || check(rule + ":C") == count);
}
