// The audit trail: one record per run in the system log, authpriv. Caller
// and file text is escaped so that no record can be forged; a record that
// cannot be sent changes nothing else.
#include <syslog.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "entry.h"
#include "handler.h"

namespace front {
namespace {

constexpr size_t kFieldMax = 2048;  // logging only: cut, not refused

std::string operands;  // as the caller gave them, before getopt permutes

// Caller and file text in a record: the field separator ";" escaped too.
std::string escaped(std::string_view text) {
	return spauth::escaped(text, ";", kFieldMax);
}

std::string where() {
	const char *tty = ttyname(STDIN_FILENO);
	char cwd[PATH_MAX];
	return "TTY=" + escaped(tty != nullptr ? tty : "unknown") + " ; PWD=" +
	       escaped(getcwd(cwd, sizeof cwd) != nullptr ? cwd : "unknown");
}

std::string owner_name(uid_t uid) {
	user_profile *up = get_user_profile(SPAUTH_BY_UID, &uid);
	std::string name = up != nullptr ? escaped(up->username)
	                                 : "uid=" + std::to_string(uid);
	free_user(up);
	return name;
}

}  // namespace

// The tag is ours, never a name the caller chose.
void audit_begin(const policy::Function *function, int argc, char **argv) {
	for (int i = 1; i < argc; ++i)
		operands.append(i > 1 ? " " : "").append(argv[i]);
	openlog(function != nullptr ? function->name : "qeldump", LOG_PID,
	        LOG_AUTHPRIV);
}

void audit_refusal(const char *reason) {
	syslog(LOG_WARNING, "%s : %s ; %s ; FUNCTION=%s ; ARGS=%s",
	       escaped(caller_name()).c_str(), reason, where().c_str(),
	       escaped(invoked).c_str(), escaped(operands).c_str());
}

void audit_start(const char *account, std::string_view cluster,
                 const std::string &command) {
	syslog(LOG_NOTICE, "%s : %s ; USER=%s ; CLUSTER=%s ; COMMAND=%s",
	       escaped(caller_name()).c_str(), where().c_str(),
	       escaped(account).c_str(), escaped(cluster).c_str(),
	       escaped(command).c_str());
}

void audit_end(int status, const std::string &command) {
	syslog(LOG_INFO, "%s : STATUS=%d ; COMMAND=%s",
	       escaped(caller_name()).c_str(), status & 0xff,
	       escaped(command).c_str());
}

void audit_unsafe_path(const policy::ToolPathFinding &f,
                       const std::string &command) {
	syslog(LOG_ALERT,
	       "%s : unsafe tool path ; PATH=%s ; OWNER=%s ; COMMAND=%s",
	       escaped(caller_name()).c_str(), escaped(f.component).c_str(),
	       owner_name(f.owner).c_str(), escaped(command).c_str());
}

}  // namespace front
