// The process-wide state the entry sets up and the handlers read.
#include "handler.h"

namespace front {

uid_t myuid;
struct user_profile *tmpUser;
const char *invoked = "";

// The design's names for the tool paths; the handlers take every path
// from the policy's table. Identification strings. Nothing reads these.
const char *binPath = QEL_TOOL_DIR;
const char *NAMEPANIC = policy::kGetPanicDump.path;
const char *NAMECORE = policy::kGetCoreDump.path;
const char *qel_notice = "qeldump: service processor command front end";
const char *qel_version = policy::kVersion;

std::string caller_name() {
	if (tmpUser != nullptr)
		return tmpUser->username;
	return "uid=" + std::to_string(myuid);
}

}  // namespace front
