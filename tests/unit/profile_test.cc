// The caller's profile: which passwd line is the caller's, how it is cut,
// and which groups follow from the group file.
#include <gtest/gtest.h>

#include <string>

#include "SP_auth/internal.h"
#include "fixture.h"

namespace {

using namespace std::string_literals;

const std::string kPasswd =
    "root:x:0:0:root:/root:/bin/bash\n"
    "ann:x:701:100:Ann Lee:/home/ann:/bin/sh\n"
    "bob:x:702:100::/home/bob:/bin/sh\n";
const std::string kGroup =
    "root:x:0:\n"
    "wheel:x:10:root,ann\n"
    "users:x:100:\n"
    "ops:x:300:bobby,ann\n";
const std::string kRoot = "root:x:0:0:root:/root:/bin/bash\n";
const std::string kAnn = "ann 701 [Ann Lee] ops:300,wheel:10,users:100";
const std::string kMessage =
    "null get_user_profile: error obtaining user data ";

// "name uid [comment] group:gid,..." or "null", and what went to stderr.
// name: looked up by name; null: by uid.
std::string show(const std::string &passwd, const char *name, uid_t uid,
                 const std::string &group = kGroup, int mode = -1) {
	Fixture fx;
	fx.write("passwd", passwd);
	fx.write("group", group);
	if (mode < 0)
		mode = name != nullptr ? SPAUTH_BY_NAME : SPAUTH_BY_UID;
	const void *key = name != nullptr ? static_cast<const void *>(name)
	                                  : static_cast<const void *>(&uid);
	testing::internal::CaptureStderr();
	user_profile *up = spauth::get_user_profile_from(
	    fx.path("passwd").c_str(), fx.path("group").c_str(), mode, key);
	std::string err = testing::internal::GetCapturedStderr();
	if (up == nullptr)
		return "null" + (err.empty() ? "" : " " + err);
	std::string s = std::string(up->username) + " " +
	                std::to_string(up->uid) + " [" + up->comment + "]";
	for (gent *g = up->group; g != nullptr; g = g->next)
		s += std::string(g == up->group ? " " : ",") + g->gname + ":" +
		     std::to_string(g->gid);
	free_user(up);
	return s + err;
}

TEST(Profile, PasswdLines) {
	const std::string pad = "mal:x:900:100:" + std::string(241, 'A');
	struct Case {
		std::string passwd;
		const char *name;
		uid_t uid;
		std::string profile, group = kGroup;
	} cases[] = {
	    // whole names and uids; the first line of a uid counts
	    {kPasswd, nullptr, 701, kAnn},
	    {kPasswd, "ann", 0, kAnn},
	    {kPasswd, "Ann", 0, "null"},
	    {kPasswd, "", 0, "null"},
	    {kPasswd, nullptr, 799, "null"},
	    {"root:x:0:0:r:/:/bin/sh\nroot2:x:0:0:r:/:/bin/sh\n", nullptr, 0,
	     "root 0 [r] wheel:10,root:0"},
	    // fields as passwd(5) cuts them; a comment decides nothing, so it
	    // is cut rather than refused
	    {kPasswd, nullptr, 702, "bob 702 [] users:100"},
	    {"cal::703:100:Cal:/home/cal:/bin/sh\n", nullptr, 703,
	     "cal 703 [Cal] users:100"},
	    {"cal::703:100:Cal:/home/cal:/bin/sh\n", nullptr, 100, "null"},
	    {"l:x:9:9:" + std::string(90, 'c') + ":/:/bin/sh\n", nullptr, 9,
	     "l 9 [" + std::string(79, 'c') + "] :9", ""},
	    // a uid field is a strict unsigned 32-bit number, or no match
	    {"\nx\na:x\na:x::0:c\na:x:abc:0:c\n" + kRoot, nullptr, 0,
	     "root 0 [root] :0", ""},
	    {"a:x:+0:0:c\na:x: 0:0:c\na:x:-0:0:c\n" + kRoot, nullptr, 0,
	     "root 0 [root] :0", ""},
	    {"neg:x:-1:0:c:/:/bin/sh\n", nullptr, 4294967295u, "null"},
	    {"big:x:4294967296:0:c:/:/bin/sh\n", nullptr, 0, "null"},
	    {"max:x:4294967295:0:c:/:/bin/sh\n", nullptr, 4294967295u,
	     "max 4294967295 [c] :0", ""},
	    // names and ids over their buffers make a line unreadable
	    {std::string(80, 'n') + ":x:5:5:c:/:/bin/sh\n", nullptr, 5, "null"},
	    {"a:x:" + std::string(49, '0') + "7:5:c\n", nullptr, 7, "null"},
	    {"a:x:" + std::string(48, '0') + "7:5:c\n", nullptr, 7,
	     "a 7 [c] :5", ""},
	    // the loader's messages
	    {":x:720:100:c:/:/bin/sh\n", nullptr, 720, kMessage + "(field1)\n"},
	    {"solo\n", "solo", 0, kMessage + "(field2)\n"},
	    {"two:x\n", "two", 0, kMessage + "(field3)\n"},
	    {"two:x:-5:0:c\n", "two", 0, kMessage + "(field3)\n"},
	    {"dan:x:704\n", nullptr, 704, kMessage + "(field4)\n"},
	    {"dan:x:704:abc:c\n", nullptr, 704, kMessage + "(field4)\n"},
	    {"eve:x:705:100\n", nullptr, 705, kMessage + "(field5)\n"},
	    // a NUL ends its line's text, never the line: what follows it is
	    // never joined to the next line, nor is a long line's tail
	    {"evil:x:1000:1000:x\0:junk\n"s + kRoot, nullptr, 0,
	     "root 0 [root] :0", ""},
	    {"evil:x:1000:1000:x\0:junk\n"s + kRoot, nullptr, 1000,
	     "evil 1000 [x] :1000", ""},
	    {pad + "z:x:0:0:pwn:/:/bin/sh\n", nullptr, 0, "null"},
	};
	for (const Case &c : cases)
		EXPECT_EQ(show(c.passwd, c.name, c.uid, c.group), c.profile)
		    << c.passwd.substr(0, 60);
	EXPECT_EQ(show(kPasswd, nullptr, 701, kGroup, 2), "null") << "mode 2";
}

TEST(Profile, GroupLines) {
	const size_t max = spauth::kLineMax;
	struct Case {
		std::string group;
		const char *groups;  // ann's list, head first
	} cases[] = {
	    {"users:x:100:\nstaff:x:100:\n", "staff:100"},
	    {"wheel:x:10:ann\n", "wheel:10,:100"},
	    {"staff:x:100:ann\n", "staff:100"},
	    {"a:x:7:ann\nb:x:7:ann\n", "b:7,a:7,:100"},
	    {"staff::50:ann,bob\n", "staff:50,:100"},
	    // whole member names
	    {"qelsvc:x:901:svc,joanne\nops:x:902:annie,xann,ann2\n", ":100"},
	    {"g:x:5:bob, ann\nh:x:6:ann,\n", "h:6,:100"},
	    {"bad:x:abc:ann\nneg:x:-1:ann\nsig:x:+5:ann\nok:x:8:ann\n",
	     "ok:8,:100"},
	    {"short:x:9\n", ":100"},
	    // a NUL ends the text of its line, and only of its line
	    {"wheel2:x:10:\0\nann:x:701:\n"s, ":100"},
	    {"a:x:7:ann\0x\nb:x:8:bob\0,ann\n"s, "a:7,:100"},
	    // lines read whole: one across the 64 KiB a read takes, one of
	    // the longest length, a member far down a line
	    {"p:x:1:" + std::string(65523, 'p') + "\nx:x:403:ann\n",
	     "x:403,:100"},
	    {"big:x:404:" + std::string(max - 14, 'm') + ",ann\n",
	     "big:404,:100"},
	    {"big:x:405:" + std::string(max - 13, 'm') + ",ann\n", ":100"},
	    {"huge:x:401:ann\0"s + std::string(max, 'm') + "\nx:x:403:ann\n",
	     "x:403,:100"},
	};
	for (const Case &c : cases)
		EXPECT_EQ(show(kPasswd, nullptr, 701, c.group),
		          std::string("ann 701 [Ann Lee] ") + c.groups)
		    << c.group.substr(0, 60);
}

}  // namespace
