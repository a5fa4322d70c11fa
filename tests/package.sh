#!/bin/bash
# Builds the Debian packages with dpkg-buildpackage from a copy of the files
# git tracks (it writes into the parent directory: here a scratch one), twice
# from two paths, the second without its unit tests, and requires identical
# packages; lints them, checks every member, the dependencies and
# hardening-check's verdict on both programs; modes, owners and the rest of
# the control fields are lintian's to judge.
# Installs nothing on the host. package.sh [DIR]: also leaves the packages in
# DIR, for the tests that install them (piuparts, and debian/tests, which
# also builds a C program against the installed libspauth-dev).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT TERM
fail() { echo "package.sh: $*" >&2; exit 1; }
run() { "$@" >"$tmp/log" 2>&1 || { tail -n 40 "$tmp/log" >&2; fail "failed: $*"; }; }

# build DIR: the packages built from a copy of the tracked files in DIR/src, into DIR.
build() {
	mkdir -p "$1/src"
	git -C "$src" ls-files -z | tar -C "$src" --null -T - -cf - | tar -C "$1/src" -xf -
	run env -C "$1/src" dpkg-buildpackage -us -uc -b -J"$(nproc)"
}
# The second build runs elsewhere, and without the unit tests: neither may change a package.
build "$tmp"
DEB_BUILD_OPTIONS=nocheck build "$tmp/again/elsewhere"
for deb in "$tmp"/*.deb; do
	cmp "$deb" "$tmp/again/elsewhere/${deb##*/}" || fail "${deb##*/} differs when built elsewhere"
done
# Any error or warning fails; the .changes brings in every package built.
run lintian --pedantic --fail-on error,warning "$tmp"/*.changes

version=$(sed -n 's/^project(qeldump VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
arch=$(dpkg --print-architecture) ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb() { echo "$tmp/${1}_${version}_$arch.deb"; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
# The packages carry the program's own version (it names their files).
for p in qeldump libspauth-dev; do [ -f "$(deb $p)" ] || fail "no $(deb $p)"; done
field qeldump Depends | grep -Eq '(^|, )sudo(,|$)' || fail "qeldump Depends lacks sudo"
# spauth log reads the journal through libsystemd0 (shlibs); gzip is Essential.
field qeldump Depends | grep -Eq '(^|, )libsystemd0( |,|$)' || fail "qeldump Depends lacks libsystemd0"
[ "$(field libspauth-dev Depends)" = "g++ | libstdc++-dev" ] ||
	fail "libspauth-dev Depends: $(field libspauth-dev Depends)"

# Both programs as installed: every hardening feature present, none missing.
dpkg-deb -x "$(deb qeldump)" "$tmp/installed"
run hardening-check "$tmp/installed/usr/bin/qeldump" "$tmp/installed/usr/sbin/spauth"
! grep -E ': no\b' "$tmp/log" || fail "hardening-check: $(cat "$tmp/log")"

# Every file and link each package holds, and where each link leads.
for p in qeldump libspauth-dev; do
	dpkg-deb -c "$(deb $p)" | awk -v p=$p '$6 !~ /\/$/ { s = p " " $6; if ($7 == "->") s = s " -> " $8; print s }'
done | sort >"$tmp/got"
{
	for n in qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup; do
		echo "qeldump ./usr/bin/$n -> qeldump"
		echo "qeldump ./usr/share/man/man8/$n.8.gz -> qeldump.8.gz"
		echo "qeldump ./usr/share/bash-completion/completions/$n -> qeldump"
	done
	echo "qeldump ./usr/share/bash-completion/completions/spauth -> qeldump"
	for f in bin/qeldump sbin/spauth share/bash-completion/completions/qeldump share/man/man8/qeldump.8.gz \
		share/man/man8/spauth.8.gz share/qeldump/spauth-verify.schema.json share/doc/qeldump/README.md.gz share/doc/qeldump/changelog.gz \
		share/doc/qeldump/copyright share/lintian/overrides/qeldump; do
		echo "qeldump ./usr/$f"
	done
	for f in include/SP_auth/spauth.h "lib/$ma/libspauth.a" "lib/$ma/pkgconfig/spauth.pc" \
		"lib/$ma/cmake/spauth/"spauth{Config,ConfigVersion,Targets,Targets-none}.cmake \
		share/doc/libspauth-dev/changelog.gz share/doc/libspauth-dev/copyright share/man/man3/spauth.3.gz; do
		echo "libspauth-dev ./usr/$f"
	done
} | sort >"$tmp/want"
diff -u "$tmp/want" "$tmp/got" >&2 || fail "package members differ from the list (- want, + got)"

[ -z "${1:-}" ] || cp "$(deb qeldump)" "$(deb libspauth-dev)" "$1/"
echo "package.sh: qeldump and libspauth-dev $version ok"
