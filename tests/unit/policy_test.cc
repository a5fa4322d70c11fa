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
		// Any interpreter's operand: absolute (with its own "#!" line),
		// relative, an option naming a path.
		for (auto [name, line] :
		     {std::pair{"sh-arg", "/bin/sh " + path("open/interp")},
		      {"nohup", "/usr/bin/nohup " + path("bin/by-open")},
		      {"sh-rel", std::string("/bin/sh run")},
		      {"opt-path", "/bin/sh -I" + path("bin")},
		      {"env-vt",
		       "/usr/bin/env -S /bin/sh\v" + path("open/interp")}})
			write(std::string("bin/by-") + name,
			      "#!" + line + "\n");
		write("bin/by-script", "#!" + path("bin/tool") + "\n");
		write("bin/by-relative", "#!sh\n");
		// What env runs: after -S, found from the caller's directory,
		// a script whose own interpreter is open, on the search path,
		// moved by an assignment.
		for (auto [name, arg] :
		     {std::pair{"env", path("open/interp")},
		      {"env-S", "-S " + path("open/interp")},
		      {"env-dot", std::string("./run")},
		      {"env-nested", path("bin/by-open")},
		      {"env-name", std::string("sh")},
		      {"env-assign", std::string("-S A=b sh")}})
			write(std::string("bin/by-") + name,
			      "#!/usr/bin/env " + arg + "\n");
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
		// 40 links on the way, as the kernel follows in one lookup,
		// and a link's target near PATH_MAX.
		for (int i = 1; i < 40; ++i)
			fs::create_directory_symlink(
			    "l" + std::to_string(i + 1),
			    path("l" + std::to_string(i)));
		fs::create_directory_symlink("bin", path("l40"));
		std::string dots;
		while (dots.size() < 4090)
			dots += "./";
		fs::create_directory_symlink(dots + "bin", path("dots"));
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
	    {"bin/by-sh-arg", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-nohup", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-sh-rel", kPathUnsafe, "bin/by-sh-rel", kPathUnexamined},
	    {"bin/by-opt-path", kPathUnsafe, "bin/by-opt-path",
	     kPathUnexamined},
	    {"bin/by-env-vt", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-env", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-env-S", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-env-dot", kPathUnsafe, "bin/by-env-dot", kPathUnexamined},
	    {"bin/by-env-nested", kPathUnsafe, "open", kPathWritable},
	    {"bin/by-env-name", kPathSafe, "", ""},
	    {"bin/by-env-assign", kPathUnsafe, "bin/by-env-assign",
	     kPathUnexamined},
	    {"l1/tool", kPathSafe, "", ""},
	    {"dots/tool", kPathSafe, "", ""},
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
}

// A relative path is never examined; a foreign owner is said, unless it is
// the account allowed besides root.
TEST(Policy, ToolPathOwners) {
	Tree t;
	uid_t me = geteuid();
	ToolPathFinding f;
	EXPECT_EQ(check_tool_path("bin/tool", me, f), kPathUnsafe);
	EXPECT_STREQ(f.why, kPathUnexamined);
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
