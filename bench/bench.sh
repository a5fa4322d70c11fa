# Run by bench/run inside the end-to-end sandbox ($SB, as root); prints Markdown.
# shellcheck shell=bash disable=SC2016 # backquotes in labels are Markdown code, not expansions
# shellcheck source=../tests/e2e/check.sh
source "$(dirname "$0")/../tests/e2e/check.sh"
set -euo pipefail
export LC_ALL=C   # EPOCHREALTIME with a dot
RUNS=${RUNS:-200}
T=$SB/bench   # times, one file per case; the sandbox's tmpfs takes them away
mkdir -p "$T"

# The tools become no-ops, so that recording does not dominate (sandbox only).
setup_tools() {
	local t
	for t in sp/prod/code/csst/bin/DrvCageUp home/spcomm/bin/getpanicdump; do
		printf '#!/bin/sh\nexit 0\n' >"$SB/$t"
	done
}

# in_sb UID GID USER CMD...: every case starts alike: chroot, setpriv and a clean
# login environment, as `call` does (less its timeout), so that only CMD differs.
in_sb() {
	local u=$1 g=$2 n=$3 h=/home/$3
	shift 3
	[ "$n" = root ] && h=/root
	/usr/sbin/chroot "$SB" /usr/bin/setpriv --reuid="$u" --regid="$g" --clear-groups \
		/usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
		HOME="$h" USER="$n" LOGNAME="$n" "$@" </dev/null >/dev/null 2>&1
}
# Each case is the chain plus: the front end as svc (its exec, profile from passwd and
# group, rule, registry, two audit records, a fork), then the very line of the floor:
cage() { in_sb 702 100 svc /usr/local/bin/qelcage c1; }
# the floor: that command line started by root through sh -c (sh, sudo, the tool);
floor() { in_sb 0 0 root /bin/sh -c 'sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp c1'; }
# sudo and the tool alone, without the shell;
sudo_only() { in_sb 0 0 root sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp c1; }
# the C library's lookup of the same user and groups on the same files (nsswitch files);
idg() { in_sb 702 100 svc id -G svc; }
# nothing (/bin/true): the chain alone, as svc and as root; setpriv tries its numeric
# ids as names first, so on big account files the chain itself scans them, not alike.
chain() { in_sb 702 100 svc /bin/true; }
rchain() { in_sb 0 0 root /bin/true; }
# Dump retrieval, the cluster found by address (getSysName) or given by name.
dump_ip() { in_sb 702 100 svc /usr/local/bin/qeldump -I 10.0.0.1 panic 0; }
dump_name() { in_sb 702 100 svc /usr/local/bin/qeldump panic c1 0; }

# measure TAG FN...: one check run of each, then RUNS rounds of every FN in turn
# (interleaved, so that drift hits all alike); µs per run into $T/TAG.FN.
measure() {
	local tag=$1 i f s e
	shift
	for f; do
		"$f" || { echo "bench: $f exits $?, want 0" >&2; exit 1; }
		: >"$T/$tag.$f"
	done
	for ((i = 0; i < RUNS; i++)); do
		for f; do
			s=${EPOCHREALTIME/./}
			"$f" || { echo "bench: $f failed in round $i" >&2; exit 1; }
			e=${EPOCHREALTIME/./}
			echo $((e - s)) >>"$T/$tag.$f"
		done
	done
}
# paired A B [OUT]: the per-round difference A - B into $T/OUT (default A-B).
paired() { paste "$T/$1" "$T/$2" | awk '{ print $1 - $2 }' >"$T/${3:-$1-$2}"; }
# own TAG: the front end's own share per round: (qelcage - svc chain) - (floor - root chain).
own() { paired "$1.cage" "$1.chain" c && paired "$1.floor" "$1.rchain" f && paired c f "$1.own"; }
# pct CASE P: the P-th percentile (nearest rank) of a case, in µs.
pct() { sort -n "$T/$1" | sed -n "$((($(wc -l <"$T/$1") * $2 + 99) / 100))p"; }
# row LABEL CASE [BASE]: a table line; ratio and difference against BASE's median.
row() {
	local m p b
	m=$(pct "$2" 50) p=$(pct "$2" 90) b=${3:+$(pct "$3" 50)}
	awk -v l="$1" -v m="$m" -v p="$p" -v b="$b" 'BEGIN {
		printf "| %s | %.3f | %.3f |", l, m / 1000, p / 1000
		if (b == "") print " | |"; else printf " %.2fx | %+.3f |\n", m / b, (m - b) / 1000 }'
}
table() {
	printf '\n%s\n\n| case | median ms | p90 ms | vs. base | median − base, ms |\n' "$1"
	echo '|---|---:|---:|---:|---:|'
}

# 100,000 users and 20,000 groups; svc near the end of both, and near the end
# of qelsvc's 50,000 members (qelsvc is near the end of group).
big_accounts() {
	grep -v '^svc:' "$E2E/fixture/etc/passwd" >"$SB/etc/passwd"
	awk 'BEGIN { for (i = 1; i <= 99989; i++) {
		if (i == 99980) print "svc:x:702:100::/home/svc:/bin/sh"
		printf "u%d:x:%d:100::/home/u%d:/bin/sh\n", i, 10000 + i, i } }' >>"$SB/etc/passwd"
	grep -v '^qelsvc:' "$E2E/fixture/etc/group" >"$SB/etc/group"
	awk 'BEGIN { for (i = 1; i <= 19989; i++) {
		if (i == 19980) {
			printf "qelsvc:x:901:"
			for (j = 1; j <= 50000; j++) printf "%s%s", (j > 1 ? "," : ""), (j == 49990 ? "svc" : "u" j)
			print ""
		}
		printf "g%d:x:%d:u%d,u%d\n", i, 20000 + i, i, i + 1 } }' >>"$SB/etc/group"
}
# 998 more registry files beside c1 and c2, every one with another address.
big_registry() {
	awk -v d="$SB/etc/sysconfig/sp/cluster" 'BEGIN { for (i = 1; i <= 998; i++) {
		f = sprintf("%s/k%04d.conf", d, i)
		printf "IPADDRESS=10.1.%d.%d\nSERIALNO=%07d\nADMINGROUP=ops\n", int(i / 250), i % 250 + 1, 2000000 + i >f
		close(f) } }'
}

cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
printf 'Machine: %s CPUs, %s, Linux %s; %d runs per case, interleaved.\n' \
	"$(nproc)" "${cpu:-unknown CPU}" "$(uname -r)" "$RUNS"

reset_sandbox && setup_tools
measure small cage floor sudo_only chain rchain
own small
table '1. `qelcage c1` as svc against the command line it runs, fixture accounts'
row '`qelcage c1` (svc)' small.cage small.floor
row 'floor: root, `sh -c "sudo -u spcomm …DrvCageUp c1"`' small.floor small.floor
row 'root, `sudo -u spcomm …DrvCageUp c1`' small.sudo_only small.floor
row 'start-up chain alone, svc (`/bin/true`)' small.chain small.floor
row 'start-up chain alone, root (`/bin/true`)' small.rchain small.floor
row "front end's own share (per round, each less its chain)" small.own

big_accounts
measure big cage floor idg chain rchain
own big && paired big.idg big.chain
table '2. The same with 100,000 users and 20,000 groups (qelsvc: 50,000 members)'
row '`id -G svc` (svc)' big.idg big.idg
row '`qelcage c1` (svc)' big.cage big.idg
row 'floor: root, `sh -c "sudo …"` (sudo reads the files too)' big.floor big.idg
row 'start-up chain alone, svc (`/bin/true`)' big.chain big.idg
row 'start-up chain alone, root (`/bin/true`)' big.rchain big.idg
row "front end's own share (as in table 1; base: id -G's own share)" big.own big.idg-big.chain
row "id -G's own share (id -G − svc chain, per round)" big.idg-big.chain big.idg-big.chain

reset_sandbox && setup_tools
measure reg2 dump_ip dump_name
big_registry
[ "$(find "$SB/etc/sysconfig/sp/cluster" -name '*.conf' | wc -l)" = 1000 ]
measure reg1000 dump_ip
table '3. `qeldump -I 10.0.0.1 panic 0` (svc): the address search (getSysName)'
row 'two registry files' reg2.dump_ip reg2.dump_ip
row '1,000 registry files' reg1000.dump_ip reg2.dump_ip
row 'by name, `qeldump panic c1 0`: no search' reg2.dump_name reg2.dump_ip
reset_sandbox
