#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SP_auth/internal.h"
#include "fixture.h"

namespace {

using namespace std::string_literals;

struct Registry : Fixture {
	std::string reg = dir + "/reg/";
	Registry() {
		write("reg/c1.conf", "IPADDRESS=10.0.0.1\nADMINGROUP=ops\n");
		write("reg/cblank.conf", "ADMINGROUP=ops \n");
		write("reg/ccr.conf", "ADMINGROUP=ops\r\n");
		write("reg/cempty.conf", "ADMINGROUP=\n");
		write("reg/ccomment.conf",
		      "#ADMINGROUP=ops\nOLD_ADMINGROUP=ops\n");
		write("reg/cfirst.conf",
		      "X=1\nADMINGROUP=wheel\nADMINGROUP=ops\n");
		write("reg/clong.conf",
		      "ADMINGROUP=" + std::string(80, 'g') + "\n");
		// a NUL ends its line's text, not the line
		write("reg/cnul.conf",
		      "#\0ADMINGROUP=wheel\nADMINGROUP=ops\0\nSERIALNO=1\n"s);
		write("reg/.conf", "ADMINGROUP=ops\n");  // the cluster ""
		write("reg/" + std::string(224, 'a') + ".conf",
		      "ADMINGROUP=ops\n");
		write("reg/" + std::string(225, 'a') + ".conf",
		      "ADMINGROUP=ops\n");
		write("evil.conf", "ADMINGROUP=ops\n");  // outside the registry
	}
};

// A profile of uid with the named groups, the last one primary.
user_profile *profile(uid_t uid, std::vector<const char *> groups) {
	auto *up = static_cast<user_profile *>(calloc(1, sizeof(user_profile)));
	up->uid = uid;
	std::strcpy(up->username, "u");
	for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
		auto *g = static_cast<gent *>(calloc(1, sizeof(gent)));
		std::strcpy(g->gname, *it);
		g->next = up->group;
		up->group = g;
	}
	return up;
}

TEST(Authority, Rules) {
	Registry r;
	const std::string long_g = "U=0:G=" + std::string(2045, 'x');
	struct Case {
		uid_t uid;
		std::vector<const char *> groups;
		std::string rule;
		int expected;
	} cases[] = {
	    {508, {"qelsvc", "users"}, "U=0:U=508:G=qeloem:G=qelsvc:C=c1", 2},
	    {0, {"root"}, "U=", 1},
	    {0, {"root"}, "U=abc", 1},
	    {0, {"root"}, "U", 0},
	    {5, {"admin"}, "G=adm", 0},
	    {5, {""}, "G=", 0},
	    {0, {"root"}, "U=0:X=1", 0},
	    {0, {"root"}, "X", 0},
	    {0, {"root"}, "U=0:X", 0},
	    {508, {"users"}, "U=508:", 1},
	    {0, {"root"}, "U=0::G=qelsvc", 0},
	    {703, {"ops", "users"}, "C=c1", 1},
	    {5, {""}, "C=cempty", 0},
	    {5, {"ops"}, "C=cfirst", 0},
	    {703, {"ops"}, "C=cnul", 1},
	    {703, {"ops"}, "C=c9", 0},
	    // the kind alone names no cluster, "C=" names the cluster ""
	    {703, {"ops"}, "C", 0},
	    {703, {"ops"}, "C=", 1},
	    {703, {"ops"}, "C:G=ops:C", 1},
	    {0, {"root"}, long_g, 1},
	    {0, {"root"}, long_g + "x", 0},
	    {0, {"root"}, "", 0},
	};
	for (const Case &c : cases) {
		user_profile *up = profile(c.uid, c.groups);
		EXPECT_EQ(spauth::check_authority_in(r.reg.c_str(), up,
		                                     c.rule.c_str()),
		          c.expected)
		    << c.rule.substr(0, 60);
		free_user(up);
	}
}

TEST(Authority, AdminGroup) {
	Registry r;
	const std::string a224(224, 'a'), a225(225, 'a');
	struct Case {
		std::string cluster;
		const char *group;  // null: none
	} cases[] = {
	    {"c1", "ops"},      {"cblank", "ops "},    {"ccr", "ops\r"},
	    {"cempty", ""},     {"ccomment", nullptr}, {"cfirst", "wheel"},
	    {"clong", nullptr}, {"c9", nullptr},       {"../evil", nullptr},
	    {"C1", nullptr},    {"cnul", "ops"},       {"", "ops"},
	    {a224, "ops"},      {a225, nullptr},
	};
	for (const Case &c : cases) {
		char buf[256];
		std::strcpy(buf, c.cluster.c_str());
		char *got = spauth::get_admin_group_in(r.reg.c_str(), buf);
		if (c.group == nullptr) {
			EXPECT_EQ(got, nullptr) << c.cluster;
			EXPECT_EQ(buf, c.cluster)
			    << "buffer must stay unchanged";
		} else {
			EXPECT_EQ(got, buf);
			EXPECT_STREQ(buf, c.group) << c.cluster;
		}
	}
}

}  // namespace
