#!/bin/bash
# run.sh BUILD_DIR [TABLE]: installs BUILD_DIR into a throwaway root ($SB) and runs the case table
# (default tests/e2e/cases) there with tests/e2e/check.sh.
# run.sh BUILD_DIR --script FILE: runs the bash script FILE there instead (the README's tour).
# Everything happens in a private mount namespace, so no mount can reach or outlive the host's view,
# and in a pid namespace of its own.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) start=$PWD
[ "$(id -u)" = 0 ] || { echo "run.sh: must be run as root" >&2; exit 2; }
[ $# -ge 1 ] && [ -d "$1" ] || { echo "usage: run.sh BUILD_DIR [TABLE | --script FILE]" >&2; exit 2; }
if [ -z "${E2E_INNER:-}" ]; then
	# The sandbox's directory is made and removed out here: a signal may end the namespaces below
	# a moment later, and removing the directory takes their mounts with it. --uts: the fixture
	# hostname is set without touching the host's; --pid: process 1 of the sandbox is the runner
	# below, whose state a row may set.
	SB=$(mktemp -d "${TMPDIR:-/tmp}/e2e-sb.XXXXXX")
	trap 'rmdir "$SB" 2>/dev/null || :' EXIT
	# shellcheck disable=SC2064 # each status is fixed now, from its own signal
	for sig in INT TERM HUP QUIT PIPE; do trap "exit $((128 + $(kill -l $sig)))" "$sig"; done
	rc=0
	E2E_INNER=1 SB=$SB unshare --mount --uts --pid --fork --propagation private "$here/run.sh" "$@" || rc=$?
	exit "$rc"
fi
build=$(cd "$1" && pwd); shift

sink='' run_pid=''
# On every exit, a signal's included: stop what runs, unmount, remove the sandbox. Nothing in it may
# fail under set -e before the last step (the receiver and the runner may be gone already).
cleanup() {
	set +e
	[ -z "$run_pid" ] || kill -- -"$run_pid" 2>/dev/null
	[ -z "$sink" ] || kill "$sink" 2>/dev/null
	cd / && umount -R -l "$SB" 2>/dev/null
	rmdir "$SB" 2>/dev/null
}
trap cleanup EXIT
# shellcheck disable=SC2064 # each status is fixed now, from its own signal
for sig in INT TERM HUP QUIT PIPE; do trap "exit $((128 + $(kill -l $sig)))" "$sig"; done
# SBMARK names every mount of ours, so a leftover is easy to find in /proc/mounts.
mount -t tmpfs -o mode=0755 SBMARK "$SB"
cd "$SB"
mkdir -p usr dev proc tmp run var/log rec root home/spcomm/bin sp/prod/code/csst/bin
chmod 1777 tmp rec
for d in bin sbin lib lib64; do ln -s "usr/$d" "$d"; done
ln -s ../run var/run
mount --bind /usr usr && mount -o remount,bind,ro usr
mount -t tmpfs -o mode=0755 SBMARK usr/local
mount -t tmpfs -o mode=0755 SBMARK dev
for n in null zero random urandom tty; do touch "dev/$n" && mount --bind "/dev/$n" "dev/$n"; done
ln -s /proc/self/fd dev/fd
mount -t proc proc proc
# The host's control groups, so that the front end meets them as on a host.
[ ! -d /sys/fs/cgroup ] || { mkdir -p sys/fs/cgroup && mount --rbind /sys/fs/cgroup sys/fs/cgroup; }

cp -r "$here/fixture/etc" etc
chown -R root:root etc && chmod 0440 etc/sudoers && chmod 0640 etc/shadow
cp -a /etc/alternatives etc/   # /usr/bin/awk and friends point through it
hostname "$(cat etc/hostname)"
while read -r t; do install -m 0755 -o root -g root "$here/standin" ".$t"; done <"$here/fixture/tools"

env -u DESTDIR cmake --install "$build" --prefix "$SB/usr/local" >install.log 2>&1 || {
	cat install.log >&2; echo "run.sh: cmake --install $build failed" >&2; exit 1; }
install -D -m 0755 -t usr/local/bin "$build/tests/callstate" "$build/tests/operands" "$here/complete"
# What the kernel's link protections read as in the sandbox: files of ours, so that spauth verify
# meets a known state (the protections themselves stay the host's).
mkdir rec/fs && for n in hardlinks symlinks; do
	echo 1 >"rec/fs/protected_$n" && mount --bind "rec/fs/protected_$n" "proc/sys/fs/protected_$n"
done

# The audit trail goes to a datagram receiver at the sandbox's /dev/log.
"$build/tests/logsink" "$SB/dev/log" "$SB/rec/syslog" &
sink=$!

export SB
cd "$start"   # relative file names are the caller's
runner=("$here/check.sh")
[ "${1:-}" = --script ] && { runner=(); shift; }
# In the background so that a signal to run.sh is acted on at once, not after the whole suite.
setsid -w bash "${runner[@]}" "$@" & run_pid=$!   # own group (and no tty to prompt on), so all of it can be stopped
rc=0; wait "$run_pid" || rc=$?
# A sanitized build reports into $SB/rec (SAN_OPTIONS=...:log_path=/rec/san): any report fails the run.
if ls "$SB"/rec/san.* >/dev/null 2>&1; then
	cat "$SB"/rec/san.* >&2; echo "run.sh: sanitizer reports above" >&2; rc=1
fi
exit "$rc"
