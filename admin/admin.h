// spauth, the administrators' tool: the policy explained (main.cc) and the
// installation audited (verify.cc). It is never set-user-ID and starts no
// tool of the front end's.
#ifndef ADMIN_ADMIN_H
#define ADMIN_ADMIN_H

#include <string>

// Prints text and a newline, each control character as "?": a name may
// hold one, and no line may break into two.
void print_line(std::string text);
// The installation as the front end will meet it: 0 when there is no
// finding, else 1.
int verify_installation();
#endif
