# shellcheck shell=bash
# The tour, run by try-it inside the sandbox ($SB).
source "$(dirname "$0")/../tests/e2e/check.sh"

# show NOTE WHO NAME ARGS...: one run, with everything it did.
show() {
	local note=$1 who=$2; shift 2
	reset_sandbox
	[ -z "${MARKER:-}" ] || eval "$MARKER"
	printf '\n== %s\n$ (as %s) ' "$note" "$who"
	printf '%q ' "$@"
	printf '\n'
	call "$who" "$@"
	sed 's/^/  | /' "$SB/rec/out" "$SB/rec/err"
	if [ -s "$SB/rec/log" ]; then
		echo "  tool received:"
		parse_log && printf %s "$RECS" | sed 's/^/    /'
	else
		echo "  no tool started"
	fi
	# shellcheck disable=SC2154 # call (check.sh) sets it
	echo "  exit status: $status"
	if [ -n "$(audit)" ]; then
		echo "  audit trail (priority ident: message):"
		audit | sed 's/^/    /'
	fi
}

cat <<'INTRO'
Sandbox callers: root; service accounts sp507 sp508 spcomm(509) spupg(512);
oem (group qeloem), svc (group qelsvc), opsadm (group ops, administers c1),
plain and ann (no service group); uid 799 has no passwd line.
Clusters: c1 (10.0.0.1, serial 1234567, admin group ops), c2 (10.0.0.15,
serial 7654321, admin group ops2).
INTRO

show "a service engineer runs a command on node 0" svc qelcmd c1 0 ls -l /var/log
show "metacharacters reach the tool literally, nothing runs here" svc qelcmd c1 0 'echo $(id); reboot'
show "the cluster's administrative group may act on its cluster" opsadm qelcmd c1 all -t uptime
show "... but not on another cluster" opsadm qelcmd c2 all uptime
show "uid 512 is held to the upgrade-check scripts" spupg qelcmd c1 0 \
	/sp/prod/code/csst/bin/upgrade_scripts/upgrade_check/check_defrag/check_defrag.sh
show "... and refused anything else" spupg qelcmd c1 0 id
show "a caller without rights" plain qelcmd c1 0 id
show "a cluster operand that would add a rule term" plain qelcmd 'c1:G=users' 0 id
show "a caller without a passwd line" 799 qelcmd c1 0 id
show "dump retrieval: panic dumps of node 0, kept after processing" svc qeldump -D panic c1 0
show "dump retrieval with the cluster found by its IP address" opsadm qeldump -I 10.0.0.1 core all out.tar
show "the address search matches whole lines: 10.0.0.1 is not 10.0.0.15" svc qeldump -I 10.0.0.15 core 1
show "drive update runs as stapp" spupg qeldrive c1
show "drive-cage update runs as spcomm" svc qelcage c1
show "CBIOS flash of one node" sp508 qelbios c1 2.1 3
show "node rescue data" oem qelrescue -S c1
show "node rescue" svc qelrescue c1 1 reboot
show "MUP without its marker file" svc qelmup
MARKER='touch "$SB/tmp/spmup.tar"; chmod 0666 "$SB/tmp/spmup.tar"' \
	show "MUP with a marker file that anyone could have written" svc qelmup
MARKER='touch "$SB/tmp/spmup.tar"' show "MUP with root's marker file, as root" plain qelmup
show "diagnostic archive under the log tool" svc Corvanex c1
show "diagnostic archive without the log tool, not locking" svc Corvanex -Lt c1
show "diagnostic archive refused" plain Corvanex c1
ln -s qeldump "$SB/usr/local/bin/QelCmd"
show "an invoked name not in the table (names are case-sensitive)" svc QelCmd c1 0 id

printf '\n== what the administrator can ask before anyone is refused\n$ (as root) spauth check opsadm\n'
as_root /usr/local/sbin/spauth check opsadm | sed 's/^/  | /'
