# qeldrive, qelcage, qelbios, qelrescue, qelmup.
load helpers

AUTH='\nAuthorization failure\n'
DENIED='\nYou are not authorized to perform this function!!\n'
BIOS_USAGE='\nUSAGE: qelbios <clustername> <level> [node#]\n\tflash CBIOS on a cluster/node\n'
RESCUE_USAGE='\nqelrescue: usage: qelrescue cluster node reboot\n'
DCUP='/sp/prod/code/csst/bin/Dcup ruid=510 euid=510'
CAGE='/sp/prod/code/csst/bin/DrvCageUp ruid=509 euid=509'
FLASH='/home/spcomm/bin/flashCBIOS ruid=509 euid=509'
RESCUE_DATA='/sp/prod/code/csst/bin/getNodeRescueData ruid=509 euid=509'
RESCUE='/home/spcomm/bin/qelrescue.sh ruid=509 euid=509'
MUP='/home/spcomm/bin/MUP ruid=0 euid=0'

@test "command lines and accounts" {
	runs svc qeldrive c1 extra = "$DCUP" 'arg=<c1>'
	runs svc qelcage c1 = "$CAGE" 'arg=<c1>'
	runs svc qelbios c1 5 3 = "$FLASH" 'arg=<c1>' 'arg=<5>' 'arg=<3>'
	runs svc qelbios c1 5 = "$FLASH" 'arg=<c1>' 'arg=<5>'
	runs svc qelbios c1 5 3 x = "$FLASH" 'arg=<c1>' 'arg=<5>'
	runs svc qelrescue -S c1 = "$RESCUE_DATA" 'arg=<c1>'
	runs svc qelrescue c1 2 reboot = "$RESCUE" 'arg=<c1>' 'arg=<2>' 'arg=<reboot>'
	set_tool_status 7
	expect 7 '' svc qelcage c1
}

@test "who may use which" {
	# rows: caller, then y/n for qeldrive qelcage qelbios qelrescue on c1
	while read -r who drive cage bios rescue; do
		for f in "qeldrive $drive" "qelcage $cage" "qelbios $bios" "qelrescue $rescue"; do
			set -- $f
			local args=(c1) want=0 out=''
			[ "$1" = qelbios ] && args=(c1 5)
			[ "$1" = qelrescue ] && args=(-S c1)
			if [ "$2" = n ]; then
				want=120 out=$AUTH
				[ "$1" = qelbios ] && out=$DENIED
			fi
			expect "$want" "$out" "$who" "$1" "${args[@]}" || { echo "$who $1"; return 1; }
		done
	done <<-'EOF'
	root   y y y y
	sp507  n n n n
	sp508  n n y n
	spcomm y y y y
	spupg  y y n n
	oem    y y y y
	svc    y y y y
	opsadm y y y n
	plain  n n n n
	ann    n n n n
	EOF
	expect 120 "$AUTH" opsadm qelcage c2
}

@test "failures, in the order of the gates" {
	expect 119 '\nUSAGE: qeldrive <clustername>\n' plain qeldrive
	expect 119 '\nUSAGE: qelcage <clustername>\n' plain qelcage
	expect 120 "$AUTH" plain qeldrive c9
	expect 119 '\nqeldrive: invalid cluster name given (c9)\n' svc qeldrive c9
	expect 120 "$AUTH" plain qelcage c9
	expect 119 '\nqelcage: invalid cluster name given (c9)\n' svc qelcage c9
	expect 119 "$BIOS_USAGE" plain qelbios c1
	expect 120 "$DENIED" plain qelbios c9 5
	expect 119 '\nqelbios: invalid cluster name given: c9\n' svc qelbios c9 5
	expect 120 "$AUTH" plain qelrescue
	expect 120 "$AUTH" plain qelrescue -S c9
	expect 119 "$RESCUE_USAGE" svc qelrescue
	expect 119 "$RESCUE_USAGE" svc qelrescue a b c d
	expect 119 '\nqelrescue: invalid invocation!\n' svc qelrescue -s c1
	expect 119 '\nqelrescue: invalid cluster name given (-S)\n' svc qelrescue -S c1 1
	expect 119 '\nqelrescue: invalid cluster name given (c9)\n' svc qelrescue -S c9
	expect 119 '\nqelrescue: invalid cluster name given (../cluster/c1)\n' svc qelrescue ../cluster/c1 1 r
	for f in qeldrive qelcage; do
		expect 119 "\n$f: invalid cluster name given (c1:G=users)\n" plain "$f" c1:G=users
	done
	expect 119 '\nqelbios: invalid cluster name given: c1:G=users\n' plain qelbios c1:G=users 5
	no_record
}

@test "operands arrive literally" {
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/c 1;\$(id).conf"
	local c='c 1;$(id)'
	runs svc qeldrive "$c" = "$DCUP" "arg=<$c>"
	runs svc qelcage "$c" = "$CAGE" "arg=<$c>"
	runs svc qelbios "$c" '5|x' '`id`' = "$FLASH" "arg=<$c>" 'arg=<5|x>' 'arg=<`id`>'
	runs svc qelrescue -S "$c" = "$RESCUE_DATA" "arg=<$c>"
	runs svc qelrescue "$c" "0 1" "it's" = "$RESCUE" "arg=<$c>" 'arg=<0 1>' "arg=<it's>"
}

@test "limits: clusters 224 (91 for qelbios), qelbios line 127, qelrescue line 511" {
	local c224 c91 level node
	c224=$(printf 'c%.0s' {1..224}) c91=$(printf 'c%.0s' {1..91})
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/$c224.conf"
	cp "$SB/etc/sysconfig/sp/cluster/c1.conf" "$SB/etc/sysconfig/sp/cluster/$c91.conf"
	runs root qelcage "$c224" = "$CAGE" "arg=<$c224>"
	expect 119 "\nqelcage: invalid cluster name given (${c224}c)\n" plain qelcage "${c224}c"
	expect 119 "\nqeldrive: invalid cluster name given (${c224}c)\n" plain qeldrive "${c224}c"
	expect 119 "\nqelbios: invalid cluster name given: ${c91}c\n" plain qelbios "${c91}c" 5
	# "sudo -u spcomm /home/spcomm/bin/flashCBIOS c1 " is 46 bytes
	level=$(printf 'l%.0s' {1..81})
	runs svc qelbios c1 "$level" = "$FLASH" 'arg=<c1>' "arg=<$level>"
	expect 119 '\nqelbios: parameter too long\n' svc qelbios c1 "${level}l"
	expect 119 '\nqelbios: parameter too long\n' svc qelbios c1 "$level" 1
	# "sudo -u spcomm /home/spcomm/bin/qelrescue.sh c1 " is 48 bytes, " reboot" 7
	node=$(printf 'n%.0s' {1..456})
	runs svc qelrescue c1 "$node" reboot = "$RESCUE" 'arg=<c1>' "arg=<$node>" 'arg=<reboot>'
	expect 119 '\nqelrescue: parameter too long\n' svc qelrescue c1 "${node}n" reboot
}

@test "qelmup: only a marker that root or spcomm owns and nobody else may write" {
	local m="$SB/tmp/spmup.tar"
	expect 255 '' svc qelmup
	while read -r owner mode want; do   # owner: a uid of the fixture (509 spcomm)
		rm -rf "$m" && : >"$m" && chown "$owner" "$m" && chmod "$mode" "$m"
		: >"$SB/rec/log"
		if [ "$want" = y ]; then
			runs plain qelmup a b = "$MUP"
		else
			expect 255 '' plain qelmup && no_record
		fi || { echo "owner $owner mode $mode"; return 1; }
	done <<-'EOF'
	0   0644 y
	0   0600 y
	509 0644 y
	0   0664 n
	0   0646 n
	704 0644 n
	510 0600 n
	EOF
	rm "$m"
	: >"$SB/tmp/real" && ln -s /tmp/real "$m"
	expect 255 '' svc qelmup
	rm "$m" && mkdir "$m"
	expect 255 '' svc qelmup
	no_record
	expect 120 '' 799 qelmup
}
