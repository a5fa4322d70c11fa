# Corvanex: the diagnostic archive, as root, under npTee unless -t.
load helpers

USAGE='\nUSAGE: Corvanex <clustername>\n\tCreate Corvanex data archive for a given cluster\n'
TEE='/sp/prod/code/csst/bin/npTee ruid=0 euid=0'
SCRIPT='/sp/prod/code/csst/bin/Corvanex.sh ruid=0 euid=0'
SCRIPT_ARG='arg=</sp/prod/code/csst/bin/Corvanex.sh>'

@test "command lines: tee, -L, -t, options anywhere, the operand after the cluster" {
	runs svc Corvanex c1 = "$TEE" 'arg=</sp/tmp/Corvane_log.c1>' "$SCRIPT_ARG" 'arg=<c1>'
	runs svc Corvanex -L c1 = "$TEE" 'arg=</sp/tmp/Corvane_log.c1>' "$SCRIPT_ARG" 'arg=<-L>' 'arg=<c1>'
	runs svc Corvanex c1 -L = "$TEE" 'arg=</sp/tmp/Corvane_log.c1>' "$SCRIPT_ARG" 'arg=<-L>' 'arg=<c1>'
	runs svc Corvanex -L -t c1 = "$SCRIPT" 'arg=<-L>' 'arg=<-t>' 'arg=<c1>'
	runs svc Corvanex -tL -- c1 = "$SCRIPT" 'arg=<-L>' 'arg=<-t>' 'arg=<c1>'
	runs svc Corvanex -t c1 extra more = "$SCRIPT" 'arg=<-t>' 'arg=<c1>' 'arg=<extra>'
	set_tool_status 5
	expect 5 '' svc Corvanex c1
}

@test "who may create the archive" {
	for who in root sp507 sp508 spcomm spupg oem svc opsadm; do
		runs "$who" Corvanex -t c1 = "$SCRIPT" 'arg=<-t>' 'arg=<c1>'
	done
	expect 120 '\nAuthorization failure (UID=704)\n' plain Corvanex c1
	expect 120 '\nAuthorization failure (UID=703)\n' opsadm Corvanex c2
}

@test "failures, in the order of the gates" {
	expect 119 "$USAGE" plain Corvanex
	expect 119 "$USAGE" svc Corvanex -L
	expect 119 '\nCorvanex: invalid option specified x\n' svc Corvanex -x c1
	grep -q 'invalid option' "$SB/err"
	expect 119 '\nCorvanex: invalid cluster name given: c9\n' plain Corvanex c9
	expect 119 '\nCorvanex: invalid cluster name given: c1:G=users\n' plain Corvanex c1:G=users
	expect 119 '\nCorvanex: invalid cluster name given: ../cluster/c1\n' svc Corvanex ../cluster/c1
	no_record
}

@test "operands arrive literally" {
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/c 1;\$(id).conf"
	local c='c 1;$(id)'
	runs svc Corvanex "$c" "it's *" = "$TEE" "arg=</sp/tmp/Corvane_log.$c>" "$SCRIPT_ARG" "arg=<$c>" "arg=<it's *>"
}

@test "limits: cluster 79, command line 511" {
	local c79 fifth
	c79=$(printf 'c%.0s' {1..79})
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/$c79.conf"
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/${c79}c.conf"
	runs root Corvanex -t "$c79" = "$SCRIPT" 'arg=<-t>' "arg=<$c79>"
	expect 119 "\nCorvanex: invalid cluster name given: ${c79}c\n" root Corvanex "${c79}c"
	# the line up to the fifth place is 92 bytes for c1 with the tee prefix
	fifth=$(printf 'f%.0s' {1..419})
	runs svc Corvanex c1 "$fifth" = "$TEE" 'arg=</sp/tmp/Corvane_log.c1>' "$SCRIPT_ARG" 'arg=<c1>' "arg=<$fifth>"
	expect 119 '\nCorvanex: parameter too long\n' svc Corvanex c1 "${fifth}f"
}
