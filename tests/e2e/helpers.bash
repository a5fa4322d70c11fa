# Loaded by every .bats file (`load helpers`); run.sh has built the sandbox root at $SB.
# Tests run as root in the sandbox's mount namespace and may write under "$SB/..." directly.
type bats_require_minimum_version >/dev/null 2>&1 && bats_require_minimum_version 1.5.0
E2E=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CALL_ENV=() CALL_SIG=() CALL_WRAP=()

# reset_sandbox: empty the record log, status, out/err and /tmp; restore passwd, group and the cluster registry.
# A .bats file with its own setup() must call it first.
reset_sandbox() {
	: >"$SB/rec/log" && chmod 0666 "$SB/rec/log"   # root-owned 0666: every uid can append
	: >"$SB/rec/syslog"
	rm -f "$SB/rec/status" "$SB/out" "$SB/err"
	find "$SB/tmp" -mindepth 1 -delete
	cp "$E2E/fixture/etc/passwd" "$E2E/fixture/etc/group" "$SB/etc/"
	rm -rf "$SB/etc/sysconfig" && cp -r "$E2E/fixture/etc/sysconfig" "$SB/etc/"
	CALL_ENV=() CALL_SIG=() CALL_WRAP=()
}
setup() { reset_sandbox; }

# call USER|UID NAME [ARGS...]: run /usr/local/sbin/NAME in the chroot as that caller, stdin /dev/null, 30 s at most.
# A bare number without a passwd line runs with gid 100. The environment is a clean login one
# (PATH, HOME, USER, LOGNAME) plus CALL_ENV=(VAR=value ...), whose entries win;
# CALL_SIG=(--ignore-signal=CHLD ...) passes env(1) signal options to the product;
# CALL_WRAP=(CMD...) runs the product through CMD (e.g. prlimit). NAME may be an absolute path.
# stdout -> $SB/out, stderr -> $SB/err, exit code -> $status (124: it hung). Never fails by itself.
call() {
	local who=$1 name=$2 u g h path; shift 2
	[[ $name = /* ]] && path=$name || path=/usr/local/sbin/$name
	local -a env=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
	# a sanitized build reads its options at start-up, before the front end cleans the environment
	[ -z "${SAN_OPTIONS:-}" ] || env+=("ASAN_OPTIONS=$SAN_OPTIONS" "UBSAN_OPTIONS=$SAN_OPTIONS")
	if [[ $who =~ ^[0-9]+$ ]]; then
		u=$who g=100
	else
		IFS=: read -r _ _ u g _ h _ < <(grep "^$who:" "$SB/etc/passwd") || { echo "call: no user $who" >&2; return 1; }
		env+=(HOME="$h" USER="$who" LOGNAME="$who")
	fi
	status=0
	( # Only fds 0-2 reach the product; bats's own fds held by a stray child would also stall bats.
		for fd in /proc/self/fd/*; do fd=${fd##*/}; ((fd > 2)) && eval "exec $fd>&-"; done
		# env goes last, so a hostile CALL_ENV (LD_PRELOAD=...) reaches only the product, not the tools that start it.
		exec /usr/bin/timeout -k 5 30 /usr/sbin/chroot "$SB" /usr/bin/setpriv --reuid="$u" --regid="$g" --clear-groups \
			/usr/bin/env -i "${CALL_SIG[@]}" "${env[@]}" "${CALL_ENV[@]}" "${CALL_WRAP[@]}" "$path" "$@"
	) </dev/null >"$SB/out" 2>"$SB/err" || status=$?
}

# _expect FILE FORMAT [ARGS...]: FILE must equal `printf FORMAT ARGS...` byte for byte; shows both (cat -A) if not.
_expect() {
	local f=$1; shift
	cmp -s "$f" <(printf "$@") && return
	diff -u --label expected --label "actual ${f#"$SB"} (cat -A)" <(printf "$@" | cat -A) <(cat -A "$f") || true
	return 1
}
# expect_out FORMAT [ARGS...] / expect_err FORMAT [ARGS...]: the last call's stdout / stderr, exactly.
expect_out() { _expect "$SB/out" "$@"; }
expect_err() { _expect "$SB/err" "$@"; }

# record: the header and argument lines of every tool run so far, env blocks left out:
#   /path/of/tool ruid=N euid=N
#   arg=<first argument>          (one line per argument, verbatim)
record() { sed '/^-- env$/,/^-- end$/d' "$SB/rec/log"; }
# expect_record LINE...: record must be exactly these lines (none: no tool ran).
expect_record() {
	record >"$SB/rec/got"
	if (($#)); then _expect "$SB/rec/got" '%s\n' "$@"; else _expect "$SB/rec/got" ''; fi
}
# no_record: no tool ran.
no_record() { expect_record; }
# tool_env: the environment (sorted VAR=value lines) the last tool run received.
tool_env() { awk '/^-- env$/ { e = 1; b = ""; next } /^-- end$/ { e = 0 } e { b = b $0 "\n" } END { printf "%s", b }' "$SB/rec/log"; }

# set_tool_status N|KILL: every later tool run exits N, or kills itself with SIGKILL.
set_tool_status() { echo "$1" >"$SB/rec/status"; }
# as_root CMD...: run CMD as root inside the chroot (e.g. to make a file the product will find).
as_root() { /usr/sbin/chroot "$SB" /usr/bin/env -i PATH=/usr/sbin:/usr/bin "$@"; }

# expect STATUS OUT WHO NAME [ARGS...]: call, then stdout must be `printf OUT` and the status STATUS.
expect() {
	local st=$1 out=$2; shift 2
	call "$@"
	expect_out "$out" || return 1
	[ "$status" -eq "$st" ] || { echo "status $status, want $st; stderr:"; cat "$SB/err"; return 1; }
}

# audit: the audit records so far, as "PRIORITY IDENT: MESSAGE" (timestamp and pid left out).
# A marker sent last and awaited makes sure every earlier datagram has been written.
audit() {
	local mark="sync-$RANDOM$RANDOM" i
	/usr/bin/logger -u "$SB/dev/log" "$mark"
	for ((i = 0; i < 100; i++)); do grep -q "$mark" "$SB/rec/syslog" && break; sleep 0.05; done
	grep -vE ": sync-[0-9]+$" "$SB/rec/syslog" |
		sed -E 's/^<([0-9]+)>[A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} ([^[]*)\[[0-9]+\]: /\1 \2: /'
}
# expect_audit LINE...: the audit records must be exactly these lines.
expect_audit() {
	audit >"$SB/rec/got"
	if (($#)); then _expect "$SB/rec/got" '%s\n' "$@"; else _expect "$SB/rec/got" ''; fi
}

# runs WHO NAME ARGS... = RECORD...: prints nothing, exits 0, and the tools got exactly RECORD.
runs() {
	local who=$1 name=$2 args=(); shift 2
	while [ "$1" != = ]; do args+=("$1"); shift; done; shift
	: >"$SB/rec/log"
	expect 0 '' "$who" "$name" "${args[@]}" && expect_record "$@"
}
