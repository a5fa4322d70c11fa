#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SP_auth/internal.h"
#include "fixture.h"

namespace {

using namespace std::string_literals;

// Root reads only a regular file that a file system stores: never a
// device, nor a pseudo file whose content its reader or a user makes up.
TEST(Lines, OnlyStoredRegularFiles) {
	Fixture fx;
	for (auto [path, ok] : {std::pair{fx.write("f", "x\n"), true},
	                        {"/dev/null"s, false},
	                        {"/proc/self/environ"s, false},
	                        {"/sys/kernel/uevent_seqnum"s, false},
	                        {"/proc/self/root" + fx.path("f"), false}}) {
		int fd = spauth::open_regular(path.c_str());
		EXPECT_EQ(fd >= 0, ok) << path;
		if (fd >= 0)
			close(fd);
	}
}

TEST(NextUid, Table) {
	struct Case {
		std::string passwd;
		int expected;
	} cases[] = {
	    {"b:x:100:0\nc:x:514:0\nd:x:520:0\ne:x:600:0\nf:x:1000:0\n", 521},
	    {"a:x:0:0\nb:x:513:0\nc:x:600:0\n", 514},
	    {"a:x:599:0\n", 600},
	    {"a:x:-550:0\nb:x:550x:0\n\nc::560:0\nd:x:\ne\n", 561},
	    {"a:x:000000000550:0\nb:x:00000000540:0\n", 541},
	    {"pad:x:" + std::string(300, 'p') + ":x:580:0\n", 514},
	    {"a:x:1:0\0\nb:x:550:0\n"s, 551},
	};
	for (const Case &c : cases) {
		Fixture fx;
		EXPECT_EQ(spauth::get_next_uid_from(
		              fx.write("passwd", c.passwd).c_str()),
		          c.expected)
		    << c.passwd.substr(0, 40);
	}
	EXPECT_EQ(spauth::get_next_uid_from("/nonexistent/passwd"), 0);
}

user_profile *ann(std::initializer_list<const char *> groups) {
	auto *up = static_cast<user_profile *>(calloc(1, sizeof(user_profile)));
	up->uid = 701;
	std::strcpy(up->username, "ann");
	gent **tail = &up->group;
	for (const char *name : groups) {
		*tail = static_cast<gent *>(calloc(1, sizeof(gent)));
		std::strcpy((*tail)->gname, name);
		tail = &(*tail)->next;
	}
	return up;
}

TEST(PrintProfile, ClustersForAdministeringGroups) {
	using Files = std::vector<std::pair<std::string, std::string>>;
	// enough listed files to cut grep's output inside the last name
	Files many;
	for (char c = 'a'; c < 'a' + 18; ++c)
		many.emplace_back(std::string(200, c), "ADMINGROUP=ops\n");
	struct Case {
		Files files;  // cluster name, registry file content
		std::initializer_list<const char *> groups;
		std::string line;
	} cases[] = {
	    {{{"c1", "ADMINGROUP=ops\n"}, {"c2", "ADMINGROUP=x\n"}},
	     {"ops", "wheel", "users"},
	     "U=ann:I=701:C=c1:G=wheel:G=users\n"},
	    {{{"c1", "ADMINGROUP=ops\n"}, {"c2", "IP=1\nADMINGROUP=ops\n"}},
	     {"ops"},
	     "U=ann:I=701:C=c2\n"},
	    {{{"c1", "ADMINGROUP=opsteam\n"}, {"c2", "#ADMINGROUP=ops\n"}},
	     {"ops"},
	     "U=ann:I=701:G=ops\n"},
	    {{{"c1", "ADMINGROUP=a;touch pwned\n"}},
	     {"a;touch pwned", "b"},
	     "U=ann:I=701:C=c1:G=b\n"},
	    // names no registry line can hold are never searched
	    {{{"c7", "ADMINGROUP=\n"}}, {""}, "U=ann:I=701:G=\n"},
	    {{{"c1", "ADMINGROUP=a\nb\n"}}, {"a\nb"}, "U=ann:I=701:G=a\nb\n"},
	    // a NUL ends the line's text, for grep as for getAdminGroup
	    {{{"c1", "ADMINGROUP=ops\0junk\n"s}},
	     {"ops"},
	     "U=ann:I=701:C=c1\n"},
	    // a file name holding a newline is one cluster
	    {{{"c1", "ADMINGROUP=ops\n"}, {"c2\nc9", "ADMINGROUP=ops\n"}},
	     {"ops"},
	     "U=ann:I=701:C=c2\nc9\n"},
	    // cut output: the last complete line names the cluster
	    {many, {"ops"}, "U=ann:I=701:C=" + std::string(200, 'q') + "\n"},
	};
	for (const Case &c : cases) {
		Fixture fx;
		for (const auto &[name, text] : c.files)
			fx.write("reg/" + name + ".conf", text);
		user_profile *up = ann(c.groups);
		testing::internal::CaptureStdout();
		int rc = spauth::print_user_profile_in(
		    (fx.dir + "/reg/").c_str(), up);
		EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
		EXPECT_EQ(rc, 0);
		free_user(up);
	}
	EXPECT_EQ(spauth::print_user_profile_in("/nonexistent/", nullptr), 127);
	EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(PipeRunner, CapturesStatusAndBoundedOutput) {
	struct Case {
		const char *cmd;
		size_t length;
		std::string out;
		int status;
	} cases[] = {
	    {"echo hi", 64, "hi\n", 0},
	    {"printf abcdef", 4, "abc", 0},
	    {"printf abc", 1, "", 0},
	    {"exit 3", 64, "", 3},
	    {"kill -9 $$", 64, "", 9},
	    // more than a pipe holds: drained while the child runs
	    {"head -c 300000 /dev/zero | tr '\\0' x; exit 4", 6, "xxxxx", 4},
	};
	for (const Case &c : cases) {
		char buf[64] = "stale";
		std::string cmd = c.cmd;
		EXPECT_EQ(my_system_pipe(cmd.data(), c.length, buf), c.status)
		    << c.cmd;
		EXPECT_EQ(std::string(buf), c.out) << c.cmd;
	}
	char buf[8] = "keep";
	EXPECT_EQ(my_system_pipe(nullptr, sizeof buf, buf), 127);
	EXPECT_STREQ(buf, "keep");
}

}  // namespace
