# spauth verify: the sandbox as built, then faults planted one at a time.
load helpers

verify() { status=0; as_root /usr/local/sbin/spauth verify "$@" >"$SB/out" 2>"$SB/err" || status=$?; }
# keys: "PLACE: WHAT" of each finding of the last run, sorted; information lines left out.
keys() { grep -v '^spauth verify: info: ' "$SB/out" | sed 's/; .*//' | sort || true; }
# The link protections are the host's and cannot be planted here; a clean run reports what they are.
host_keys() {
	local n v
	for n in hardlinks symlinks; do
		v=$(cat /proc/sys/fs/protected_$n)
		[ "$v" = 1 ] || echo "spauth verify: fs.protected_$n: is $v, not 1"
	done
}

@test "the sandbox as built, and the marker as information" {
	local want=0 marker='spauth verify: info: /tmp/spmup.tar: the MUP marker'
	[ -z "$(host_keys)" ] || want=1
	verify
	[ "$(keys)" = "$(host_keys)" ] && [ "$status" -eq "$want" ] && [ ! -s "$SB/err" ] || { cat "$SB/out"; return 1; }
	grep -qxF "$marker is absent, so qelmup refuses every caller" "$SB/out" || return 1
	: >"$SB/tmp/spmup.tar"
	verify
	grep -qxF "$marker passes now, so qelmup runs MUP as root for any caller" "$SB/out" || return 1
	chmod 0666 "$SB/tmp/spmup.tar"
	verify
	grep -qxF "$marker fails its check now, so qelmup refuses every caller" "$SB/out" && [ "$status" -eq "$want" ]
}

@test "each planted fault gives its finding and status 1, and nothing else" {
	local S=$SB/usr/local/sbin B=$SB/home/spcomm/bin P=$SB/sp/prod/code/csst/bin C=$SB/etc/sysconfig/sp/cluster
	local R=/etc/sysconfig/sp/cluster base base_status plant undo want new
	verify; base=$(keys) base_status=$status
	# plant | undo | the one new finding ("-": none)
	while IFS='|' read -r plant undo want; do
		eval "$plant" || { echo "cannot plant: $plant"; return 1; }
		verify
		new=$(comm -13 <(echo "$base") <(keys) | sort -u)
		if [ "$want" = - ]; then
			[ -z "$new" ] && [ "$status" -eq "$base_status" ]
		else
			[ "$new" = "spauth verify: $want" ] && [ "$status" -eq 1 ]
		fi || { echo "planted: $plant"; echo "want: $want"; echo "got ($status):"; cat "$SB/out" "$SB/err"; return 1; }
		eval "$undo" || { echo "cannot undo: $undo"; return 1; }
	done <<-'EOF'
	rm $S/qelcmd && cp $S/qeldump $S/qelcmd|rm $S/qelcmd && ln -s qeldump $S/qelcmd|/usr/local/sbin/qelcmd: is not the front end /usr/local/sbin/qeldump
	rm $S/qelmup|ln -s qeldump $S/qelmup|/usr/local/sbin/qelmup: is missing
	chmod g+w $S/qeldump|chmod 4755 $S/qeldump|/usr/local/sbin/qeldump: has mode 4775, not 4755
	chmod u-s $S/qeldump|chmod 4755 $S/qeldump|/usr/local/sbin/qeldump: has mode 0755, not 4755
	mount -o remount,nosuid $SB/usr/local|mount -o remount,suid $SB/usr/local|/usr/local/sbin/qeldump: is on a file system mounted nosuid
	chmod g+w $B|chmod g-w $B|/home/spcomm/bin: is writable by group or others
	chown 509 $B/callnode|chown 0 $B/callnode|/home/spcomm/bin/callnode: is not owned by root
	chown 510 $P/Dcup|chown 0 $P/Dcup|-
	chown 509 $P/Dcup|chown 0 $P/Dcup|/sp/prod/code/csst/bin/Dcup: is not owned by root
	mv $P/npTee $SB/npTee|mv $SB/npTee $P/npTee|/sp/prod/code/csst/bin/npTee: is missing
	chmod 0700 $B/getpanicdump|chmod 0755 $B/getpanicdump|/home/spcomm/bin/getpanicdump: is not executable by spcomm
	chmod 0700 $B/getpanicdump && chown 509 $B/getpanicdump|chmod 0755 $B/getpanicdump && chown 0 $B/getpanicdump|-
	mv $B/MUP $B/MUP.real && ln -s MUP.real $B/MUP|rm $B/MUP && mv $B/MUP.real $B/MUP|/home/spcomm/bin/MUP: is not a regular file
	sed -i /^stapp:/d $SB/etc/passwd|cp $E2E/fixture/etc/passwd $SB/etc/|/etc/passwd: has no account stapp
	sed -i /^qelsvc:/d $SB/etc/group|cp $E2E/fixture/etc/group $SB/etc/|/etc/group: has no group qelsvc
	chmod g+w $SB/etc/group|chmod g-w $SB/etc/group|/etc/group: is writable by group or others
	chown 509 $SB/etc/passwd|chown 0 $SB/etc/passwd|/etc/passwd: is not owned by root
	sed -i 's/(ALL:ALL)/(spcomm)/' $SB/etc/sudoers|sed -i 's/(spcomm)/(ALL:ALL)/' $SB/etc/sudoers|/usr/bin/sudo: does not let root run commands as stapp without a password
	chmod g+w $S|chmod g-w $S|/usr/local/sbin: is writable by group or others
	chmod 1777 $C|chmod 0755 $C|/etc/sysconfig/sp/cluster: is writable by group or others
	chmod g+w $C/c1.conf|chmod g-w $C/c1.conf|/etc/sysconfig/sp/cluster/c1.conf: is writable by group or others
	mkdir $C/c3.conf|rmdir $C/c3.conf|/etc/sysconfig/sp/cluster/c3.conf: is not a regular file
	echo ADMINGROUP=ghost >$C/c3.conf|rm $C/c3.conf|/etc/sysconfig/sp/cluster/c3.conf: names ADMINGROUP ghost, which /etc/group does not have
	printf 'ADMINGROUP=ops\nADMINGROUP=ghost\n' >$C/c3.conf|rm $C/c3.conf|-
	echo IPADDRESS=10.0.0.1 >$C/c3.conf|rm $C/c3.conf|/etc/sysconfig/sp/cluster/c3.conf: shares IPADDRESS=10.0.0.1 with /etc/sysconfig/sp/cluster/c1.conf
	echo SERIALNO=7654321 >$C/c0.conf|rm $C/c0.conf|/etc/sysconfig/sp/cluster/c2.conf: shares SERIALNO=7654321 with /etc/sysconfig/sp/cluster/c0.conf
	chmod 0777 $SB/tmp|chmod 1777 $SB/tmp|/tmp: has no sticky bit
	mkdir -m 0775 $SB/sp/tmp|rmdir $SB/sp/tmp|/sp/tmp: is writable by group or others
	mkdir -m 0755 $SB/sp/tmp|rmdir $SB/sp/tmp|-
	EOF
	verify
	[ "$(keys)" = "$base" ] && [ "$status" -eq "$base_status" ] || { echo "not undone:"; cat "$SB/out"; return 1; }
}

@test "one line per finding, whatever a registry file is named, with its fix quoted for the shell" {
	printf 'SERIALNO=1234567\n' >"$SB/etc/sysconfig/sp/cluster/d"$'\n'"'x.conf"
	verify
	local R=/etc/sysconfig/sp/cluster
	grep -qxF "spauth verify: $R/d?'x.conf: shares SERIALNO=1234567 with $R/c1.conf; the search by address or serial number takes the first file in name order, so it never finds this cluster; fix: give each cluster its own value in '$R/d?'\\''x.conf'" "$SB/out" && [ "$status" -eq 1 ]
}

@test "bad usage and callers other than root: status 2" {
	verify extra
	[ "$status" -eq 2 ] && [ ! -s "$SB/out" ] && grep -qx '       spauth verify' "$SB/err" || return 1
	call plain /usr/local/sbin/spauth verify
	[ "$status" -eq 2 ] && [ ! -s "$SB/out" ] && expect_err 'spauth verify: must be run as root\n'
}
