// spauth, the administrators' tool: the policy explained (main.cc) and the
// installation audited (verify.cc). It is never set-user-ID and starts no
// tool of the front end's.
#ifndef ADMIN_ADMIN_H
#define ADMIN_ADMIN_H

#include <string_view>

// Prints text and a newline, escaped as the audit trail escapes names
// (\ooo): a name may hold any byte, and no line may break into two or
// drive a terminal.
void print_line(std::string_view text);
// The installation as the front end will meet it: 0 when there is no
// finding, else 1.
int verify_installation();
#endif
