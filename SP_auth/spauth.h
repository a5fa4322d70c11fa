/*
 * spauth: the account files, the caller's profile and authority strings.
 * Usable from C and C++.
 */
#ifndef SPAUTH_H
#define SPAUTH_H

#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One group of a profile's list; the primary group is always the last. */
struct gent {
	gid_t gid;
	char gname[80];
	struct gent *next;
};

struct user_profile {
	uid_t uid;
	char username[80];
	char comment[80];
	struct gent *group;
};

/* get_user_profile modes */
#define SPAUTH_BY_NAME 0 /* user points at a NUL-terminated name */
#define SPAUTH_BY_UID 1  /* user points at a uid_t */

/* Colon-field tokenizer: one step, and the count-th field of a text.
 * getfield's output must hold the longest count-th field plus a NUL. */
int get_next_pw_field(char **start, char delim, char **endofField);
void getfield(char *buffer, char *output, int count);

/* The profile from /etc/passwd and /etc/group; null when there is none.
 * Release with free_user. */
struct user_profile *get_user_profile(int mode, void *user);
int get_group_affiliations(struct user_profile *up);
void free_user(struct user_profile *up);

/* Number of terms of authstring that uprof satisfies; 0 refuses. */
int check_authority(struct user_profile *uprof, char *authstring);

/* buffer holds a cluster name on entry; on success it is overwritten with
 * the cluster's administrative group and returned, else null. buffer must
 * hold at least 80 bytes. */
char *getAdminGroup(char *buffer);

/* Next service uid in 514..599, or 0 when /etc/passwd cannot be read. */
int getNextUID(void);

/* One line in authority-string letters on standard output: 0, or 127. */
int print_user_profile(struct user_profile *up);

/* Runs command through /bin/sh, its standard output cut to length - 1
 * bytes in output_buff; returns the command's status. */
int my_system_pipe(char *command, size_t length, char *output_buff);

#ifdef __cplusplus
}
#endif

#endif
