# qeldump: dump retrieval through sudo as spcomm.
load helpers

USAGE='\n\nUSAGE: qeldump [-D] [-I <ip>] [-N <snum>] core|panic <clustername> node\n\n\tRetrieve, analyze, and transfer system or application\ncore files.  One, and only one, of the -I, -N, or \nclustername parameters MUST be entered\n\n\t-D\tDo NOT delete dumps afer processing\n\tcore\tretrieve any application cores\n\tpanic\tretrieve panic dumps\n\t-I <ip>\tIPaddress of cluster\n\t-N <snum>\tSerial Number of cluster\n\tclustername\tconfigured cluster (see clmaint display all)\n\tnode\tnode number or all\n'
TOO_FEW="$USAGE"'\nToo few parameters entered!!\n'
PANIC='/home/spcomm/bin/getpanicdump ruid=509 euid=509'
CORE='/home/spcomm/bin/getcoredump ruid=509 euid=509'

@test "command lines: -D, output file, dump type in any case, options anywhere" {
	runs svc qeldump PANIC c1 0 = "$PANIC" 'arg=<c1>' 'arg=<0>'
	runs svc qeldump -D core c1 all out.tar = "$CORE" 'arg=<-D>' 'arg=<c1>' 'arg=<all>' 'arg=<out.tar>'
	runs svc qeldump core c1 all '' = "$CORE" 'arg=<c1>' 'arg=<all>'
	runs svc qeldump Core c1 0 out.tar extra = "$CORE" 'arg=<c1>' 'arg=<0>' 'arg=<out.tar>'
	runs svc qeldump panic c1 0 -D = "$PANIC" 'arg=<-D>' 'arg=<c1>' 'arg=<0>'
	runs svc qeldump -- panic c1 0 = "$PANIC" 'arg=<c1>' 'arg=<0>'
	runs svc qeldump -I 10.0.0.1 panic 0 = "$PANIC" 'arg=<c1>' 'arg=<0>'
	runs svc qeldump -I 10.0.0.1 panic c1 0 = "$PANIC" 'arg=<c1>' 'arg=<c1>' 'arg=<0>'
	runs svc qeldump -N 7654321 core 2 = "$CORE" 'arg=<c2>' 'arg=<2>'
	CALL_ENV=(POSIXLY_CORRECT=1)
	runs svc qeldump panic c1 0 -D = "$PANIC" 'arg=<-D>' 'arg=<c1>' 'arg=<0>'
}

@test "who may retrieve dumps" {
	for who in root sp507 sp508 spcomm spupg oem svc opsadm; do
		runs "$who" qeldump panic c1 0 = "$PANIC" 'arg=<c1>' 'arg=<0>'
	done
	expect 120 '\nAuthorization failure\n' opsadm qeldump panic c2 0
	expect 120 '\nAuthorization failure\n' plain qeldump panic c1 0
	expect 120 '\nAuthorization failure\n' ann qeldump -I 10.0.0.1 panic 0
}

@test "the tool's status is the exit status" {
	set_tool_status 6
	expect 6 '' svc qeldump core c1 0
}

@test "failures, in the order of the gates" {
	expect 119 "$TOO_FEW" svc qeldump panic
	expect 119 "$TOO_FEW" plain qeldump
	expect 119 "$TOO_FEW" svc qeldump -D core
	expect 119 "$TOO_FEW" svc qeldump -D -I 10.0.0.1
	expect 119 "$TOO_FEW" svc qeldump core c1
	expect 9 "$USAGE"'\nInvalid invocation for parameter (I)\n' svc qeldump panic -I
	grep -q 'option requires an argument' "$SB/err"
	expect 9 "$USAGE"'\nInvalid parameter entered (x)\n' svc qeldump -x panic c1 0
	expect 1 'Unsuppored function requested (crash)\n' svc qeldump crash c1 0
	expect 1 'Unsuppored function requested (crash)\n' svc qeldump -I 10.0.0.1 -N 1 crash 0
	expect 9 "$USAGE"'\n-I and -N are mutually exclusive\nPlease specify only one of -I, -N, or clustername\n' \
		svc qeldump -I 10.0.0.1 -N 1234 panic 0
	expect 1 '\nqeldump: invalid cluster name given (c9)\n' plain qeldump panic c9 0
	expect 1 '\nqeldump: invalid cluster name given (-D)\n' svc qeldump panic -- -D 0
	expect 1 '\nqeldump: invalid cluster name given (c1:G=users)\n' plain qeldump panic c1:G=users 0
	expect 1 '\nqeldump: invalid cluster name given (../cluster/c1)\n' svc qeldump panic ../cluster/c1 0
	no_record
}

@test "operands arrive literally" {
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/c 1;\$(id).conf"
	runs svc qeldump -D panic 'c 1;$(id)' '0 1' '$(touch /tmp/pwn)' = "$PANIC" 'arg=<-D>' 'arg=<c 1;$(id)>' 'arg=<0 1>' 'arg=<$(touch /tmp/pwn)>'
	[ ! -e "$SB/tmp/pwn" ]
}

@test "limits: dump type 31, cluster 63 (also when found), command line 511" {
	local c63 node
	c63=$(printf 'c%.0s' {1..63})
	printf 'IPADDRESS=10.0.0.63\n' >"$SB/etc/sysconfig/sp/cluster/$c63.conf"
	printf 'IPADDRESS=10.0.0.64\n' >"$SB/etc/sysconfig/sp/cluster/${c63}x.conf"
	runs root qeldump panic "$c63" 0 = "$PANIC" "arg=<$c63>" 'arg=<0>'
	runs root qeldump -I 10.0.0.63 panic 0 = "$PANIC" "arg=<$c63>" 'arg=<0>'
	expect 1 "\nqeldump: invalid cluster name given (${c63}x)\n" root qeldump panic "${c63}x" 0
	expect 1 "\nqeldump: invalid cluster name given (${c63}x)\n" root qeldump -I 10.0.0.64 panic 0
	expect 1 "Unsuppored function requested ($(printf 'p%.0s' {1..31}))\n" svc qeldump "$(printf 'p%.0s' {1..31})" c1 0
	expect 119 '\nqeldump: parameter too long\n' svc qeldump "$(printf 'p%.0s' {1..32})" c1 0
	# "sudo -u spcomm /home/spcomm/bin/getpanicdump c1 " is 48 bytes
	node=$(printf 'n%.0s' {1..463})
	: >"$SB/rec/log"
	expect 0 '' svc qeldump panic c1 "$node"
	expect 119 '\nqeldump: parameter too long\n' svc qeldump panic c1 "${node}n"
	[ "$(grep -c '^/' "$SB/rec/log")" -eq 1 ]
}
