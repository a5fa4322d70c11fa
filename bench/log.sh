#!/bin/bash
# bench/log.sh BUILD_DIR [RECORDS [ROUNDS]]: spauth log against journalctl on one journal of
# RECORDS records (default 1,000,000) that it makes and throws away: the runs of one user among
# 100 on the eight functions, as the front end writes them, and records of other programs.
# systemd-journal-remote starts a new file about every 150,000 records, so F is those files:
#   spauth log --file F... --user u7 --function qelcmd
#   journalctl --file F... SYSLOG_IDENTIFIER=qelcmd -o cat | grep 'u7 :'
# Prints the median of ROUNDS (default 5) interleaved runs of each, the ratio, and spauth's peak
# memory on that file and on one a tenth its size (it must not grow with the journal).
set -euo pipefail
spauth=$(realpath "$1")/admin/spauth
records=${2:-1000000} rounds=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/log-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# make_journal N DIR: N records in the export format, into DIR through systemd-journal-remote.
make_journal() {
	awk -v n="$1" 'BEGIN {
		split("qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup", f, " ")
		t = 1764576000000000
		for (i = 0; i < n; i++) {
			pid = 1000 + int(i / 2) % 30000; u = "u" (int(i / 2) % 100); fn = f[int(i / 2) % 8 + 1]
			if (i % 10 == 9) {
				tag = "sshd"; uid = 0; exe = "/usr/sbin/sshd"; msg = "Accepted publickey for " u
			} else if (i % 2 == 0) {
				tag = fn; uid = 0; exe = "/usr/bin/qeldump"
				msg = u " : TTY=/dev/pts/1 ; PWD=/home/" u " ; USER=root ; CLUSTER=c1 ; COMMAND=/home/spcomm/bin/callnode c1 0 ls " i
			} else {
				tag = fn; uid = 0; exe = "/usr/bin/qeldump"; msg = u " : STATUS=0 ; COMMAND=/home/spcomm/bin/callnode c1 0 ls " i - 1
			}
			printf "__REALTIME_TIMESTAMP=%d\n__MONOTONIC_TIMESTAMP=%d\n_BOOT_ID=0123456789abcdef0123456789abcdef\n", t + i * 1000, i + 1
			printf "_HOSTNAME=sp1\n_TRANSPORT=syslog\n_UID=%d\n_PID=%d\n_EXE=%s\nSYSLOG_IDENTIFIER=%s\nMESSAGE=%s\n\n", uid, pid, exe, tag, msg
		}
	}' | /lib/systemd/systemd-journal-remote --output="$2/j.journal" - 2>/dev/null
}
# files DIR: the journal's files as options.
files() { for f in "$1"/*.journal; do printf '%s\0%s\0' --file "$f"; done; }

# seconds CMD...: wall-clock seconds of CMD, output discarded.
seconds() {
	local t0=$EPOCHREALTIME
	"$@" >/dev/null
	awk -v a="$EPOCHREALTIME" -v b="$t0" 'BEGIN { print a - b }'
}
ours() { "$spauth" log "${big[@]}" --user u7 --function qelcmd; }
theirs() { journalctl "${big[@]}" SYSLOG_IDENTIFIER=qelcmd -o cat | grep 'u7 :'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# peak_kib DIR [journalctl]: the peak resident memory of spauth log (or of journalctl) on DIR's
# journal, in KiB: all of it (the journal's files are mapped, and every page read counts) and its
# own (anonymous: RssAnon, sampled every 5 ms).
peak_kib() {
	local f pid anon peak=0
	mapfile -d '' f < <(files "$1")
	if [ "${2-}" = journalctl ]; then
		/usr/bin/time -o "$work/time" -f %M journalctl "${f[@]}" SYSLOG_IDENTIFIER=qelcmd -o cat >/dev/null &
	else
		/usr/bin/time -o "$work/time" -f %M "$spauth" log "${f[@]}" --user u7 --function qelcmd >/dev/null &
	fi
	while sleep 0.005; do
		pid=$(pgrep -P $! | head -n 1) && anon=$(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) ||
			break
		((anon > peak)) && peak=$anon
	done
	wait $!
	echo "$(cat "$work/time") (own $peak)"
}

export LC_ALL=C
mkdir "$work/big" "$work/small"
make_journal "$records" "$work/big"
make_journal "$((records / 10))" "$work/small"
mapfile -d '' big < <(files "$work/big")
[ "$(ours | wc -l)" = "$(theirs | grep -c ' : TTY=')" ] ||
	{ echo "bench/log.sh: spauth log and journalctl disagree on the runs" >&2 && exit 1; }
for ((r = 0; r < rounds; r++)); do
	seconds ours >>"$work/ours"
	seconds theirs >>"$work/theirs"
done
a=$(median <"$work/ours") b=$(median <"$work/theirs")
printf 'spauth log, %d records (%d files, %s on disk), median of %d:\n' "$records" \
	"$((${#big[@]} / 2))" "$(du -sh "$work/big" | cut -f1)" "$rounds"
printf '| case | median s |\n|---|---:|\n| spauth log --user u7 --function qelcmd | %.3f |\n' "$a"
printf '| journalctl SYSLOG_IDENTIFIER=qelcmd -o cat \\| grep | %.3f |\n' "$b"
printf 'ratio: %.2fx journalctl\n' "$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')"
printf 'peak memory (KiB), %d records: spauth log %s, journalctl %s; %d records: spauth log %s, journalctl %s\n' \
	"$records" "$(peak_kib "$work/big")" "$(peak_kib "$work/big" journalctl)" \
	"$((records / 10))" "$(peak_kib "$work/small")" "$(peak_kib "$work/small" journalctl)"
