# spauth, the inspection tool: its answers, and agreement with the front end.
load helpers

spauth() { as_root /usr/local/sbin/spauth "$@" >"$SB/out" 2>"$SB/err" || status=$?; }

@test "check, profile and nextuid" {
	status=0
	spauth check opsadm c1
	expect_out '%s\n' 'qeldump c1: permitted: C=c1 through its administrative group ops' \
		'qeldrive c1: permitted: C=c1 through its administrative group ops' \
		'Corvanex c1: permitted: C=c1 through its administrative group ops' \
		'qelcmd c1: permitted: C=c1 through its administrative group ops' \
		'qelcage c1: permitted: C=c1 through its administrative group ops' \
		'qelbios c1: permitted: C=c1 through its administrative group ops' \
		'qelrescue: refused' 'qelmup: refused: marker /tmp/spmup.tar fails now'
	spauth check spcomm
	grep -qx 'qeldump c2: permitted: U=509' "$SB/out"
	grep -qx 'qelrescue: permitted: U=509' "$SB/out"
	spauth check spupg c1
	grep -qx 'qelcmd c1: permitted: restricted to the five upgrade-check scripts' "$SB/out"
	spauth profile opsadm
	expect_out 'U=opsadm:I=703:C=c1:G=users\n'
	spauth nextuid
	expect_out '514\n'
	echo 'new:x:520:100::/:/bin/sh' >>"$SB/etc/passwd"
	spauth nextuid
	expect_out '521\n'
	[ "$status" -eq 0 ]
}

@test "unknown users and bad usage" {
	for args in "check nobody" "profile nobody" "check svc c9"; do
		status=0; spauth $args
		[ "$status" -eq 1 ] && [ ! -s "$SB/out" ] && [ -s "$SB/err" ]
	done
	expect_err 'spauth: cluster c9 is not registered\n'
	for args in "" "check" "frob x" "nextuid x" "check a b c"; do
		status=0; spauth $args
		[ "$status" -eq 2 ] && grep -q '^usage: spauth check' "$SB/err"
	done
}

@test "spauth and the front end agree for every caller, function and cluster" {
	local S3=/sp/prod/code/csst/bin/upgrade_scripts/upgrade_check/check_defrag/check_defrag.sh
	: >"$SB/tmp/spmup.tar"
	for who in root sp507 sp508 spcomm stapp spupg oem svc opsadm plain ann; do
		spauth check "$who" && cp "$SB/out" "$SB/verdicts"
		for c in c1 c2; do
			while read -r fn args; do
				call "$who" "$fn" ${args//@/$c}
				local ran=refused line
				[ "$status" -ne 120 ] && [ "$status" -ne 255 ] && ran=permitted
				line=$(grep -E "^$fn( $c)?: " "$SB/verdicts")
				[[ $line == *": $ran"* ]] || { echo "$who $fn $c: front end $ran, spauth: $line"; return 1; }
			done <<-EOF
			qeldump panic @ 0
			qeldrive @
			Corvanex -t @
			qelcmd @ 0 $S3
			qelcage @
			qelbios @ 5
			qelrescue -S @
			qelmup
			EOF
		done
	done
}
