# qelcmd: gates, the uid-512 restriction, and operands that reach callnode literally.
load helpers

DENIED='\nYou are not authorized to perform this function!!\n'
USAGE='\nUSAGE: qelcmd <clustername> <node>|all <command>\n\texecute command on a cluster/node\n'
CALLNODE='/home/spcomm/bin/callnode ruid=0 euid=0'
S3=/sp/prod/code/csst/bin/upgrade_scripts/upgrade_check/check_defrag/check_defrag.sh

@test "gates: authority first, then the operand count, then the cluster" {
	expect 120 "$DENIED" plain qelcmd
	expect 119 "$USAGE" svc qelcmd
	expect 119 "$USAGE" svc qelcmd c1 0
	expect 120 "$DENIED" plain qelcmd c9 0 ls
	expect 119 '\nqelcmd: invalid cluster name given: c9\n' svc qelcmd c9 0 ls
	expect 119 '\nqelcmd: invalid cluster name given: C1\n' svc qelcmd C1 0 ls
	expect 120 "$DENIED" ann qelcmd c1 0 ls      # qelsvc lists joanne, not ann
	expect 120 "$DENIED" opsadm qelcmd c2 0 ls   # ops administers c1 only
	no_record
}

@test "who may run a command" {
	for who in root sp507 sp508 spcomm oem svc opsadm; do
		: >"$SB/rec/log"
		expect 0 '' "$who" qelcmd c1 all -t uptime
		expect_record "$CALLNODE" 'arg=<-t>' 'arg=<c1>' 'arg=<all>' 'arg=<uptime>'
	done
}

@test "-t only when it is exactly operand 3" {
	for w in -T -tx; do
		: >"$SB/rec/log"
		expect 0 '' svc qelcmd c1 0 "$w" ls
		expect_record "$CALLNODE" 'arg=<-s>' 'arg=<c1>' 'arg=<0>' "arg=<$w>" 'arg=<ls>'
	done
}

@test "uid 512 is held to the five upgrade-check scripts" {
	expect 0 '' spupg qelcmd c1 0 "$S3"
	expect 0 '' spupg qelcmd c1 0 -t
	expect_record "$CALLNODE" 'arg=<-s>' 'arg=<c1>' 'arg=<0>' "arg=<$S3>" \
		"$CALLNODE" 'arg=<-t>' 'arg=<c1>' 'arg=<0>'
	: >"$SB/rec/log"
	expect 120 "$DENIED" spupg qelcmd c1 0 "$S3" extra
	expect 120 "$DENIED" spupg qelcmd c1 0 "$S3 ;id"
	expect 120 "$DENIED" spupg qelcmd c1 0 ls
	expect 120 "$DENIED" spupg qelcmd c1 0 "${S3%.sh}"
	expect 119 '\nqelcmd: invalid cluster name given: c9\n' spupg qelcmd c9 0 "$S3"
	no_record
}

@test "blanks and metacharacters reach callnode literally, split only at blanks" {
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/c 1;\$(id).conf"
	expect 0 '' svc qelcmd 'c 1;$(id)' '0;touch /tmp/pwn' "a	b" '$(touch /tmp/pwn)' "it's" '`id`|&>*' ''
	expect_record "$CALLNODE" 'arg=<-s>' 'arg=<c 1;$(id)>' 'arg=<0;touch /tmp/pwn>' 'arg=<a>' 'arg=<b>' \
		'arg=<$(touch>' 'arg=</tmp/pwn)>' "arg=<it's>" 'arg=<`id`|&>*>'
	[ ! -e "$SB/tmp/pwn" ]
}

@test "cluster operands with / or : are refused before the rule" {
	# c1:G=users would add a term that plain (primary group users) satisfies
	for c in c1:G=users ../cluster/c1 /etc/passwd "$(printf 'a%.0s' {1..225})"; do
		expect 119 "\nqelcmd: invalid cluster name given: $c\n" plain qelcmd "$c" 0 ls
	done
	no_record
}

@test "a command line over 1022 bytes is refused, not cut" {
	# "/home/spcomm/bin/callnode -s c1 0 " is 34 bytes, the word and its blank the rest
	local word; word=$(printf 'x%.0s' {1..987})
	expect 0 '' svc qelcmd c1 0 "$word"
	expect 119 '\nqelcmd: command too long\n' svc qelcmd c1 0 "${word}x"
	expect 119 '\nqelcmd: command too long\n' svc qelcmd c1 0 "$word" ';reboot'
	[ "$(grep -c '^/' "$SB/rec/log")" -eq 1 ]
}
