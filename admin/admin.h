// spauth, the administrators' tool: the policy explained (main.cc) and the
// installation audited (verify.cc). It is never set-user-ID and starts no
// tool of the front end's.
#ifndef ADMIN_ADMIN_H
#define ADMIN_ADMIN_H

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

// Prints text and a newline, escaped as the audit trail escapes names
// (\ooo): a name may hold any byte, and no line may break into two or
// drive a terminal.
void print_line(std::string_view text);

// How spauth verify ends.
enum VerifyStatus {
	kVerifyClean = 0,
	kVerifyFindings = 1,
	kVerifyUsage = 2,
	kVerifyIncomplete = 3,  // the audit could not be completed
};
// One run of spauth verify: the root it audits (empty: /) and whether it
// entered it, the candidate registry file it checks instead (empty: none),
// and whether it could be completed, else why not.
struct VerifyRun {
	std::string root, registry_file, error;
	bool entered = false;
	bool complete = true;
};
// spauth verify with the words after the verb: a VerifyStatus.
int verify_command(int argc, char **argv, const char *usage);
// The installation as the front end will meet it; under a root (in_root),
// the front end where the packages install it.
void verify_installation(bool in_root);
// A candidate registry file's lines, whatever its name and mode: false,
// with why, when it cannot be read whole.
bool check_registry_file(const char *path, std::string &why);
// The longest registry file spauth reads whole.
inline constexpr size_t kRegistryTextMax = 1 << 20;
// The digest of the registry files' names and contents, in name order.
bool registry_digest(std::string &hex, size_t &files, std::string &why);
// The document of --json, from the findings reported; false when it
// cannot be written. A digest that fails leaves run incomplete.
bool print_document(VerifyRun &run);

using Names = std::set<std::string, std::less<>>;
// The groups the library can read, as it reads them.
Names group_names();
#endif
