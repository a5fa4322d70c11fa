// qelmup's gate: the marker file in /tmp, where anyone can create a file.
#include <sys/stat.h>
#include <unistd.h>

#include "policy.h"

namespace policy {

// Only a regular file that root or the service account owns, that nobody
// else may write, and that is no hard link to another file, enables MUP;
// and, as it always has, only one that root may write now (not on a
// read-only file system).
bool mup_marker_ok() {
	struct stat st;
	if (lstat(kMupMarker, &st) != 0 || !S_ISREG(st.st_mode) ||
	    st.st_nlink != 1 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
	    access(kMupMarker, W_OK) != 0)
		return false;
	if (st.st_uid == 0)
		return true;
	user_profile *spcomm =
	    get_user_profile(SPAUTH_BY_NAME, const_cast<char *>(kSpcomm));
	bool ok = spcomm != nullptr && st.st_uid == spcomm->uid;
	free_user(spcomm);
	return ok;
}

}  // namespace policy
