# The audit trail in the system log: runs, refusals, escaping.
load helpers

@test "a run is recorded before the tool starts and when it has ended" {
	set_tool_status 3
	call svc qelcage c1
	call spupg qeldrive c1
	expect_audit \
		'85 qelcage: svc : TTY=unknown ; PWD=/ ; USER=spcomm ; CLUSTER=c1 ; COMMAND=sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp c1' \
		'86 qelcage: svc : STATUS=3 ; COMMAND=sudo -u spcomm /sp/prod/code/csst/bin/DrvCageUp c1' \
		'85 qeldrive: spupg : TTY=unknown ; PWD=/ ; USER=stapp ; CLUSTER=c1 ; COMMAND=sudo -u stapp /sp/prod/code/csst/bin/Dcup c1' \
		'86 qeldrive: spupg : STATUS=3 ; COMMAND=sudo -u stapp /sp/prod/code/csst/bin/Dcup c1'
}

@test "refusals are recorded with their reason; usage errors are not" {
	local w='TTY=unknown ; PWD=/'
	: >"$SB/tmp/spmup.tar" && chmod 0666 "$SB/tmp/spmup.tar"
	call plain qelcage c1
	call 799 qelbios c1 5
	call spupg qelcmd c1 0 ls
	call svc qelmup now
	call plain qelcmd c1:G=users 0 id
	call svc qelcmd
	call svc Corvanex -x
	call svc qelbios
	expect_audit \
		"84 qelcage: plain : not authorized ; $w ; FUNCTION=qelcage ; ARGS=c1" \
		"84 qelbios: uid=799 : no passwd entry ; $w ; FUNCTION=qelbios ; ARGS=c1 5" \
		"84 qelcmd: spupg : command not allowed ; $w ; FUNCTION=qelcmd ; ARGS=c1 0 ls" \
		"84 qelmup: svc : marker file refused ; $w ; FUNCTION=qelmup ; ARGS=now" \
		"84 qelcmd: plain : invalid cluster operand ; $w ; FUNCTION=qelcmd ; ARGS=c1:G=users 0 id"
}

@test "caller text cannot forge a record" {
	call plain qelcmd c1 0 $'x\n<84>qelcmd[1]: root : forged' 'a\b'
	call svc qelcmd c1 0 $'\001' "it's"
	expect_audit \
		'84 qelcmd: plain : not authorized ; TTY=unknown ; PWD=/ ; FUNCTION=qelcmd ; ARGS=c1 0 x\012<84>qelcmd[1]: root : forged a\134b' \
		"85 qelcmd: svc : TTY=unknown ; PWD=/ ; USER=root ; CLUSTER=c1 ; COMMAND=/home/spcomm/bin/callnode -s c1 0 '\\001' 'it'\\134''s' " \
		"86 qelcmd: svc : STATUS=0 ; COMMAND=/home/spcomm/bin/callnode -s c1 0 '\\001' 'it'\\134''s' "
}
