#!/bin/bash
# run.sh ROOT_TARBALL DEBS_DIR: the role of ansible/ on one throw-away Debian 12 root unpacked from
# ROOT_TARBALL (plus python3, python3-apt and sudo, and stand-ins for the storage tools), through
# community.general.chroot, with the example inventory's variables and DEBS_DIR's qeldump .deb:
# the syntax check; a real run passes the gate; a second run changes nothing; a --check run that
# would change things changes no file; a world-writable registry file fails the gate with its
# finding's id, and spauth verify --root agrees with spauth verify run inside; a registry variable
# with a bad line is refused by validate: and the old file stays. Results come from the json
# callback, not from text. Runs in a mount namespace of its own.
set -euo pipefail
[ -n "${ROLE_NS:-}" ] || ROLE_NS=1 exec unshare --mount --propagation private "$0" "$@"
repo=$(cd "$(dirname "$0")/../.." && pwd) tmp=$(mktemp -d) start=$SECONDS
root=$tmp/root host=sp01.example.com
# /proc first: rm would otherwise walk into it.
trap 'umount -R -l "$root/proc" 2>/dev/null || :; rm -rf "$tmp"' EXIT
fail() { echo "role test: $*" >&2 && exit 1; }
quiet() { "$@" >"$tmp/log" 2>&1 || { tail -n 40 "$tmp/log" >&2 && fail "failed: $*"; }; }
mkdir "$root" && tar -C "$root" -xzf "$1"
cp /etc/resolv.conf "$root/etc/"
quiet chroot "$root" sh -c 'apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y \
	--no-install-recommends python3 python3-apt sudo'
while read -r t; do install -D -m 0755 "$repo/tests/e2e/standin" "$root$t"; done <"$repo/tests/e2e/fixture/tools"
# The kernel's link protections are the host's: the root reads them as on.
mount -t proc proc "$root/proc" && for n in hardlinks symlinks; do
	echo 1 >"$tmp/$n" && mount --bind "$tmp/$n" "$root/proc/sys/fs/protected_$n"
done
cp -r "$repo/ansible/inventory" "$tmp/inv"
printf '[service_processors]\n%s ansible_connection=community.general.chroot ansible_host=%s %s\n' \
	"$host" "$root" ansible_python_interpreter=/usr/bin/python3 >"$tmp/inv/hosts"
debs=("$(cd "$2" && pwd)"/qeldump_*.deb) && printf '{"qeldump_debs": ["%s"]}\n' "${debs[@]}" >"$tmp/debs.json"
echo "the root: $((SECONDS - start)) s"

# play NAME [ARGS...]: the example playbook; its JSON report in $tmp/NAME.json, its status in $rc.
play() {
	rc=0 && ANSIBLE_STDOUT_CALLBACK=ansible.posix.json ansible-playbook -i "$tmp/inv/hosts" \
		-e "@$tmp/debs.json" "${@:2}" "$repo/ansible/playbook.yml" >"$tmp/$1.json" 2>"$tmp/$1.err" || rc=$?
}
# stat NAME KEY: a number of the run's stats for the host (changed, failures, ...).
stat() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["stats"][sys.argv[2]][sys.argv[3]])' \
	"$tmp/$1.json" "$host" "$2"; }
# failed NAME: "TASK: message" of each task that failed.
failed() { python3 -c 'import json, sys
for t in (t for p in json.load(open(sys.argv[1]))["plays"] for t in p["tasks"]):
    r = t["hosts"].get(sys.argv[2], {})
    if r.get("failed"): print(t["task"]["name"] + ": " + json.dumps([r.get("msg")] + [i.get("msg") for i in
        r.get("results", []) if i.get("failed")]))' \
	"$tmp/$1.json" "$host"; }
# listing: every file of the root with its mode, owner, size and time; a hash of each under etc.
listing() { (cd "$root" && find . -xdev \( -path ./root/.ansible -o -path ./tmp -o -path ./dev \) -prune -o \
	-printf '%p %M %U %G %s %T@ %l\n' | sort && find etc -xdev -type f -exec sha256sum {} + | sort); }

quiet ansible-playbook --syntax-check -i "$tmp/inv/hosts" "$repo/ansible/playbook.yml"
play first
((rc == 0)) && [ "$(stat first failures)" = 0 ] || fail "the first run failed: $(failed first) $(tail -n 5 "$tmp/first.err")"
echo "a real run passes the gate, $(stat first changed) changed ($((SECONDS - start)) s)"
# The local fact it installed reports the verify document, as the schema has it.
chroot "$root" /etc/ansible/facts.d/qeldump.fact >"$tmp/fact.json" && python3 -c 'import json, jsonschema, sys
jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' "$tmp/fact.json" \
	"$repo/admin/spauth-verify.schema.json" || fail "the local fact is not the verify document"
play second
((rc == 0)) && [ "$(stat second changed)" = 0 ] || fail "the second run: status $rc, changed $(stat second changed)"
echo "a second run changes nothing ($((SECONDS - start)) s)"
listing >"$tmp/before"
printf '{"qeldump_clusters_host": [{"name": "c2", "state": "absent"}, {"name": "c9", "admingroup": "ops"}],
	"qeldump_groups": {"ops": {"members": ["opsadm", "ann"]}}}\n' >"$tmp/change.json"
play check --check -e "@$tmp/change.json"
listing >"$tmp/after"
((rc == 0)) && (($(stat check changed) > 0)) || fail "the check run: status $rc, changed $(stat check changed)"
diff "$tmp/before" "$tmp/after" >&2 || fail "the check run changed the files above"
echo "a --check run that would change $(stat check changed) things changes no file ($((SECONDS - start)) s)"

reg=$root/etc/sysconfig/sp/cluster
chmod 0666 "$reg/c1.conf"
play gate -e qeldump_audit_only=true
msg=$(failed gate)
((rc != 0)) && [[ $msg == *'The gate'*'"QV601 /etc/sysconfig/sp/cluster/c1.conf: is writable'* ]] ||
	fail "a world-writable registry file: status $rc, $msg"
echo "a world-writable registry file fails the gate with its id: $msg"
for how in outside inside; do
	st=0
	if [ $how = outside ]; then "$root/usr/sbin/spauth" verify --root "$root" >"$tmp/$how" || st=$?
	else chroot "$root" /usr/sbin/spauth verify >"$tmp/$how" || st=$?; fi
	echo "status $st" >>"$tmp/$how"
done
grep -q ': is writable' "$tmp/inside" && diff "$tmp/inside" "$tmp/outside" >&2 ||
	fail "spauth verify --root and spauth verify inside differ (above) or miss the finding"
echo "spauth verify --root outside agrees with spauth verify inside ($(grep -c ': is writable' "$tmp/inside") finding)"

cp -p "$reg/c1.conf" "$tmp/c1.conf"
play bad -e '{"qeldump_clusters_host": [{"name": "c1", "lines": ["IPADDRESS 10.0.0.7"]}]}'
msg=$(failed bad)
((rc != 0)) && [[ $msg == *'The registry files present'*'failed to validate'* ]] || fail "a bad line: status $rc, $msg"
cmp "$tmp/c1.conf" "$reg/c1.conf" || fail "the refused line changed c1.conf"
echo "a registry line that spauth verify --registry-file refuses is not written ($((SECONDS - start)) s)"
