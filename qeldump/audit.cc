// The audit trail: one record per run in the system log, authpriv. Caller
// text is escaped so that no record can be forged; a record that cannot be
// sent changes nothing else.
#include <syslog.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "qeldump.h"

namespace {

constexpr size_t kIdentMax = 64;    // logging only: cut, not refused
constexpr size_t kFieldMax = 2048;  // escaped operands, likewise

std::string ident;
int log_argc;
char **log_argv;

// Bytes outside printable ASCII, and the backslash, as \ooo.
std::string escaped(std::string_view text, size_t max) {
	std::string out;
	for (unsigned char c : text) {
		if (out.size() >= max) {
			out.append("...");
			break;
		}
		if (c < 0x20 || c >= 0x7f || c == '\\') {
			char oct[5];
			snprintf(oct, sizeof oct, "\\%03o", c);
			out.append(oct);
		} else {
			out.push_back(static_cast<char>(c));
		}
	}
	return out;
}

std::string who() {
	if (tmpUser != nullptr)
		return escaped(tmpUser->username, kFieldMax);
	return "uid=" + std::to_string(myuid);
}

std::string where() {
	const char *tty = ttyname(STDIN_FILENO);
	char cwd[PATH_MAX];
	std::string s =
	    "TTY=" + escaped(tty != nullptr ? tty : "unknown", kFieldMax);
	s += " ; PWD=";
	s += escaped(getcwd(cwd, sizeof cwd) != nullptr ? cwd : "unknown",
	             kFieldMax);
	return s;
}

}  // namespace

void audit_begin(const char *invoked, int argc, char **argv) {
	ident = escaped(invoked, kIdentMax);
	log_argc = argc;
	log_argv = argv;
	openlog(ident.c_str(), LOG_PID, LOG_AUTHPRIV);
}

void audit_refusal(const char *reason) {
	std::string args;
	for (int i = 1; i < log_argc; ++i)
		args.append(i > 1 ? " " : "").append(log_argv[i]);
	syslog(LOG_WARNING, "%s : %s ; %s ; FUNCTION=%s ; ARGS=%s",
	       who().c_str(), reason, where().c_str(), ident.c_str(),
	       escaped(args, kFieldMax).c_str());
}

int run_tool(const char *account, std::string_view cluster,
             const std::string &command) {
	std::string cmd = escaped(command, kFieldMax);
	syslog(LOG_NOTICE, "%s : %s ; USER=%s ; CLUSTER=%s ; COMMAND=%s",
	       who().c_str(), where().c_str(), account,
	       escaped(cluster, kFieldMax).c_str(), cmd.c_str());
	int rc = my_system(command.c_str());
	syslog(LOG_INFO, "%s : STATUS=%d ; COMMAND=%s", who().c_str(),
	       rc & 0xff, cmd.c_str());
	return rc;
}
