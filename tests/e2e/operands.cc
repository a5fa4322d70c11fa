// operands BINDIR SEED COUNT: the quoting property, run as root in the
// end-to-end sandbox's chroot. Each vector starts one function through the
// installed set-user-ID program as svc, with operands of random bytes,
// through the real /bin/sh and sudo; the stand-in tool writes the argument
// vector it got to /rec/argv, which must be exactly what the function's
// command line promises. A line that may not fit may be refused instead.
// Prints the first five failing vectors and last "N vectors, N reached
// their tool, N failed"; status 1 on a failure.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Args = std::vector<std::string>;
constexpr uid_t kSvc = 702, kSpcomm = 509, kStapp = 510;
constexpr gid_t kUsers = 100;
constexpr const char *kArgv = "/rec/argv";
const std::string kHome = "/home/spcomm/bin/",
                  kCsst = "/sp/prod/code/csst/bin/";

std::mt19937_64 rng;
size_t below(size_t n) {
	return rng() % n;
}

// Blanks, quotes, backslashes, shell metacharacters, bytes that are not
// UTF-8 and control characters among letters; plain: letters and digits,
// which stand in any shell line as they are, so that its length is exact.
std::string text(size_t len, bool plain) {
	static const std::string special = " \t\n'\"\\$`;|&<>()*?[]~#=%!{}-",
	                         alnum = "abcdefghijklmnopqrstuvwxyz0123456789";
	std::string s;
	while (s.size() < len) {
		size_t kind = plain ? 0 : below(10);
		if (kind < 3)
			s.push_back(alnum[below(alnum.size())]);
		else if (kind < 8)
			s.push_back(special[below(special.size())]);
		else
			s.push_back(static_cast<char>(
			    kind < 9 ? 0x80 + below(0x80) : 1 + below(0x1f)));
	}
	return s;
}
std::string value(bool plain) {
	size_t len = below(3) == 0 ? 13 + below(60) : below(13);
	return text(plain ? len + 1 : below(5) == 0 ? 0 : len, plain);
}

// Registered clusters: random names, some at and one past the limits of
// the functions, and plain ones; "/" is the one byte a name cannot have.
Args limits, clusters, plain_clusters;
void register_clusters() {
	for (size_t len : {63, 64, 79, 80, 91, 92, 224, 225})
		limits.push_back(text(len, false));
	while (clusters.size() < 32)
		clusters.push_back(text(1 + below(20), false));
	while (plain_clusters.size() < 4)
		plain_clusters.push_back(text(1 + below(12), true));
	for (Args *names : {&limits, &clusters, &plain_clusters})
		for (std::string &c : *names) {
			std::replace(c.begin(), c.end(), '/', '_');
			std::ofstream("/etc/sysconfig/sp/cluster/" + c +
			              ".conf");
		}
}
// Now and then a name no registry file has, or one that adds a term.
std::string cluster(bool plain) {
	size_t kind = below(12);
	const Args &from = plain      ? plain_clusters
	                   : kind < 4 ? limits
	                              : clusters;
	std::string c = from[below(from.size())];
	return plain       ? c
	       : kind == 4 ? c + "x unregistered"
	       : kind == 5 ? c + ":G=x"
	                   : c;
}
bool registered(const std::string &c, size_t max) {
	return c.size() <= max && c.find(':') == c.npos &&
	       !c.ends_with("x unregistered");
}

// One composed line: its format, the values of its %s places and the size
// of its buffer, terminator included.
struct Line {
	std::string format;
	Args values;
	size_t size;
	size_t fixed() const {
		size_t n = format.size();
		for (size_t i = 0; (i = format.find("%s", i)) != format.npos;)
			n -= 2, i += 2;
		return n;
	}
	// At or one past the limit: value i, plain, stretched to fill it.
	void stretch(size_t i) {
		size_t rest = fixed();
		for (size_t k = 0; k < values.size(); ++k)
			rest += k == i ? 0 : values[k].size();
		if (rest < size)
			values[i] = text(size - 1 + below(2) - rest, true);
	}
};

bool plain(const std::string &s) {
	return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
		return isalnum(static_cast<unsigned char>(c));
	});
}

// The line's length lies between its fixed text with each value as it
// stands and each value quoted at its worst (four bytes a byte and two
// quotes); a plain line's is exact.
enum Fit { kFits, kMayNotFit, kTooLong };
Fit fit(const Line &l) {
	size_t least = l.fixed(), most = least;
	for (const std::string &s : l.values)
		least += s.size(), most += 4 * s.size() + 2;
	if (least >= l.size)
		return kTooLong;
	bool exact = std::all_of(l.values.begin(), l.values.end(), plain);
	return exact || most < l.size ? kFits : kMayNotFit;
}

// What one vector must do: start tool as uid with args (may_run), or be
// refused with one of the statuses and outputs listed.
struct Vector {
	std::string name;
	Args operands;
	std::string tool{};
	uid_t uid = 0;
	Args args{};
	bool may_run = true;
	std::vector<std::pair<int, std::string>> refusals{};

	// Valid: the cluster operand passes; else refused with status and
	// format (its %s: the name). args: what the tool must get.
	Vector &expect(bool valid, int status, const std::string &format,
	               const std::string &c, std::string path, uid_t as,
	               Args want) {
		std::string out = format;
		out.replace(out.find("%s"), 2, c);
		refusals = {{status, out}};
		may_run = valid;
		tool = std::move(path), uid = as, args = std::move(want);
		return *this;
	}
	// Beyond its limit a line is refused; where it may not fit, either.
	Vector &judge(const Line &l) {
		std::string too_long =
		    "\n" + name +
		    (name == "qelcmd" ? ": command too long\n"
		                      : ": parameter too long\n");
		Fit f = fit(l);
		if (may_run)
			refusals.clear();
		if (may_run && f != kFits)
			refusals = {{119, too_long}};
		may_run = may_run && f != kTooLong;
		return *this;
	}
};

Vector qelcmd(bool edge) {
	bool t = below(4) == 0;
	std::string head =
	    std::string(kHome + "callnode ") + (t ? "-t" : "-s") + " %s %s ";
	Line l{head + "%s ", {cluster(edge), value(edge), value(edge)}, 1023};
	if (edge)
		l.stretch(2);
	Args words = {l.values[2]};
	for (size_t n = edge ? 0 : below(4); n > 0; --n)
		words.push_back(value(false));
	if (!edge && below(8) == 0)  // blanks at and one past the limit
		words.push_back(
		    std::string(1021 - words[0].size() + below(2), ' '));
	Vector v{"qelcmd", {l.values[0], l.values[1]}};
	if (t)
		v.operands.push_back("-t");
	v.operands.insert(v.operands.end(), words.begin(), words.end());
	// Each word as the shell splits it unquoted: at blanks, tabs and
	// newlines. All words with a blank after each fill 1,023 bytes at most.
	l.values.resize(2), l.format = head;
	size_t joined = 0;
	for (const std::string &w : words) {
		joined += w.size() + 1;
		for (size_t i = 0;
		     (i = w.find_first_not_of(" \t\n", i)) != w.npos;) {
			size_t end =
			    std::min(w.find_first_of(" \t\n", i), w.size());
			l.values.push_back(w.substr(i, end - i));
			l.format += "%s ";
			i = end;
		}
	}
	Args args = l.values;
	args.insert(args.begin(), t ? "-t" : "-s");
	v.expect(registered(l.values[0], 224), 119,
	         "\nqelcmd: invalid cluster name given: %s\n", l.values[0],
	         kHome + "callnode", 0, args);
	if (joined >= 1024 && v.may_run)
		return v.expect(false, 119, "\nqelcmd: command too long\n%s",
		                "", "", 0, {});
	return v.judge(l);
}

Vector qeldump(bool edge) {
	bool keep = below(2), file = edge || below(2), panic = below(2);
	std::string tool = kHome + (panic ? "getpanicdump" : "getcoredump");
	Line l{"sudo -u spcomm " + tool + (keep ? " -D" : "") + " %s %s %s",
	       {cluster(edge), value(edge), value(edge)},
	       512};
	if (edge)
		l.stretch(2);
	Vector v{"qeldump", {"--", panic ? "panic" : "Core"}};
	if (keep)
		v.operands.insert(v.operands.begin(), "-D");
	v.operands.insert(v.operands.end(), l.values.begin(),
	                  l.values.end() - !file);
	if (!file || l.values[2].empty())  // an empty file name is none
		l.values.pop_back(), l.format.resize(l.format.size() - 3);
	Args args = l.values;
	if (keep)
		args.insert(args.begin(), "-D");
	return v
	    .expect(registered(l.values[0], 63), 1,
	            "\nqeldump: invalid cluster name given (%s)\n", l.values[0],
	            tool, kSpcomm, args)
	    .judge(l);
}

Vector cluster_tool(const char *name, const char *tool, const char *as,
                    uid_t uid) {
	Line l{std::string("sudo -u ") + as + " " + kCsst + tool + " %s",
	       {cluster(false)},
	       512};
	Vector v{name, l.values};
	return v
	    .expect(registered(l.values[0], 224), 119,
	            "\n" + v.name + ": invalid cluster name given (%s)\n",
	            l.values[0], kCsst + tool, uid, l.values)
	    .judge(l);
}

Vector qelbios(bool edge) {
	// Operands after the cluster: the node is passed when it is the last.
	size_t more = 1 + below(3);
	std::string tool = kHome + "flashCBIOS", c = cluster(edge);
	Line l{"sudo -u spcomm " + tool + " %s %s" + (more == 2 ? " %s" : ""),
	       {c, value(edge)},
	       128};
	if (more == 2)
		l.values.push_back(value(edge));
	if (edge)
		l.stretch(1);
	Vector v{"qelbios", l.values};
	if (more == 3)
		v.operands.insert(v.operands.end(),
		                  {value(false), value(false)});
	const char *bad = "\nqelbios: invalid cluster name given: %s\n";
	v.expect(registered(c, 91), 119, bad, c, tool, kSpcomm, l.values);
	// The line is composed before the registry is asked.
	if (v.may_run || c.size() > 91 || c.find(':') != c.npos)
		return v.judge(l);
	Fit f = fit(l);
	if (f != kFits)
		v.refusals.emplace_back(119, "\nqelbios: parameter too long\n");
	if (f == kTooLong)
		v.refusals.erase(v.refusals.begin());
	return v;
}

Vector qelrescue(bool edge) {
	bool data = below(2);
	std::string tool =
	    data ? kCsst + "getNodeRescueData" : kHome + "qelrescue.sh";
	Line l{"sudo -u spcomm " + tool + (data ? " %s\n" : " %s %s %s"),
	       {cluster(edge)},
	       512};
	if (!data)
		l.values.insert(l.values.end(), {value(edge), value(edge)});
	if (edge && !data)
		l.stretch(1);
	Vector v{"qelrescue", l.values};
	if (data)
		v.operands.insert(v.operands.begin(), "-S");
	return v
	    .expect(registered(l.values[0], 4064), 119,
	            "\nqelrescue: invalid cluster name given (%s)\n",
	            l.values[0], tool, kSpcomm, l.values)
	    .judge(l);
}

Vector corvanex(bool edge) {
	bool lock = below(2), tee = below(2), fifth = edge || below(2);
	std::string script = kCsst + "Corvanex.sh", c = cluster(edge);
	Line l{(tee ? kCsst + "npTee /sp/tmp/Corvane_log.%s " : "") + script +
	           (lock ? " -L " : " ") + (tee ? " " : " -t ") + " %s " +
	           (fifth ? "%s" : ""),
	       {c},
	       512};
	if (tee)
		l.values.push_back(c);
	if (fifth)
		l.values.push_back(value(edge));
	if (edge)
		l.stretch(l.values.size() - 1);
	Vector v{"Corvanex", {"--", c}};
	if (!tee)
		v.operands.insert(v.operands.begin(), "-t");
	if (lock)
		v.operands.insert(v.operands.begin(), "-L");
	Args args = tee ? Args{"/sp/tmp/Corvane_log." + c, script} : Args{};
	if (lock)
		args.push_back("-L");
	if (!tee)
		args.push_back("-t");
	args.push_back(c);
	if (fifth)
		args.push_back(l.values.back()),
		    v.operands.push_back(args.back());
	return v
	    .expect(registered(c, 79), 119,
	            "\nCorvanex: invalid cluster name given: %s\n", c,
	            tee ? kCsst + "npTee" : script, 0, args)
	    .judge(l);
}

char *dup(const std::string &s) {
	return strdup(s.c_str());
}

// Runs the vector as svc: its status and output, and what the tool got as
// whom.
int start(const std::string &bindir, const Vector &v, std::string &out,
          Args &got, uid_t &uid) {
	int pipefd[2];
	if (!std::ofstream(kArgv) || chmod(kArgv, 0666) != 0 ||
	    pipe2(pipefd, O_CLOEXEC) != 0)
		return -1;
	pid_t pid = fork();
	if (pid == 0) {
		Args env = {"PATH=/usr/bin:/bin", "USER=svc", "LOGNAME=svc",
		            "HOME=/home/svc"};
		if (const char *san = getenv("SAN_OPTIONS"))
			env.push_back(std::string("ASAN_OPTIONS=") + san);
		std::vector<char *> argv = {dup(v.name)}, envp;
		for (const std::string &a : v.operands)
			argv.push_back(dup(a));
		for (const std::string &e : env)
			envp.push_back(dup(e));
		argv.push_back(nullptr), envp.push_back(nullptr);
		int null = open("/dev/null", O_RDONLY);
		if (null < 0 || dup2(null, 0) < 0 || dup2(pipefd[1], 1) < 0 ||
		    dup2(pipefd[1], 2) < 0 || setgroups(0, nullptr) != 0 ||
		    setgid(kUsers) != 0 || setuid(kSvc) != 0)
			_exit(126);
		execve((bindir + "/" + v.name).c_str(), argv.data(),
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
	std::ifstream in(kArgv, std::ios::binary);
	std::stringstream rec;
	rec << in.rdbuf();
	std::string arg;
	if (std::getline(rec, arg, '\0'))
		uid = static_cast<uid_t>(atoi(arg.c_str()));
	while (std::getline(rec, arg, '\0'))
		got.push_back(arg);
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Each argument quoted, its bytes outside printable ASCII, the backslash
// and the quote as \ooo.
std::string shown(const Args &args) {
	std::string s;
	for (const std::string &a : args) {
		s += " '";
		for (unsigned char c : a) {
			char oct[5];
			snprintf(oct, sizeof oct, "\\%03o", c);
			s += c < 0x20 || c >= 0x7f || c == '\\' || c == '\''
			         ? oct
			         : std::string(1, static_cast<char>(c));
		}
		s += "'";
	}
	return s;
}

long reached;  // vectors whose tool ran

// Empty when the vector did what it must, else what happened and what
// was wanted.
std::string check(const std::string &bindir, const Vector &v) {
	std::string out;
	Args got, want = {"/bin/sh", "-p", v.tool};  // the stand-in: a script
	uid_t uid = 0;
	int status = start(bindir, v, out, got, uid);
	want.insert(want.end(), v.args.begin(), v.args.end());
	if (v.may_run && status == 0 && got == want && uid == v.uid &&
	    out.empty())
		return ++reached, "";
	std::string why = "status " + std::to_string(status) + shown({out}) +
	                  (got.empty() ? ", no tool" : ", tool got") +
	                  shown(got) + " as " + std::to_string(uid) + "; want";
	if (v.may_run)
		why += shown(want) + " as " + std::to_string(v.uid);
	for (const auto &[st, text] : v.refusals) {
		if (got.empty() && status == st && out == text)
			return "";
		why += " or status " + std::to_string(st) + shown({text});
	}
	return why;
}

}  // namespace

int main(int argc, char **argv) {
	if (argc != 4) {
		fputs("usage: operands BINDIR SEED COUNT\n", stderr);
		return 2;
	}
	rng.seed(strtoull(argv[2], nullptr, 10));
	register_clusters();
	Vector (*const functions[])(bool) = {
	    qelcmd,
	    qeldump,
	    qelbios,
	    qelrescue,
	    corvanex,
	    [](bool) {
		    return cluster_tool("qeldrive", "Dcup", "stapp", kStapp);
	    },
	    [](bool) {
		    return cluster_tool("qelcage", "DrvCageUp", "spcomm",
		                        kSpcomm);
	    }};
	long count = atol(argv[3]), failed = 0;
	for (long i = 0; i < count; ++i) {
		Vector v =
		    functions[static_cast<size_t>(i) % std::size(functions)](
		        below(8) == 0);
		std::string wrong = check(argv[1], v);
		if (!wrong.empty() && ++failed <= 5)
			printf("vector %ld: %s%s: %s\n", i, v.name.c_str(),
			       shown(v.operands).c_str(), wrong.c_str());
	}
	unlink(kArgv);
	printf("%ld vectors, %ld reached their tool, %ld failed\n", count,
	       reached, failed);
	return failed == 0 ? 0 : 1;
}
