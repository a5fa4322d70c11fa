#!/bin/bash
# tests/log/run.sh BUILD_DIR: the spauth log query table (tests/log/queries) against fixture
# journals made here from tests/log/fixture/journal.records with systemd-journal-remote (no
# daemon, no socket) and the syslog text of tests/log/fixture/auth.log, plain and gzip. Each
# --json line is checked against admin/log.schema.json. No daemon, no network, no root.
set -euo pipefail
cd "$(dirname "$0")/../.."
spauth=$(realpath "$1")/admin/spauth
remote=/lib/systemd/systemd-journal-remote
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C D=$work/journal J=$work/journal/main.journal C=$work/cursor C2=$work/cursor2 C3=$work/cursor3
export S=$work/auth.log GZ=$work/auth.log.1.gz
mkdir "$D" "$work/export"
python3 tests/log/export.py tests/log/fixture/journal.records "$work/export"
for f in main sp3; do "$remote" --output="$D/$f.journal" - <"$work/export/$f.export" 2>/dev/null; done
cp tests/log/fixture/auth.log "$S" && gzip -c "$S" >"$GZ"
# Row actions ("! NAME"): records arriving later.
later() { "$remote" --output="$J" - <"$work/export/later.export" 2>/dev/null; }

# The lines a query prints: stdout, "err: " stderr, "exit N" when not 0; --json lines checked
# against the schema, their cursors shown as "*".
query() {
	local rc=0 stop=''
	[[ $1 != *--follow* ]] || stop='timeout 1' # it keeps waiting: exit 124
	eval "$stop \"$spauth\" log $1" >"$work/out" 2>"$work/err" || rc=$?
	if [[ $1 == *--json* ]] && [ -s "$work/out" ]; then
		python3 -c 'import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
for line in open(sys.argv[2]):
    jsonschema.validate(json.loads(line), schema)' admin/log.schema.json "$work/out" ||
			echo "schema: a line does not validate"
		sed -i 's/"cursor":"[^"]*"/"cursor":"*"/' "$work/out"
	fi
	cat "$work/out"
	sed 's/^/err: /' "$work/err"
	[ "$rc" = 0 ] || echo "exit $rc"
}

# The table: "> ARGS" a query, the lines it must print below it; "! NAME" an action.
n=0 failed=0 args='' want=''
check() {
	[ -n "$args" ] || return 0
	n=$((n + 1))
	if got=$(query "$args") && [ "$got" == "$want" ]; then
		echo "ok $n - $args"
	else
		failed=$((failed + 1))
		echo "not ok $n - $args"
		diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") | sed 's/^/#   /' || true
	fi
	args='' want=''
}
while IFS= read -r line; do
	case $line in
	'> '*) check && args=${line#> } ;;
	'! '*) check && ${line#! } ;;
	'#'* | '') check ;;
	*) # {x*N}: N times x
		while [[ $line =~ \{x\*([0-9]+)\} ]]; do
			line=${line/"${BASH_REMATCH[0]}"/$(printf "%${BASH_REMATCH[1]}s" '' | tr ' ' x)}
		done
		want+=${want:+$'\n'}$line ;;
	esac
done <tests/log/queries
check
echo "$((n - failed)) of $n queries passed"
[ "$failed" = 0 ]
