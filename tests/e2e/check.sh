#!/bin/bash
# check.sh [TABLE]: runs the case table (default tests/e2e/cases) in the sandbox that run.sh
# built at $SB, checking every row alike; prints "ok N - ..." or "not ok N - ..." and the
# differences, then "N passed, N failed". Sourced (the tour, the benchmark), it only defines the
# sandbox helpers.
# shellcheck disable=SC2059 # expected texts are printf formats by design
E2E=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SAFE_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
# 1 where root may not raise a hard limit: no CAP_SYS_RESOURCE in the bounding set (some build hosts).
NO_SYS_RESOURCE=$((0x$(sed -n 's/^CapBnd:\t//p' /proc/self/status) >> 24 & 1 ^ 1))
# Checked on every tool run as root.
ROOT_CHECKS=(env_clean umask_022 gid_root groups_none fds_std limits_pid1 signals_default sched_system
	state_system cgroup_system)
CLEAN=()

# reset_sandbox: empty the logs, out/err and /tmp; restore the account files and the registry;
# remove what setup words made elsewhere (CLEAN).
reset_sandbox() {
	# rec/log: root's, 0666, so that every uid can append; rec/wait: a pipe to sleep on
	[ -e "$SB/rec/log" ] || { : >"$SB/rec/log" && chmod 0666 "$SB/rec/log" && mkfifo "$SB/rec/wait"; }
	: >"$SB/rec/log" && : >"$SB/rec/syslog"
	rm -rf "$SB"/rec/{status,sleep,argv} "$SB"/rec/{out,err} "$SB"/tmp/{*,.[!.]*} "$SB/etc/sysconfig" "${CLEAN[@]}"
	cp -r "$E2E"/fixture/etc/{passwd,group,sysconfig} "$SB/etc/"
	CALL_ENV=() CALL_SIG=() CALL_WRAP=() CALL_UMASK=0022 CALL_GROUPS=() CALL_PRIV=() CALL_FDS=() KEEP=() UNDO=() CLEAN=()
	WANT_IDS='' CWD=/ LIMIT_OPTS=() CAPPED=$NO_SYS_RESOURCE CALLER_NICE=0 CALLER_IDLE=0 NICE_KEPT=0 CALL_CGROUP='' WANT_CPUS=${PID1_CPUS-}
	WANT_CGROUP=${OWN_CGROUP-} SKIP=
	for w in "$SB"/rec/fs/*; do echo 1 >"$w"; done
}

# call USER|UID NAME [ARGS...]: NAME (in /usr/local/bin or sbin unless absolute) run in the chroot as the
# caller (a bare uid: gid 100, no login variables), with stdin /dev/null, fds 0-2 only, 30 s at
# most; a login environment and CALL_ENV, env(1) options CALL_SIG, setpriv(1) options CALL_PRIV,
# through the command CALL_WRAP, umask CALL_UMASK. stdout, stderr -> $SB/rec/out, $SB/rec/err; exit code -> $status (124: it hung).
call() {
	local who=$1 path=$2 u=$1 g=100 h n env=("PATH=$SAFE_PATH")
	shift 2
	[[ $path == /* ]] || path=/usr/local/bin/$path
	[[ -e $SB$path || ! -e $SB/usr/local/sbin/${path##*/} ]] || path=/usr/local/sbin/${path##*/}
	# a sanitized build reads its options at start-up, before the front end cleans the environment
	[ -z "${SAN_OPTIONS:-}" ] || env+=("ASAN_OPTIONS=$SAN_OPTIONS" "UBSAN_OPTIONS=$SAN_OPTIONS")
	if [[ ! $who =~ ^[0-9]+$ ]]; then
		u='' && while IFS=: read -r n _ u g _ h _; do [ "$n" != "$who" ] || break; u=''; done <"$SB/etc/passwd"
		env+=("HOME=$h" "USER=$who" "LOGNAME=$who")
	fi
	status=0
	( # env goes last, so a hostile CALL_ENV (LD_PRELOAD=...) reaches only the product
		for fd in /proc/self/fd/*; do fd=${fd##*/}; ((fd > 2)) && eval "exec $fd>&-"; done
		for fd in "${CALL_FDS[@]}"; do eval "exec $fd<\"\$SB/etc/passwd\""; done
		[ -z "$CALL_CGROUP" ] || echo "$BASHPID" >"$CALL_CGROUP"
		umask "$CALL_UMASK"
		exec /usr/bin/timeout -k 5 30 /usr/sbin/chroot "$SB" /usr/bin/setpriv --reuid="${u:?no user $who}" \
			--regid="$g" "${CALL_GROUPS[@]:---clear-groups}" "${CALL_PRIV[@]}" /usr/bin/env -i "${CALL_SIG[@]}" "${env[@]}" \
			"${CALL_ENV[@]}" "${CALL_WRAP[@]}" "$path" "$@"
	) </dev/null >"$SB/rec/out" 2>"$SB/rec/err" || status=$?
}

# parse_log: the tool log into RECS (the header and argument lines: "/path/of/tool ruid=N euid=N",
# then "arg=<argument>" a line, verbatim), HEADS[K] (the header of record K, from 1) and
# BLOCK[K.NAME] (the lines of its block NAME: state, env or limits).
declare -A BLOCK
parse_log() {
	local l k=0 b=''
	RECS='' HEADS=() BLOCK=()
	while IFS= read -r l; do
		if [[ $l == /* ]]; then ((++k)) && b='' HEADS[k]=$l RECS+=$l$'\n'
		elif [[ $l == "-- "* ]]; then b=${l#-- }
		elif [[ -n $b && $b != end ]]; then BLOCK[$k.$b]+=$l$'\n'
		else RECS+=$l$'\n'; fi
	done <"$SB/rec/log"
}
# audit: the audit records so far, "PRIORITY IDENT: MESSAGE" (no time, no pid), also in AUDIT_GOT;
# a marker sent last and awaited makes sure every earlier datagram has been written.
audit() {
	local mark="sync-$RANDOM$RANDOM" i
	/usr/bin/logger -u "$SB/dev/log" "$mark"
	for ((i = 0; i < 500; i++)); do
		[[ $(<"$SB/rec/syslog") == *": $mark" ]] && break
		read -rt 0.01 <>"$SB/rec/wait"
	done
	# every record is dated by the system's clock (the sandbox's time zone is UTC), whatever TZ
	# the caller set
	local now t && printf -v now '%(%s)T' -1
	while read -r t; do
		t=$((10#${t:0:2} * 3600 + 10#${t:3:2} * 60 + 10#${t:6:2}))
		(((now - t + 86400 + 5) % 86400 <= 65)) || fail "a record dated $t s into the day, not about $((now % 86400))"
	done < <(sed -nE 's/^<[0-9]+>[A-Z][a-z]{2} [ 0-9]{2} ([0-9:]{8}) .*/\1/p' "$SB/rec/syslog")
	mapfile -t AUDIT_GOT < <(grep -v ': sync-[0-9]*$' "$SB/rec/syslog" |
		sed -E 's/^<([0-9]+)>[A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} ([^[]*)\[[0-9]+\]: /\1 \2: /')
	((${#AUDIT_GOT[@]} == 0)) || printf '%s\n' "${AUDIT_GOT[@]}"
}
as_root() { /usr/sbin/chroot "$SB" /usr/bin/env -i PATH=/usr/sbin:/usr/bin "$@"; }

# ---- setup words: KIND or KIND:ARG before the callers of a row; a new kind is one function here.
uid_of() {
	local n u
	[[ $1 =~ ^[0-9]+$ ]] && echo "$1" && return
	while IFS=: read -r n _ u _; do [ "$n" != "$1" ] || { echo "$u" && return; }; done <"$SB/etc/passwd"
}
setup_keep() { CALL_ENV+=("$1") KEEP+=("$1"); } # the caller sets VAR=value, root tools get it
setup_drop() { CALL_ENV+=("$1"); }              # the caller sets VAR=value, no root tool gets it
setup_sig() { CALL_SIG+=("$1"); }               # an env(1) signal option, e.g. --block-signal=TERM
setup_umask() { CALL_UMASK=$1; }                  # the caller's umask
setup_nnp() { CALL_WRAP+=(/usr/bin/setpriv --no-new-privs); } # the caller sets no_new_privs
setup_limit() { # e.g. limit:nproc=1; LeakSanitizer could not start its checker under it
	CALL_WRAP+=(/usr/bin/prlimit "--$1") LIMIT_OPTS+=("--$1")
	[ -z "${SAN_OPTIONS:-}" ] || CALL_ENV+=("ASAN_OPTIONS=$SAN_OPTIONS:detect_leaks=0")
}
# every tool exits N; KILL, SEGV: kills itself; SHELL: kills its shell; FRONT: sends TERM to the front end
setup_toolstatus() { echo "$1" >"$SB/rec/status"; }
setup_toolsleep() { echo "$1" >"$SB/rec/sleep"; }   # every tool sleeps N seconds first
setup_groups() { CALL_GROUPS=("--groups=$1"); }      # the caller's supplementary groups
setup_fd() { CALL_FDS+=("$1"); }                     # the caller leaves descriptor N open
setup_nocap() { # nocap:CAP: not in the caller's bounding set, so root lacks it too
	CALL_PRIV+=("--bounding-set=-$1")
	[ "$1" != sys_resource ] || CAPPED=1
	[ "$1" != sys_nice ] || NICE_KEPT=1
}
setup_sched() { # sched:oom=N|nice=N|batch|idle|ioidle|cpu=N: the caller's scheduling state
	case $1 in
	oom=*) CALL_WRAP+=(/usr/bin/choom -n "${1#*=}" --) ;;
	nice=*) CALL_WRAP+=(/usr/bin/nice -n "${1#*=}") CALLER_NICE=${1#*=} ;;
	batch | idle) CALL_WRAP+=(/usr/bin/chrt "--$1" 0) && [ "$1" != idle ] || CALLER_IDLE=1 ;;
	ioidle) CALL_WRAP+=(/usr/bin/ionice -c 3) ;;
	cpu=*) CALL_WRAP+=(/usr/bin/taskset -c "${1#*=}") ;;
	*) return 1 ;;
	esac
}
setup_alarm() { CALL_WRAP+=(/usr/local/bin/callstate "alarm=$1"); } # the caller's ITIMER_REAL, in seconds
setup_state() { # state:i686|slack=NS|key|slice=NS|mpol|thp: the caller's execution domain (i686, a 2.6
	case $1 in    # kernel), timer slack, a session keyring that holds a key, time slice, NUMA policy, no THP
	i686) CALL_WRAP+=(/usr/bin/setarch i686 --uname-2.6) ;;
	slack=* | key | slice=* | mpol | thp) CALL_WRAP+=(/usr/local/bin/callstate "$1") ;;
	*) return 1 ;;
	esac
}
setup_cpuset() { # the caller in a cpuset of the last CPU, process 1 (the runner) on the first alone
	local cg=/sys/fs/cgroup/cpuset/qel-e2e-$$ last=$(($(nproc --all) - 1))
	((last > 0)) && mkdir "$cg" && echo "$last" >"$cg/cpuset.cpus" && cp "${cg%/*}/cpuset.mems" "$cg/" || return 1
	UNDO+=("rmdir $cg" "taskset -pc $PID1_CPUS 1 >/dev/null") && taskset -pc 0 1 >/dev/null
	CALL_CGROUP=$cg/tasks WANT_CPUS=$last
}
# cgroup:delegated: the caller in a group below one delegated to it, as systemd delegates user@UID.service;
# cgroup:pid1: process 1 too, so no group of root's is left; cgroup:hidden: no cgroup file system in the chroot
setup_cgroup() {
	local top g=qel-e2e-$$
	top=$(findmnt -nro TARGET -t cgroup2 | head -n 1)
	[ -n "$top" ] || { SKIP="no cgroup v2 hierarchy on this machine" && return 0; }
	mkdir "$top/$g" "$top/$g/leaf" && UNDO+=("rmdir $top/$g" "rmdir $top/$g/leaf") &&
		chown "$(uid_of "$WHO")" "$top/$g" "$top/$g/"cgroup.{procs,threads,subtree_control} || return 1
	CALL_CGROUP=$top/$g/leaf/cgroup.procs WANT_CGROUP=$PID1_CGROUP
	[ "$1" != pid1 ] || { echo 1 >"$CALL_CGROUP" && UNDO+=("echo 1 >$top${PID1_CGROUP%/}/cgroup.procs"); }
	[ "$1" != hidden ] || { umount -R "$SB/sys/fs/cgroup" && UNDO+=("mount --rbind /sys/fs/cgroup $SB/sys/fs/cgroup"); }
}
setup_argv0() { CALL_WRAP+=(/usr/bin/bash -c 'exec -a "$0" "$@"' "$1"); } # argv0:NAME, the front end's argv[0]
setup_cwd() { mkdir -p "$SB$1" && CWD=$1 && CALL_WRAP+=(/usr/bin/bash -c 'cd "$0" && exec "$@"' "$1"); } # cwd:DIR
# chmod:MODE:PATH, chown:OWNER:PATH: on a path of the sandbox; undone after the call, last first
setup_chmod() { local p=$SB${1#*:} && UNDO+=("chmod $(stat -c %a "$p") ${p@Q}") && chmod "${1%%:*}" "$p"; }
setup_chown() { local p=$SB${1#*:} && UNDO+=("chown $(stat -c %u "$p") ${p@Q}") && chown "$(uid_of "${1%%:*}")" "$p"; }
setup_aside() { mv "$SB$1" "$SB$1.aside" && UNDO+=("mv $SB$1.aside $SB$1"); } # aside:PATH: it is missing
setup_copy() { setup_aside "$1" && cp "$SB/usr/local/bin/qeldump" "$SB$1" && UNDO+=("rm $SB$1"); } # a copy of the front end
setup_symlink() { setup_aside "$1" && ln -s "${1##*/}.aside" "$SB$1" && UNDO+=("rm $SB$1"); } # a link to itself, aside
setup_ln() { setup_aside "${1#*:}" && ln -s "${1%%:*}" "$SB${1#*:}" && UNDO+=("rm $SB${1#*:}"); } # ln:TARGET:PATH
setup_mkdir() { mkdir -m "${1%%:*}" "$SB${1#*:}" && CLEAN+=("$SB${1#*:}"); } # mkdir:MODE:PATH
setup_nosuid() { mount -o remount,nosuid "$SB/usr/local" && UNDO+=("mount -o remount,suid $SB/usr/local"); } # /usr/local
setup_sysctl() { echo "${1#*=}" >"$SB/rec/fs/${1%%=*}"; } # sysctl:protected_symlinks=0, as read
setup_sudoers() { # sudoers:RULE, in place of the fixture's one rule (its last line)
	cp "$SB/etc/sudoers" "$SB/rec/sudoers" && UNDO+=("cp $SB/rec/sudoers $SB/etc/sudoers") &&
		sed -i '$d' "$SB/etc/sudoers" && echo "$1" >>"$SB/etc/sudoers"
}
setup_reg() { # reg:NAME.conf copies c1.conf; reg:NAME.conf:TEXT writes the line(s) TEXT
	local d=$SB/etc/sysconfig/sp/cluster
	[[ $1 != *.conf:* ]] && cp "$d/c1.conf" "$d/$1" || printf -- "${1#*.conf:}\n" >"$d/${1%%.conf:*}.conf"
}
setup_dangling() { ln -s /nowhere "$SB/etc/sysconfig/sp/cluster/$1"; } # dangling:NAME.conf
# procenv:NAME.conf:GROUP: a link to /proc/self/environ, whose first line names ADMINGROUP=GROUP
setup_procenv() {
	ln -s /proc/self/environ "$SB/etc/sysconfig/sp/cluster/${1%%:*}" &&
		CALL_WRAP+=(/usr/bin/env -i "ADMINGROUP=${1#*:}" "PATH=$SAFE_PATH")
}
setup_noreg() { rm -f "$SB"/etc/sysconfig/sp/cluster/*.conf; }            # no registry file
setup_fifo() { mkfifo "$SB/etc/sysconfig/sp/cluster/$1"; }                # fifo:NAME.conf
setup_zero() { ln -s /dev/zero "$SB/etc/sysconfig/sp/cluster/$1"; }        # zero:NAME.conf, a link to /dev/zero
setup_marker() { # marker:MODE:OWNER, marker:link (to a file of root's), marker:hardlink, marker:dir
	local m=$SB/tmp/spmup.tar
	case $1 in
	link) : >"$SB/tmp/real" && ln -s /tmp/real "$m" ;;
	hardlink) ln "$SB/etc/hostname" "$m" ;; # a file of root's, 0644, under a second name
	dir) mkdir "$m" ;;
	*) : >"$m" && chmod "${1%%:*}" "$m" && chown "$(uid_of "${1#*:}")" "$m" ;;
	esac
}
setup_link() { # link:NAME beside the front end, link:/PATH anywhere: a symbolic link to it
	local at=$SB/usr/local/bin/$1
	[[ $1 != /* ]] || { at=$SB$1 && mkdir -p "${at%/*}"; }
	ln -s /usr/local/bin/qeldump "$at" && CLEAN+=("$at")
}
setup_hardlink() { mkdir -p "$SB${1%/*}" && ln "$SB/usr/local/bin/qeldump" "$SB$1" && CLEAN+=("$SB$1"); } # hardlink:/PATH
setup_passwd() { echo "$1" >>"$SB/etc/passwd"; } # passwd:LINE, group:LINE: one more; nouser:NAME, nogroup:NAME: none
setup_group() { echo "$1" >>"$SB/etc/group"; }
# a root without /proc, for a sanitized build: LeakSanitizer cannot list the threads there
setup_noproc() { [ -z "${SAN_OPTIONS:-}" ] || CALL_ENV+=("ASAN_OPTIONS=$SAN_OPTIONS:detect_leaks=0"); }
setup_ids() { WANT_IDS=$1; } # ids:QV101,QV601: the ids of spauth verify's findings, in order
setup_nouser() { sed -i "/^$1:/d" "$SB/etc/passwd"; }
setup_nogroup() { sed -i "/^$1:/d" "$SB/etc/group"; }
setup_rotmp() { mount --bind "$SB/tmp" "$SB/tmp" && UNDO+=("umount $SB/tmp") && mount -o remount,ro,bind "$SB/tmp"; } # read-only
setup_fakesudo() { printf '#!/bin/sh\necho EVIL >>/rec/log\n' >"$SB$1/sudo" && chmod 755 "$SB$1/sudo" && CLEAN+=("$SB$1/sudo"); }
# script:PATH:LINE: PATH, of root's, becomes a script whose "#!" line is LINE (set aside, it is restored)
setup_script() {
	local at=${1%%:*}
	[ ! -e "$SB$at" ] && CLEAN+=("$SB$at") || setup_aside "$at"
	printf '#!%s\nexit 0\n' "${1#*:}" >"$SB$at" && chmod 755 "$SB$at"
}
setup_evil() { # /tmp/evil: sudo, grep, sh and id, and a shell start-up file, that would log EVIL
	local t
	mkdir -p "$SB/tmp/evil" && echo 'echo EVIL >>/rec/log' >"$SB/tmp/evil/env"
	for t in sudo grep sh id; do
		printf '#!/bin/sh\necho EVIL >>/rec/log\n' >"$SB/tmp/evil/$t" && chmod 755 "$SB/tmp/evil/$t"
	done
}

# ---- checks; each adds what is wrong to FAILS and returns 1.
fail() { FAILS+="$*"$'\n' && return 1; }
# same WHAT WANT GOT: two texts, equal, or a diff (cat -A) goes to FAILS.
same() {
	[[ $2 == "$3" ]] || fail "$1:"$'\n'"$(diff -u --label want --label got <(printf %s "$2" | cat -A) \
		<(printf %s "$3" | cat -A))"
}
# slurp FILE: its bytes into SLURP (a NUL as ^@, which no expected text holds).
slurp() { local c && mapfile -d '' c <"$1" && SLURP=$(IFS='' && printf '%s^@' "${c[@]}") && SLURP=${SLURP%^@}; }
# On a tool run as root, record K:
state() { [[ $'\n'${BLOCK[$1.state]-} =~ $'\n'$2:\ ?([^$'\n']*) ]] && echo "${BASH_REMATCH[1]}"; }
is() { # is K KEY VALUE...: the state line KEY is one of the VALUEs.
	local v w && v=$(state "$1" "$2")
	for w in "${@:3}"; do [ "$v" != "$w" ] || return 0; done
	fail "root tool's $2 '$v', want '$3'"
}
env_clean() { # the clean environment, with what the row's keep: words set
	same "root tool's environment" "$(printf '%s\n' HOME=/root "LOGNAME=$WHO" "PATH=$SAFE_PATH" "PWD=$CWD" \
		SHELL=/bin/sh "USER=$WHO" "${KEEP[@]}" | sort)"$'\n' "${BLOCK[$1.env]-}"
}
umask_022() {
	local m && m=$(state "$1" Umask)
	[[ $m =~ ^0[0-7]{3}$ ]] && (((8#$m & 8#022) == 8#022)) || fail "root tool's umask '$m', want 0022 or stricter"
}
gid_root() { is "$1" Gid "0 0 0 0"; }
groups_none() { is "$1" Groups "" 0; } # none, or root's own
fds_std() { is "$1" Fds "0 1 2"; }
signals_default() { is "$1" SigBlk 0000000000000000 && is "$1" SigIgn 0000000000000000; }
sched_system() { # the caller's nice value, and SCHED_IDLE, stay where root may not leave them
	is "$1" Sched "oom=0 nice=$((NICE_KEPT ? CALLER_NICE : 0)) policy=$((NICE_KEPT && CALLER_IDLE ? 5 : 0)) io=none: prio 0" &&
		is "$1" Cpus_allowed_list "$WANT_CPUS"
}
state_system() { # the default execution domain, timer slack, time slice and memory policy, huge pages, and
	is "$1" Personality 00000000; is "$1" Timerslack 50000; is "$1" Keyring none # no key of the caller's
	is "$1" Slice "$PID1_SLICE" ''; is "$1" Mempolicy default ''; is "$1" THP_enabled 1 '' # no slice under SCHED_IDLE
}
cgroup_system() { is "$1" Cgroup "$WANT_CGROUP"; } # the caller's group where it is root's alone, else process 1's
limits_pid1() {
	local want=$PID1_LIMITS
	((${#LIMIT_OPTS[@]} == 0 && CAPPED == NO_SYS_RESOURCE)) ||
		want=$(pid1_limits "$CAPPED" <(/usr/bin/prlimit "${LIMIT_OPTS[@]}" /usr/bin/cat /proc/self/limits))
	same "root tool's limits" "$want" "$(sed -E 's/  +/ /g; s/ +$//' <<<"${BLOCK[$1.limits]-}")"
}
# pid1_limits CAPPED CALLER_LIMITS: process 1's limits, soft and hard, but core 0; where root may
# not raise a hard limit (CAPPED: no CAP_SYS_RESOURCE in its bounding set, as on some build hosts),
# no higher than the caller's hard limits.
pid1_limits() {
	awk -v capped="$1" -F '  +' '
		function min(a, b) { return a == "unlimited" ? b : b == "unlimited" ? a : a + 0 < b + 0 ? a : b }
		NR == FNR { hard[$1] = $3; next }
		FNR > 1 && capped { $2 = min($2, hard[$1]); $3 = min($3, hard[$1]) }
		/^Max core file size/ { $2 = 0; $3 = 0 }
		{ print }' OFS=' ' "$2" "$SB/proc/1/limits" | sed -E 's/  +/ /g; s/ +$//'
}

# ---- the table
declare -A CONST
# expand TEXT: constants ($NAME) and repeats ({c*63}: 63 c's) replaced, into EXP.
expand() {
	local s=$1 r i=0
	while [[ $s =~ \$([A-Z][A-Z0-9_]+) ]] && ((i++ < 100)); do
		[[ -v CONST[${BASH_REMATCH[1]}] ]] || { TABLE_ERR+="no constant ${BASH_REMATCH[1]}; " && break; }
		s=${s/"${BASH_REMATCH[0]}"/"${CONST[${BASH_REMATCH[1]}]}"}
	done
	while [[ $s =~ \{(.)\*([0-9]+)\} ]]; do
		printf -v r '%*s' "${BASH_REMATCH[2]}" '' && s=${s/"${BASH_REMATCH[0]}"/"${r// /"${BASH_REMATCH[1]}"}"}
	done
	EXP=$s
}
trim() { local s=${1#"${1%%[![:space:]]*}"} && TRIM=${s%"${s##*[![:space:]]}"}; }
# words TEXT: TEXT, expanded, as shell words into W.
words() {
	W=() && expand "$1" && set -f
	eval "W=($EXP)" 2>/dev/null || TABLE_ERR+="bad words: $1; "
	set +f
}

# run_row LINE TEXT EXTRAS: one row, once for each of its callers; EXTRAS: "err|audit<TAB>FORMAT" lines.
run_row() {
	local f w setup=() callers=() cmd st tool out toolw=() key val
	IFS=$'\x1f' read -r -a f <<<"${2// | /$'\x1f'}"
	TABLE_ERR='' ERR='' AUDIT=()
	((${#f[@]} == 4 || ${#f[@]} == 5)) || { TABLE_ERR="want 4 or 5 fields; " && f=(? - - -); }
	words "${f[0]}"
	for w in "${W[@]}"; do
		if declare -F "setup_${w%%:*}" >/dev/null; then setup+=("$w"); else callers+=("$w"); fi
	done
	words "${f[1]}" && cmd=("${W[@]}")
	st=${f[2]// /} && trim "${f[3]}" && tool=$TRIM && trim "${f[4]-}" && expand "$TRIM" && out=$EXP
	[[ $tool == - || $tool == !* ]] || { words "$tool" && toolw=("${W[@]}") && [[ ${W[0]-} == ?*@?* ]]; } ||
		TABLE_ERR+="tool record $tool; "
	while IFS=$'\t' read -r key val; do
		[ -n "$key" ] && expand "$val" || continue
		if [ "$key" = err ]; then ERR=$EXP; else AUDIT+=("$EXP"); fi
	done <<<"$3"
	((${#callers[@]})) || callers=(?) TABLE_ERR+="no caller; "
	for w in "${callers[@]}"; do
		FAILS=''
		if [ -n "$TABLE_ERR" ]; then fail "table line $1: $TABLE_ERR"; else run_case "$w" "${setup[@]}"; fi
		trim "${f[1]}" && report "$w: $TRIM (line $1)"
	done
}

# run_case CALLER SETUP...: reset, set up, call, then the same checks for every row.
run_case() {
	local w k path='' acct='' before after
	WHO=$1 && shift && reset_sandbox
	for w; do "setup_${w%%:*}" "${w#*:}" || fail "setup $w failed"; done
	if [ -n "$SKIP" ]; then
		for ((k = ${#UNDO[@]} - 1; k >= 0; k--)); do eval "${UNDO[k]}"; done
		return
	fi
	shopt -s globstar dotglob nullglob && before=("$SB"/* "$SB"/tmp/**)
	call "$WHO" "${cmd[@]}"
	[[ "${cmd[*]:0:2}" != "spauth verify" || $st == 2 ]] || check_json
	after=("$SB"/* "$SB"/tmp/**) && shopt -u globstar dotglob nullglob
	[[ ${cmd[*]} != "spauth verify" || $status != 1 ]] || check_fixes
	for ((k = ${#UNDO[@]} - 1; k >= 0; k--)); do eval "${UNDO[k]}"; done
	printf -v w -- "$out" && slurp "$SB/rec/out" && same stdout "$w" "$SLURP"
	printf -v w -- "$ERR" && slurp "$SB/rec/err" && same stderr "$w" "$SLURP"
	[ "$status" = "$st" ] || fail "status $status, want $st"
	# the tools run: TOOL@ACCOUNT ARGS..., or none for "-" and "! REASON"
	parse_log
	w=''
	if ((${#toolw[@]})); then
		path=${toolw[0]%@*} acct=${toolw[0]#*@} && k=$(uid_of "$acct")
		for w in /home/spcomm/bin /sp/prod/code/csst/bin; do [ ! -e "$SB$w/$path" ] || path=$w/$path; done
		w="$path ruid=$k euid=$k"$'\n' && ((${#toolw[@]} < 2)) || w+=$(printf 'arg=<%s>\n' "${toolw[@]:1}")$'\n'
	fi
	same "tools run" "$w" "$RECS"
	for k in "${!HEADS[@]}"; do
		[[ ${HEADS[k]} != *' ruid=0 euid=0' ]] || for w in "${ROOT_CHECKS[@]}"; do "$w" "$k"; done
	done
	audit >"$SB/rec/audit" && slurp "$SB/rec/audit"
	expect_audit "$acct" "$path"
	# leftovers: / (the caller's directory) and /tmp hold what the setup made, and nothing else
	# (no scratch file, no core)
	same "/ and /tmp afterwards" "$(printf '%s\n' "${before[@]#"$SB"}")"$'\n' "$(printf '%s\n' "${after[@]#"$SB"}")"$'\n'
}

# check_json: the same spauth verify with --json, before the setup is undone: the same status, and
# a document that the schema, the text and the row's ids (setup word ids:) agree with.
check_json() {
	local text=$status
	mv "$SB/rec/out" "$SB/rec/text" && call "$WHO" "${cmd[@]}" --json && mv "$SB/rec/out" "$SB/rec/json"
	[ "$status" = "$text" ] || fail "--json: status $status, the text's $text"
	python3 "$E2E/verify_json.py" "$E2E/../../admin/spauth-verify.schema.json" "$SB/rec/json" "$SB/rec/text" \
		"$WANT_IDS" "$SB" >"$SB/rec/why" 2>&1 || fail "--json: $(<"$SB/rec/why")"
	mv "$SB/rec/text" "$SB/rec/out" && status=$text
}

# check_fixes: each fix spauth verify printed that is a chmod or chown, pasted into root's /bin/sh in the
# sandbox, mends its finding and does nothing else (no file appears in /tmp). What the verify runs that
# follow start (sudo) is not the row's.
check_fixes() {
	local line fix tmp && tmp=$(ls -A "$SB/tmp") && cp "$SB/rec/log" "$SB/rec/log.row"
	while IFS= read -r line; do
		[[ $line == *"; fix: ch"* ]] || continue
		fix=${line##*; fix: }
		as_root /bin/sh -c "cd /tmp && $fix" || fail "fix failed: $fix"
		! as_root /usr/local/sbin/spauth verify | grep -qF "; fix: $fix" || fail "fix did not mend: $fix"
	done <"$SB/rec/out"
	same "/tmp after the fixes" "$tmp" "$(ls -A "$SB/tmp")"
	mv "$SB/rec/log.row" "$SB/rec/log"
}

# expect_audit ACCOUNT PATH: the records a row implies, unless it states them (audit: lines): none
# for "-"; for "! REASON" a warning naming the reason; for a tool run a notice naming the account
# and an info record with the status, both on the same command line.
expect_audit() {
	local who=$WHO id=${cmd[0]##*/} tag=qeldump args=${cmd[*]:1} want='' l rest
	[[ ! $who =~ ^[0-9]+$ ]] || who=uid=$who
	[[ " $NAMES " != *" $id "* ]] || tag=$id
	if ((${#AUDIT[@]})); then
		for l in "${AUDIT[@]}"; do printf -v l -- "$l" && want+=$l$'\n'; done
	elif [[ $tool == !* ]]; then
		[[ $args != *[![:print:]]* && $args != *[\\\;]* ]] || fail "table: state this row's audit text (escapes)"
		trim "${tool#!}" && want="84 $tag: $who : $TRIM ; TTY=unknown ; PWD=/ ; FUNCTION=$id ; ARGS=$args"$'\n'
	elif [ "$tool" != - ]; then
		l="85 $tag: $who : TTY=unknown ; PWD=/ ; USER=$1 ; CLUSTER=" rest=${AUDIT_GOT[0]-}
		[[ $rest == "$l"*" ; COMMAND="*"$2"* ]] && rest=${rest#"$l"} || rest="<cluster> ; COMMAND=<a line naming $2>"
		want="$l$rest"$'\n'"86 $tag: $who : STATUS=$st ; COMMAND=${rest#* ; COMMAND=}"$'\n'
	fi
	same "audit trail" "$want" "$SLURP"
}

PASSED=0 FAILED=0 SKIPPED=0 NAMES="qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup"
report() { # DESCRIPTION: a result line, and the faults in FAILS; a row the machine cannot run is skipped
	[ -z "${SKIP:-}" ] || { echo "ok $((PASSED + FAILED + ++SKIPPED)) - $1 # SKIP $SKIP" && SKIP='' && return; }
	[ -z "$FAILS" ] && echo "ok $((++PASSED + FAILED + SKIPPED)) - $1" && return
	echo "not ok $((PASSED + ++FAILED + SKIPPED)) - $1" && sed 's/^/# /' <<<"${FAILS%$'\n'}"
}

# @interrupt: ^C from the terminal while the registry search runs (a grep that takes its time, first
# on the search path) ends the run, and no scratch file outlives it.
check_interrupt() {
	local san=() && [ -z "${SAN_OPTIONS:-}" ] || san=("ASAN_OPTIONS=$SAN_OPTIONS" "UBSAN_OPTIONS=$SAN_OPTIONS")
	FAILS='' && reset_sandbox && status=0 && CLEAN+=("$SB/usr/local/bin/grep")
	printf '#!/bin/sh\nexec /usr/bin/sleep 5\n' >"$SB/usr/local/bin/grep" && chmod 755 "$SB/usr/local/bin/grep"
	{ sleep 1 && printf '\003' && sleep 1; } | script -qefc "/usr/sbin/chroot $SB /usr/bin/setpriv --reuid=702 \
		--regid=100 --clear-groups /usr/bin/env -i PATH=$SAFE_PATH ${san[*]} /usr/local/bin/qeldump -I 10.0.0.9 \
		panic 0" /dev/null >"$SB/rec/out" 2>&1 || status=$?
	[ "$status" = 130 ] || fail "status $status, want 130"
	same "/tmp afterwards" "" "$(ls -A "$SB/tmp")"
	report "^C during a registry search leaves no scratch file"
}

# @operands: the quoting property, OPERANDS_VECTORS (default 2000) vectors of random operands from
# the seed OPERANDS_SEED (default: new each run; the result line names it, to replay a failure).
check_operands() {
	local seed=${OPERANDS_SEED:-$(od -An -tu4 -N4 /dev/urandom | tr -d ' ')} n=${OPERANDS_VECTORS:-2000}
	FAILS='' && reset_sandbox && status=0
	as_root ${SAN_OPTIONS:+SAN_OPTIONS=$SAN_OPTIONS} /usr/local/bin/operands /usr/local/bin "$seed" "$n" \
		>"$SB/rec/out" 2>&1 || status=$?
	[ "$status" = 0 ] || fail "$(cat "$SB/rec/out")"
	report "every operand reaches its tool as given, seed $seed: $(tail -n 1 "$SB/rec/out")"
}

main() {
	local l n=0 rows=() at=() extra=()
	while IFS= read -r l; do
		((++n))
		if [[ $l =~ ^[[:space:]]*(#.*)?$ ]]; then
			continue
		elif [[ $l =~ ^([A-Z][A-Z0-9_]*)[[:space:]]+(\+?)=\ ?(.*)$ ]]; then # NAME = TEXT, NAME += TEXT
			[ -n "${BASH_REMATCH[2]}" ] || CONST[${BASH_REMATCH[1]}]=''
			CONST[${BASH_REMATCH[1]}]+=${BASH_REMATCH[3]}
		elif [[ $l =~ ^[[:space:]]+(audit|err):\ ?(.*)$ ]] && ((${#rows[@]})); then
			extra[-1]+=${BASH_REMATCH[1]}$'\t'${BASH_REMATCH[2]}$'\n'
		else # a row, or @NAME: the check of that name
			rows+=("$l") at+=("$n") extra+=("")
		fi
	done <"${1:-$E2E/cases}"
	for n in "${!rows[@]}"; do
		if [[ ${rows[n]} =~ ^@([a-z_]+)$ ]]; then "check_${BASH_REMATCH[1]}"; else run_row "${at[n]}" "${rows[n]}" "${extra[n]}"; fi
	done
	local skipped='' && ((SKIPPED == 0)) || skipped=", $SKIPPED skipped"
	echo "$PASSED passed, $FAILED failed$skipped"
	((FAILED == 0))
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
	set -uo pipefail
	export LC_ALL=C TZ=UTC0
	PID1_LIMITS=$(pid1_limits "$NO_SYS_RESOURCE" /proc/self/limits)
	PID1_CPUS=$(sed -n 's/^Cpus_allowed_list:\t//p' "$SB/proc/1/status")
	PID1_SLICE=$(sed -nE 's/^se\.slice +: +//p' "$SB/proc/1/sched" 2>/dev/null)
	PID1_CGROUP=$(sed -n 's/^0:://p' "$SB/proc/1/cgroup") OWN_CGROUP=$(sed -n 's/^0:://p' /proc/self/cgroup)
	shopt -u patsub_replacement 2>/dev/null
	main "$@"
fi
