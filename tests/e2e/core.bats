# Entry, dispatch, process hygiene and the shell runner.
load helpers

@test "dispatch by symbolic link, hard link and a link in another directory" {
	mkdir -p "$SB/usr/local/bin" "$SB/tmp/links"
	ln "$SB/usr/local/sbin/qeldump" "$SB/usr/local/bin/qelcmd"
	ln -s /usr/local/sbin/qeldump "$SB/tmp/links/qelcmd"
	for path in qelcmd /usr/local/bin/qelcmd /tmp/links/qelcmd; do
		: >"$SB/rec/log"
		expect 0 '' svc "$path" c1 0 uptime
		expect_record '/home/spcomm/bin/callnode ruid=0 euid=0' 'arg=<-s>' 'arg=<c1>' 'arg=<0>' 'arg=<uptime>'
	done
	call svc /usr/local/sbin/qeldump core
	[ "$status" -eq 119 ] && grep -q 'Too few parameters entered!!' "$SB/out"
}

@test "an unknown name, in any case, is not found" {
	ln -s qeldump "$SB/usr/local/sbin/QelCmd"
	ln -s qeldump "$SB/usr/local/sbin/sh"
	expect 115 'QelCmd: command not found\n' svc QelCmd c1 0 ls
	expect 115 'sh: command not found\n' root sh -c id
	no_record
}

@test "a caller without a passwd line gets 120 and nothing on stdout, whatever the name" {
	ln -s qeldump "$SB/usr/local/sbin/nosuch"
	for name in qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup nosuch; do
		expect 120 '' 799 "$name" c1 0 ls
	done
	: >"$SB/tmp/spmup.tar"
	expect 120 '' 799 qelmup
	no_record
}

@test "the tool's exit status is the exit status" {
	for st in 0 3 255 KILL; do
		reset_sandbox
		set_tool_status "$st"
		call svc qelcmd c1 0 ls
		[ "$status" -eq "$([ "$st" = KILL ] && echo 137 || echo "$st")" ]
	done
}

@test "a failing setuid(0) is reported and the run goes on as the caller; a runner failure is 255" {
	CALL_WRAP=(/usr/bin/setpriv --no-new-privs /usr/bin/prlimit --nproc=1)
	# LeakSanitizer cannot start its checker under nproc=1 (sanitized builds only)
	CALL_ENV=("ASAN_OPTIONS=${SAN_OPTIONS:+$SAN_OPTIONS:}detect_leaks=0")
	expect 255 '' svc qelcmd c1 0 ls
	expect_err 'qelcmd: cannot become root: Operation not permitted\n'
	no_record
}

@test "a hostile caller environment never reaches root shells or tools" {
	mkdir -p "$SB/tmp/evil"
	for t in sudo grep sh id; do
		printf '#!/bin/sh\necho EVIL >>/rec/log\n' >"$SB/tmp/evil/$t" && chmod 755 "$SB/tmp/evil/$t"
	done
	echo 'echo EVIL >>/rec/log' >"$SB/tmp/evil/env"
	CALL_SIG=(--ignore-signal=CHLD --block-signal=TERM)
	CALL_ENV=(PATH=/tmp/evil:/usr/bin:/bin IFS=/ ENV=/tmp/evil/env BASH_ENV=/tmp/evil/env
		SHELLOPTS=xtrace CDPATH=/tmp LD_PRELOAD=/tmp/evil/x.so LD_LIBRARY_PATH=/tmp/evil
		PYTHONPATH=/tmp/evil PERL5LIB=/tmp/evil POSIXLY_CORRECT=1 HOME=/tmp/evil
		TERM=xterm LANG=C.UTF-8 LC_ALL=C LC_CTYPE=/tmp/evil LANGUAGE=%n COLUMNS=80
		TZ=Europe/Paris LINES=24 SUDO_ASKPASS=/tmp/evil/sudo)
	expect 0 '' svc qelcmd c1 0 ls
	expect_record '/home/spcomm/bin/callnode ruid=0 euid=0' 'arg=<-s>' 'arg=<c1>' 'arg=<0>' 'arg=<ls>'
	diff -u <(tool_env) - <<-'EOF'
	COLUMNS=80
	HOME=/root
	LANG=C.UTF-8
	LC_ALL=C
	LINES=24
	LOGNAME=svc
	PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
	PWD=/
	SHELL=/bin/sh
	TERM=xterm
	TZ=Europe/Paris
	USER=svc
	EOF
	# sudo and grep through the caller's PATH would have been the fakes
	expect 0 '' svc qelcage c1
	expect 0 '' svc qeldump -I 10.0.0.1 core 0
	! grep -q EVIL "$SB/rec/log"
	[ "$(grep -c '^/' "$SB/rec/log")" -eq 3 ]
	for tz in /etc/x ../x :/etc/x a/../b; do
		reset_sandbox
		CALL_ENV=("TZ=$tz")
		call svc qelcmd c1 0 ls
		! tool_env | grep -q '^TZ='
	done
}
