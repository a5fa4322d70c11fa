#!/bin/sh
# Builds the Debian package of BUILD_DIR in a scratch directory and checks
# its members (modes, owners, link targets, nothing extra) and control fields.
set -eu
build=${1:?usage: package.sh BUILD_DIR}
tmp=$(mktemp -d)
# cpack's install step rewrites the build tree's install manifest: keep the
# one a real install left there, or leave none.
manifest=$build/install_manifest.txt
[ ! -e "$manifest" ] || cp -p "$manifest" "$tmp/manifest"
trap 'if [ -e "$tmp/manifest" ]; then mv -f "$tmp/manifest" "$manifest"
else rm -f "$manifest"; fi; rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT TERM
fail() { echo "package.sh: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp") >"$tmp/log" 2>&1 ||
	{ cat "$tmp/log" >&2; fail "cpack -G DEB failed"; }
set -- "$tmp"/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "want one .deb, got: $*"
dpkg-deb -c "$1" | awk '{ s = $1 " " $2; if ($7 == "->") s = s " -> " $8
	print $6 ": " s }' >"$tmp/list"

# want PATH PATTERN: the member's "mode owner [-> target]" matches PATTERN.
want() {
	got=$(sed -n "s|^\./usr/$1: ||p" "$tmp/list")
	case $got in $2) ;; *) fail "./usr/$1: want '$2', got '${got:-missing}'" ;; esac
}
want sbin/qeldump '-rwsr-xr-x root/root'
want sbin/spauth '-rwxr-xr-x root/root'
want share/man/man8/qeldump.8 '-rw-r--r-- root/root'
want share/man/man8/spauth.8 '-rw-r--r-- root/root'
for n in qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup; do
	want "sbin/$n" 'lrwxrwxrwx root/root -> qeldump'
	want "share/man/man8/$n.8" 'lrwxrwxrwx root/root -> qeldump.8'
done
bad=$(grep -v ': drwxr-xr-x root/root$' "$tmp/list" | grep -c '/: ' || :)
[ "$bad" -eq 0 ] || fail "directories not drwxr-xr-x root/root: $(grep '/: ' "$tmp/list" | tr '\n' ' ')"
files=$(grep -vc '/: ' "$tmp/list" || :)
[ "$files" -eq 18 ] || fail "want 18 non-directory members, got $files:" "$(grep -v "/: " "$tmp/list")"

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$1" Package)" = qeldump ] || fail "Package: $(field "$1" Package)"
[ "$(field "$1" Depends)" = sudo ] || fail "Depends: want sudo, got '$(field "$1" Depends)'"
[ "$(field "$1" Architecture)" = "$(dpkg --print-architecture)" ] ||
	fail "Architecture: $(field "$1" Architecture)"
field "$1" Version | grep -Eq '^[0-9]+(\.[0-9]+)+$' || fail "Version: $(field "$1" Version)"
field "$1" Maintainer | grep -q '<.*@.*>$' || fail "Maintainer: $(field "$1" Maintainer)"
[ -n "$(field "$1" Description)" ] || fail "Description is empty"
echo "package.sh: $(basename "$1") ok"
