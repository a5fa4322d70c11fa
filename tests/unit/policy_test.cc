// The shared policy's decisions, a table row each: cluster names, and
// tool-path verdicts on a prepared tree.
#include "policy/policy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fixture.h"

namespace {

using namespace policy;

// The longest name each function takes follows from its rule's buffer, the
// C term's limit and its own buffer; "/" and ":" never pass.
TEST(Policy, ClusterNames) {
	struct Case {
		const Function &f;
		size_t length;
		bool fits;
	} cases[] = {
	    {kDump, 63, true},      {kDump, 64, false}, {kCorvanex, 79, true},
	    {kCorvanex, 80, false}, {kCBIOS, 91, true}, {kCBIOS, 92, false},
	    {kCmd, 224, true},      {kCmd, 225, false}, {kRescue, 4064, true},
	    {kRescue, 4065, false}, {kDump, 0, true},
	};
	for (const Case &c : cases)
		EXPECT_EQ(cluster_name_fits(std::string(c.length, 'c'), c.f),
		          c.fits)
		    << c.f.name << " " << c.length;
	for (const char *name : {"c1:G=users", "../cluster/c1", "/etc/passwd"})
		EXPECT_FALSE(cluster_name_fits(name, kCmd)) << name;
}

// A tree of root's (or the tester's) under a scratch directory: tool
// paths are judged below it as the front end judges them from "/".
struct Tree : Fixture {
	Tree() {
		for (const char *d : {"bin", "open", "sticky", "real"})
			std::filesystem::create_directories(path(d));
		for (const char *t :
		     {"bin/tool", "open/tool", "sticky/tool", "real/tool",
		      "bin/open-tool", "open/interp"})
			write(t, "#!/bin/sh\n");
		// A script's interpreter: in a writable directory, a script
		// itself, relative.
		write("bin/by-open", "#! " + path("open/interp") + " -p\n");
		write("bin/by-script", "#!" + path("bin/tool") + "\n");
		write("bin/by-relative", "#!sh\n");
		write("bin/by-env",
		      "#!/usr/bin/env " + path("open/interp") + "\n");
		chmod(path("open").c_str(), 0775);
		chmod(path("sticky").c_str(), 01777);
		chmod(path("bin/open-tool").c_str(), 0757);
		namespace fs = std::filesystem;
		fs::create_symlink("tool", path("bin/link"));
		fs::create_directory_symlink("open", path("via-link"));
		fs::create_directory_symlink("real", path("safe-link"));
		fs::create_directory_symlink("bin", path("bin-link"));
		// Links to directories that do not exist yet.
		fs::create_directory_symlink(path("sticky/later"),
		                             path("later"));
		fs::create_directory_symlink("real/later", path("safe-later"));
	}
};

TEST(Policy, ToolPaths) {
	Tree t;
	struct Case {
		std::string tool;
		int verdict;
		std::string component;
		const char *why;
		std::string link = {};  // the link the finding came through
	} cases[] = {
	    {"bin/tool", kPathSafe, "", ""},
	    {"bin/missing", kPathSafe, "", ""},
	    {"missing/tool", kPathSafe, "", ""},
	    {"open/tool", kPathUnsafe, "open", kPathWritable},
	    {"sticky/tool", kPathUnsafe, "sticky", kPathWritable},
	    {"bin/open-tool", kPathUnsafe, "bin/open-tool", kPathWritable},
	    {"bin/link", kPathUnsafe, "bin/link", kPathNotRegular},
	    {"bin", kPathUnsafe, "bin", kPathNotRegular},
	    {"via-link/tool", kPathUnsafe, "open", kPathWritable, "via-link"},
	    {"safe-link/tool", kPathSafe, "", ""},
	    {"later/tool", kPathUnsafe, "sticky", kPathWritable, "later"},
	    {"safe-later/tool", kPathSafe, "", ""},
	    {"bin/by-open", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-script", kPathUnsafe, "bin/tool", kPathNestedScript},
	    {"bin/by-relative", kPathUnsafe, "bin/by-relative",
	     kPathUnexamined},
	    {"bin/by-env", kPathUnsafe, "open", kPathWritable},
	    // below where a link leads, a fault is no longer the link's
	    {"bin-link/open-tool", kPathUnsafe, "bin/open-tool", kPathWritable},
	};
	uid_t me = geteuid();
	for (const Case &c : cases) {
		ToolPathFinding f;
		EXPECT_EQ(check_tool_path(t.path(c.tool).c_str(), me, f, t.dir),
		          c.verdict)
		    << c.tool;
		EXPECT_EQ(f.component,
		          c.component.empty() ? "" : t.path(c.component))
		    << c.tool;
		EXPECT_STREQ(f.why, c.why) << c.tool;
		EXPECT_EQ(f.link, c.link.empty() ? "" : t.path(c.link))
		    << c.tool;
	}
	ToolPathFinding f;
	EXPECT_EQ(check_tool_path("bin/tool", me, f), kPathUnsafe);
	EXPECT_STREQ(f.why, kPathUnexamined);
	// Owned by another account: run, but said; unless that account is
	// the one allowed besides root.
	if (me != 0)
		GTEST_SKIP() << "only root can give a file to another account";
	ASSERT_EQ(chown(t.path("real").c_str(), 1, 0), 0);
	EXPECT_EQ(check_tool_path(t.path("real/tool").c_str(), 0, f, t.dir),
	          kPathForeignOwner);
	EXPECT_EQ(f.component, t.path("real"));
	EXPECT_EQ(check_tool_path(t.path("real/tool").c_str(), 1, f, t.dir),
	          kPathSafe);
}

}  // namespace
