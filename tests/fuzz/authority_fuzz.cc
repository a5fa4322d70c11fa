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
		std::string c1 = "IPADDRESS=10.0.0.1\nADMINGROUP=ops\n";
		std::string c2 = "ADMINGROUP=\n";
		put_file("c1.conf",
		         reinterpret_cast<const uint8_t *>(c1.data()),
		         c1.size());
		put_file("c2.conf",
		         reinterpret_cast<const uint8_t *>(c2.data()),
		         c2.size());
		return p;
	}();
	return up;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
	std::string rule(reinterpret_cast<const char *>(data), size);
	rule = rule.substr(0, rule.find('\0'));
	int count = spauth::check_authority_in(scratch_dir().c_str(),
	                                       fixture_profile(), rule.c_str());
	size_t terms = 1;
	for (char c : rule)
		terms += c == ':';
	FUZZ_ASSERT(count >= 0 && static_cast<size_t>(count) <= terms);
	// two delimiters in a row make a term of unknown kind: refused
	FUZZ_ASSERT(rule.find("::") == rule.npos || count == 0);
	return 0;
}
