/* The public header compiles as C and the library links from C. */
#include <stdio.h>
#include <string.h>

#include "SP_auth/spauth.h"

int main(void) {
	char text[] = "a:b";
	char field[4];
	struct user_profile *up;
	getfield(text, field, 2);
	if (strcmp(field, "b") != 0)
		return 1;
	up = get_user_profile(SPAUTH_BY_NAME, "no-such-user-here");
	free_user(up);
	if (up != NULL || check_authority(NULL, text) != 0)
		return 2;
	puts("c api ok");
	return 0;
}
