// operands BINDIR SEED COUNT: the quoting property, run as root in the
// end-to-end sandbox's chroot. Each vector starts one function as svc
// through the installed set-user-ID program, with random operands, through
// the real /bin/sh and sudo; the stand-in tool writes the ids and the
// argument vector it got to /rec/argv. It must have got what the function
// promises its tool, as the tool's account: the table below, operands to
// arguments. Operands are short enough that every line fits. Prints the
// first five failures, then "N vectors, N failed"; status 1 on a failure.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "SP_auth/internal.h"

namespace {

using Args = std::vector<std::string>;
constexpr uid_t kSvc = 702, kSpcomm = 509, kStapp = 510;
constexpr gid_t kUsers = 100;
constexpr const char *kArgv = "/rec/argv";
const std::string kHome = "/home/spcomm/bin/",
                  kCsst = "/sp/prod/code/csst/bin/";

std::mt19937_64 rng;

// Up to 6 bytes, each a letter, a blank, a quote, a backslash, a shell
// metacharacter, a newline, a control byte or one that is not UTF-8.
std::string text(size_t min, std::string_view never = "") {
	static const std::string special = " \t\n'\"\\$`;|&<>()*?[]~#=%!{}-:/";
	std::string s;
	for (size_t len = min + rng() % (7 - min); s.size() < len;) {
		size_t kind = rng() % 10;
		char c = kind < 3   ? static_cast<char>('a' + rng() % 26)
		         : kind < 8 ? special[rng() % special.size()]
		         : kind < 9 ? static_cast<char>(0x80 + rng() % 0x80)
		                    : static_cast<char>(1 + rng() % 0x1f);
		if (never.find(c) == never.npos)
			s.push_back(c);
	}
	return s;
}

// qelcmd's promise: each command word split at blanks, tabs and newlines,
// as the shell would split it unquoted.
void pieces(const std::string &word, Args &out) {
	std::string piece;
	for (char c : word + ' ') {
		if (c != ' ' && c != '\t' && c != '\n')
			piece.push_back(c);
		else if (!piece.empty())
			out.push_back(std::exchange(piece, {}));
	}
}

// An invocation and what its tool must get: its path, its account and its
// arguments.
struct Run {
	const char *name;
	Args operands;
	std::string tool;
	uid_t uid;
	Args args;
};

// What each function promises its tool, from a registered cluster c and
// three other operands o.
Run promised(size_t which, const std::string &c, const Args &o) {
	bool t = o[1] == "-t";  // a flag, when it is the first command word
	Args cmd = {t ? "-t" : "-s", c, o[0]};
	if (!t)
		pieces(o[1], cmd);
	pieces(o[2], cmd);
	Args ofile = o[1].empty() ? Args{c, o[0]} : Args{c, o[0], o[1]};
	const std::string script = kCsst + "Corvanex.sh";
	const std::string log = "/sp/tmp/Corvane_log." + c;
	// One promise a line.
	// clang-format off
	const Run table[] = {
	    {"qelcmd", {c, o[0], o[1], o[2]}, kHome + "callnode", 0, cmd},
	    {"qeldump", {"--", "panic", c, o[0], o[1]}, kHome + "getpanicdump", kSpcomm, ofile},
	    {"qeldump", {"-D", "--", "core", c, o[0]}, kHome + "getcoredump", kSpcomm, {"-D", c, o[0]}},
	    {"qeldrive", {c}, kCsst + "Dcup", kStapp, {c}},
	    {"qelcage", {c}, kCsst + "DrvCageUp", kSpcomm, {c}},
	    {"qelbios", {c, o[0], o[1]}, kHome + "flashCBIOS", kSpcomm, {c, o[0], o[1]}},
	    {"qelbios", {c, o[0]}, kHome + "flashCBIOS", kSpcomm, {c, o[0]}},
	    {"qelrescue", {"-S", c}, kCsst + "getNodeRescueData", kSpcomm, {c}},
	    {"qelrescue", {c, o[0], o[1]}, kHome + "qelrescue.sh", kSpcomm, {c, o[0], o[1]}},
	    {"Corvanex", {"--", c, o[0]}, kCsst + "npTee", 0, {log, script, c, o[0]}},
	    {"Corvanex", {"-L", "-t", "--", c, o[0]}, script, 0, {"-L", "-t", c, o[0]}},
	};
	// clang-format on
	return table[which % std::size(table)];
}

// Runs the invocation as svc: its status and output, and what the tool got
// as whom.
int start(const std::string &bindir, const Run &r, std::string &out, Args &got,
          uid_t &uid) {
	int pipefd[2];
	if (!std::ofstream(kArgv) || chmod(kArgv, 0666) != 0 ||
	    pipe2(pipefd, O_CLOEXEC) != 0)
		return -1;
	pid_t pid = fork();
	if (pid == 0) {
		Args env = {"PATH=/usr/bin:/bin", "USER=svc", "HOME=/home/svc"};
		if (const char *san = getenv("SAN_OPTIONS"))
			env.push_back(std::string("ASAN_OPTIONS=") + san);
		std::vector<char *> argv = {strdup(r.name)}, envp;
		for (const std::string &a : r.operands)
			argv.push_back(strdup(a.c_str()));
		for (const std::string &e : env)
			envp.push_back(strdup(e.c_str()));
		argv.push_back(nullptr), envp.push_back(nullptr);
		int null = open("/dev/null", O_RDONLY);
		if (null < 0 || dup2(null, 0) < 0 || dup2(pipefd[1], 1) < 0 ||
		    dup2(pipefd[1], 2) < 0 || setgroups(0, nullptr) != 0 ||
		    setgid(kUsers) != 0 || setuid(kSvc) != 0)
			_exit(126);
		execve((bindir + "/" + r.name).c_str(), argv.data(),
		       envp.data());
		_exit(127);
	}
	close(pipefd[1]);
	char buf[4096];
	for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;)
		out.append(buf, static_cast<size_t>(n));
	close(pipefd[0]);
	int status;
	if (pid < 0 || waitpid(pid, &status, 0) != pid)
		return -1;
	std::stringstream rec;
	rec << std::ifstream(kArgv, std::ios::binary).rdbuf();
	std::string arg;
	if (std::getline(rec, arg, '\0'))
		uid = static_cast<uid_t>(atoi(arg.c_str()));
	while (std::getline(rec, arg, '\0'))
		got.push_back(arg);
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Each argument quoted, escaped as the audit trail escapes names.
std::string shown(const Args &args) {
	std::string s;
	for (const std::string &a : args)
		s += " '" + spauth::escaped(a, "'") + "'";
	return s;
}

}  // namespace

int main(int argc, char **argv) {
	if (argc != 4) {
		fputs("usage: operands BINDIR SEED COUNT\n", stderr);
		return 2;
	}
	rng.seed(strtoull(argv[2], nullptr, 10));
	Args clusters;  // registered, of any byte a cluster name may hold
	while (clusters.size() < 16) {
		clusters.push_back(text(1, "/:"));
		std::ofstream("/etc/sysconfig/sp/cluster/" + clusters.back() +
		              ".conf");
	}
	long count = atol(argv[3]), failed = 0;
	for (long i = 0; i < count; ++i) {
		Run r = promised(static_cast<size_t>(i),
		                 clusters[rng() % clusters.size()],
		                 {text(0), text(0), text(0)});
		std::string out;
		Args got, want = {"/bin/sh", "-p", r.tool};  // the stand-in
		want.insert(want.end(), r.args.begin(), r.args.end());
		uid_t uid = 0;
		int status = start(argv[1], r, out, got, uid);
		if ((status == 0 && got == want && uid == r.uid &&
		     out.empty()) ||
		    ++failed > 5)
			continue;
		printf(
		    "vector %ld: %s%s: status %d%s, tool got%s as %u; want%s "
		    "as %u\n",
		    i, r.name, shown(r.operands).c_str(), status,
		    shown({out}).c_str(), shown(got).c_str(), uid,
		    shown(want).c_str(), r.uid);
	}
	unlink(kArgv);
	printf("%ld vectors, %ld failed\n", count, failed);
	return failed == 0 ? 0 : 1;
}
