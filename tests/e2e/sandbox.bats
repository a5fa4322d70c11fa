# The sandbox itself, without the product: ids, sudo to a service account, stand-in records and exit codes.
load helpers

@test "setpriv in the chroot gives the caller's ids" {
	run /usr/sbin/chroot "$SB" /usr/bin/setpriv --reuid=702 --regid=901 --clear-groups /usr/bin/id
	[ "$status" -eq 0 ]
	[ "$output" = "uid=702(svc) gid=901(qelsvc) groups=901(qelsvc)" ]
}

@test "root can sudo to spcomm without a prompt; arguments arrive literally" {
	as_root sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp 'a b' '$(x)' '' '*'
	expect_record '/sp/prod/code/csst/bin/DrvCageUp ruid=509 euid=509' \
		'arg=<a b>' 'arg=<$(x)>' 'arg=<>' 'arg=<*>'
	tool_env | grep -qx 'USER=spcomm'
}

@test "a caller other than root cannot use sudo, and it does not hang" {
	run /usr/bin/timeout 10 /usr/sbin/chroot "$SB" /usr/bin/setpriv --reuid=704 --regid=100 --clear-groups \
		/usr/bin/sudo -u spcomm /home/spcomm/bin/MUP </dev/null
	[ "$status" -ne 0 ] && [ "$status" -ne 124 ]
	no_record
}

@test "the stand-in exits with the status it is given" {
	for st in 0 3 KILL; do
		reset_sandbox
		[ "$st" = 0 ] || set_tool_status "$st"
		run as_root /home/spcomm/bin/MUP x
		[ "$status" -eq "$( [ "$st" = KILL ] && echo 137 || echo "$st")" ]
		expect_record '/home/spcomm/bin/MUP ruid=0 euid=0' 'arg=<x>'
	done
}
