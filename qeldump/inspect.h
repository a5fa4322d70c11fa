// Shared by the two halves of spauth.
#ifndef QELDUMP_INSPECT_H
#define QELDUMP_INSPECT_H

#include <string>
#include <vector>

// Prints text and a newline, each control character as "?": a name may
// hold one, and no line may break into two.
void print_line(std::string text);
// The registry files in name order, as the search's *.conf finds them.
std::vector<std::string> registry_files();
// The installation as the front end will meet it: 0 when there is no
// finding, else 1.
int verify_installation();

#endif
