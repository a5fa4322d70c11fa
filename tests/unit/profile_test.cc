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

// "name uid [comment] group:gid,..." or "null", plus what went to stderr.
std::string show(const std::string &passwd, const std::string &group, int mode,
                 const void *key, bool with_group = true) {
	Fixture fx;
	fx.write("passwd", passwd);
	if (with_group)
		fx.write("group", group);
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

std::string by_uid(const std::string &passwd, uid_t uid,
                   const std::string &group = kGroup) {
	return show(passwd, group, SPAUTH_BY_UID, &uid);
}

std::string by_name(const std::string &passwd, const char *name,
                    const std::string &group = kGroup) {
	return show(passwd, group, SPAUTH_BY_NAME, name);
}

TEST(Profile, ByUidAndByName) {
	const std::string ann = "ann 701 [Ann Lee] ops:300,wheel:10,users:100";
	EXPECT_EQ(by_uid(kPasswd, 701), ann);
	EXPECT_EQ(by_name(kPasswd, "ann"), ann);
	EXPECT_EQ(by_name(kPasswd, "Ann"), "null");
	EXPECT_EQ(by_name(kPasswd, ""), "null");
	EXPECT_EQ(by_uid(kPasswd, 799), "null");
	uid_t uid = 701;
	EXPECT_EQ(show(kPasswd, kGroup, 2, &uid), "null");
	EXPECT_EQ(
	    by_uid("root:x:0:0:r:/:/bin/sh\nroot2:x:0:0:r:/:/bin/sh\n", 0),
	    "root 0 [r] wheel:10,root:0");
}

TEST(Profile, FieldsSplitAsPasswdDefinesThem) {
	EXPECT_EQ(by_uid(kPasswd, 702), "bob 702 [] users:100");
	const std::string cal = "cal::703:100:Cal:/home/cal:/bin/sh\n";
	EXPECT_EQ(by_uid(cal, 703), "cal 703 [Cal] users:100");
	EXPECT_EQ(by_uid(cal, 100), "null");
	EXPECT_EQ(by_uid(kPasswd, 701, "staff::50:ann,bob\nusers:x:100:\n"),
	          "ann 701 [Ann Lee] staff:50,users:100");
	// a comment decides nothing, so it is cut rather than refused
	EXPECT_EQ(
	    by_uid("l:x:9:9:" + std::string(90, 'c') + ":/:/bin/sh\n", 9, ""),
	    "l 9 [" + std::string(79, 'c') + "] :9");
}

TEST(Profile, UidFieldMustBeAnUnsigned32BitNumber) {
	const std::string root = "root:x:0:0:root:/root:/bin/bash\n";
	for (const char *bad :
	     {"\n", "x\n", "a:x\n", "a:x::0:c\n", "a:x:abc:0:c\n",
	      "a:x:+0:0:c\n", "a:x: 0:0:c\n", "a:x:-0:0:c\n"})
		EXPECT_EQ(by_uid(bad + root, 0, ""), "root 0 [root] :0") << bad;
	EXPECT_EQ(by_uid("neg:x:-1:0:c:/:/bin/sh\n", 4294967295u), "null");
	EXPECT_EQ(by_uid("big:x:4294967296:0:c:/:/bin/sh\n", 0), "null");
	EXPECT_EQ(by_uid("max:x:4294967295:0:c:/:/bin/sh\n", 4294967295u, ""),
	          "max 4294967295 [c] :0");
}

TEST(Profile, OverlongKeyFieldsMakeALineUnreadable) {
	const std::string longname = std::string(80, 'n');
	EXPECT_EQ(by_uid(longname + ":x:5:5:c:/:/bin/sh\n", 5), "null");
	EXPECT_EQ(by_name(longname + ":x:5:5:c:/:/bin/sh\n", longname.c_str()),
	          "null");
	EXPECT_EQ(by_uid("a:x:" + std::string(49, '0') + "7:5:c\n", 7), "null");
	EXPECT_EQ(by_uid("a:x:" + std::string(48, '0') + "7:5:c\n", 7, ""),
	          "a 7 [c] :5");
}

TEST(Profile, LoaderMessages) {
	const std::string msg = "get_user_profile: error obtaining user data ";
	EXPECT_EQ(by_uid(":x:720:100:c:/:/bin/sh\n", 720),
	          "null " + msg + "(field1)\n");
	EXPECT_EQ(by_name("solo\n", "solo"), "null " + msg + "(field2)\n");
	EXPECT_EQ(by_name("two:x\n", "two"), "null " + msg + "(field3)\n");
	EXPECT_EQ(by_name("two:x:-5:0:c\n", "two"),
	          "null " + msg + "(field3)\n");
	EXPECT_EQ(by_uid("dan:x:704\n", 704), "null " + msg + "(field4)\n");
	EXPECT_EQ(by_uid("dan:x:704:abc:c\n", 704),
	          "null " + msg + "(field4)\n");
	EXPECT_EQ(by_uid("eve:x:705:100\n", 705), "null " + msg + "(field5)\n");
}

TEST(Profile, GroupList) {
	struct Case {
		std::string group;
		const char *groups;  // ann's list, head first
	} cases[] = {
	    {"users:x:100:\nstaff:x:100:\n", "staff:100"},
	    {"wheel:x:10:ann\n", "wheel:10,:100"},
	    {"staff:x:100:ann\n", "staff:100"},
	    {"a:x:7:ann\nb:x:7:ann\n", "b:7,a:7,:100"},
	    {"qelsvc:x:901:svc,joanne\nops:x:902:annie,xann,ann2\n", ":100"},
	    {"g:x:5:bob, ann\nh:x:6:ann,\n", "h:6,:100"},
	    {"bad:x:abc:ann\nneg:x:-1:ann\nsig:x:+5:ann\nok:x:8:ann\n",
	     "ok:8,:100"},
	    {"short:x:9\n", ":100"},
	    // a NUL ends the text of its line, and only of its line
	    {"wheel2:x:10:\0\nann:x:701:\n"s, ":100"},
	    {"a:x:7:ann\0x\nb:x:8:bob\0,ann\n"s, "a:7,:100"},
	};
	for (const Case &c : cases)
		EXPECT_EQ(by_uid(kPasswd, 701, c.group),
		          std::string("ann 701 [Ann Lee] ") + c.groups)
		    << c.group;
	EXPECT_EQ(show(kPasswd, "", SPAUTH_BY_NAME, "ann", false),
	          "ann 701 [Ann Lee] :100");
}

TEST(Profile, WholeLinesNeverPieces) {
	// what follows a NUL is ignored up to the newline, never joined to
	// the next line
	const std::string root = "root:x:0:0:root:/root:/bin/bash\n";
	const std::string evil = "evil:x:1000:1000:x\0:junk\n"s;
	EXPECT_EQ(by_uid(evil + root, 0, ""), "root 0 [root] :0");
	EXPECT_EQ(by_uid(evil + root, 1000, ""), "evil 1000 [x] :1000");
	// The tail of a long line must never be read as a line of its own.
	std::string pad = "mal:x:900:100:" + std::string(241, 'A');
	ASSERT_EQ(pad.size(), 255u);
	EXPECT_EQ(by_uid(pad + "z:x:0:0:pwn:/:/bin/sh\n", 0), "null");
	// a member listed far past the first kilobyte still counts
	std::string big = "big:x:400:" + std::string(5000, 'm') + ",ann\n";
	EXPECT_EQ(by_uid(kPasswd, 701, big), "ann 701 [Ann Lee] big:400,:100");
	// a line over a mebibyte is skipped whole, its tail included; the
	// bytes after a NUL count towards its size
	std::string huge = "huge:x:401:ann\0"s + std::string(1 << 20, 'm') +
	                   "\nann:x:402:ann\nx:x:403:ann\n";
	EXPECT_EQ(by_uid(kPasswd, 701, huge),
	          "ann 701 [Ann Lee] x:403,ann:402,:100");
	std::string huge_tail =
	    "huge:x:401:" + std::string(1 << 20, 'm') + ",ann\n";
	EXPECT_EQ(by_uid(kPasswd, 701, huge_tail), "ann 701 [Ann Lee] :100");
}

}  // namespace
