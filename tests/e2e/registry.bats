# The cluster registry: whole-line searches by address and serial number, through qeldump -I / -N.
load helpers

REG=etc/sysconfig/sp/cluster
PANIC='/home/spcomm/bin/getpanicdump ruid=509 euid=509'

# found OPTION VALUE CLUSTER: the search finds CLUSTER and the tool gets it; no scratch file stays.
found() {
	: >"$SB/rec/log"
	expect 0 '' svc qeldump "$1" "$2" panic 0
	expect_record "$PANIC" "arg=<$3>" 'arg=<0>'
	[ -z "$(ls -A "$SB/tmp")" ]
}

# missing OPTION VALUE MESSAGE: the search fails with MESSAGE and status 9; no scratch file stays.
missing() {
	expect 9 "$3" svc qeldump "$1" "$2" panic 0
	[ -z "$(ls -A "$SB/tmp")" ]
}

@test "whole-line matches, first in name order" {
	echo IPADDRESS=10.0.0.15 >"$SB/$REG/a.conf"
	found -I 10.0.0.1 c1
	found -I 10.0.0.15 a
	found -N 7654321 c2
	printf 'IPADDRESS=10.0.0.1\n' >"$SB/$REG/b0.conf"
	found -I 10.0.0.1 b0
	printf 'IPADDRESS=10.0.0.1\n' >"$SB/$REG/b.old.conf"
	found -I 10.0.0.1 b.old
}

@test "no substring, no pattern, no comment matches" {
	rm "$SB/$REG"/*.conf
	printf '#IPADDRESS=10.0.0.1\nIPADDRESS=10x0y0z1\nIPADDRESS=10.0.0.10\n IPADDRESS=10.0.0.1\nSERIALNO=12345678\n' >"$SB/$REG/x.conf"
	missing -I 10.0.0.1 '\ngetSysName: Cannot locate matching cluster for 10.0.0.1\n'
	missing -I '10.0.0.*' '\ngetSysName: Cannot locate matching cluster for 10.0.0.*\n'
	missing -N 1234567 'getSysName: Cannot locate matching cluster for 1234567\n'
	no_record
}

@test "failure messages: nothing to do, empty registry, over-long values cut to 15 and 7" {
	missing -I '' '\ngetSysName: nothing to do - ipaddr and serial parms both null\n'
	missing -N '' '\ngetSysName: nothing to do - ipaddr and serial parms both null\n'
	missing -I 10.0.0.1XXXXXXXX '\ngetSysName: Cannot locate matching cluster for 10.0.0.1XXXXXXX\n'
	found -N 123456789 c1
	: >"$SB/rec/log"
	rm "$SB/$REG"/*.conf
	missing -I 10.0.0.1 '\ngetSysName: Cannot locate matching cluster for 10.0.0.1\n'
	missing -N 1234567 'getSysName: Cannot locate matching cluster for 1234567\n'
	no_record
}

@test "a scratch file that cannot be made is reported" {
	mount --bind "$SB/tmp" "$SB/tmp" && mount -o remount,bind,ro "$SB/tmp"
	call svc qeldump -I 10.0.0.1 panic 0
	umount "$SB/tmp"
	expect_out '\ngetSysName: mkstemp: Read-only file system\n'
	[ "$status" -eq 9 ]
}

@test "a name the search finds is still checked" {
	echo IPADDRESS=10.0.0.7 >"$SB/$REG/x:G=users.conf"
	expect 1 '\nqeldump: invalid cluster name given (x:G=users)\n' plain qeldump -I 10.0.0.7 panic 0
	no_record
}
