#!/bin/bash
# Builds the Debian packages with dpkg-buildpackage from a copy of the files
# git tracks (it writes into the parent directory: here a scratch one), twice
# from two paths, and requires identical packages; lints them, checks every
# member, the control fields and hardening-check's verdict on both programs.
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
build "$tmp"
build "$tmp/again/elsewhere"
for deb in "$tmp"/*.deb; do
	cmp "$deb" "$tmp/again/elsewhere/${deb##*/}" || fail "${deb##*/} differs when built elsewhere"
done
# Any error or warning fails; the .changes brings in every package built.
run lintian --pedantic --fail-on error,warning "$tmp"/*.changes

version=$(sed -n 's/^project(qeldump VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
arch=$(dpkg --print-architecture) ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb() { echo "$tmp/${1}_${version}_$arch.deb"; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
for p in qeldump libspauth-dev; do
	[ "$(field $p Version) $(field $p Architecture)" = "$version $arch" ] ||
		fail "$p: version or architecture: $(field $p Version) $(field $p Architecture)"
done
field qeldump Depends | grep -Eq '(^|, )sudo(,|$)' || fail "qeldump Depends lacks sudo"
field qeldump Depends | grep -Eq '(^|, )libc6 \(>= [0-9.]+\)' || fail "qeldump Depends lacks libc6"
[ "$(field libspauth-dev Depends)" = "g++ | libstdc++-dev" ] ||
	fail "libspauth-dev Depends: $(field libspauth-dev Depends)"

# Both programs as installed: every hardening feature present, none missing.
dpkg-deb -x "$(deb qeldump)" "$tmp/installed"
run hardening-check "$tmp/installed/usr/bin/qeldump" "$tmp/installed/usr/sbin/spauth"
! grep -E ': no\b' "$tmp/log" || fail "hardening-check: $(cat "$tmp/log")"

# Every member: package, mode, path and link target; all owned by root.
{
	for p in qeldump libspauth-dev; do
		dpkg-deb -c "$(deb $p)" | awk -v p=$p '$2 != "root/root" { print "owner " $0 }
			{ s = p " " $1 " " $6; if ($7 == "->") s = s " -> " $8; print s }'
	done
} | sort >"$tmp/got"
{
	d=drwxr-xr-x f=-rw-r--r--
	for dir in '' usr/ usr/bin/ usr/sbin/ usr/share/ usr/share/bash-completion/ \
		usr/share/bash-completion/completions/ usr/share/doc/ usr/share/doc/qeldump/ \
		usr/share/lintian/ usr/share/lintian/overrides/ usr/share/man/ usr/share/man/man8/; do
		echo "qeldump $d ./$dir"
	done
	for dir in '' usr/ usr/include/ usr/include/SP_auth/ usr/lib/ "usr/lib/$ma/" \
		"usr/lib/$ma/cmake/" "usr/lib/$ma/cmake/spauth/" "usr/lib/$ma/pkgconfig/" \
		usr/share/ usr/share/doc/ usr/share/doc/libspauth-dev/ usr/share/man/ usr/share/man/man3/; do
		echo "libspauth-dev $d ./$dir"
	done
	for n in qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup; do
		echo "qeldump lrwxrwxrwx ./usr/bin/$n -> qeldump"
		echo "qeldump lrwxrwxrwx ./usr/share/man/man8/$n.8.gz -> qeldump.8.gz"
		echo "qeldump lrwxrwxrwx ./usr/share/bash-completion/completions/$n -> qeldump"
	done
	echo "qeldump lrwxrwxrwx ./usr/share/bash-completion/completions/spauth -> qeldump"
	cat <<-EOF
	qeldump -rwsr-xr-x ./usr/bin/qeldump
	qeldump $f ./usr/share/bash-completion/completions/qeldump
	qeldump -rwxr-xr-x ./usr/sbin/spauth
	qeldump $f ./usr/share/man/man8/qeldump.8.gz
	qeldump $f ./usr/share/man/man8/spauth.8.gz
	qeldump $f ./usr/share/doc/qeldump/README.md.gz
	qeldump $f ./usr/share/doc/qeldump/changelog.gz
	qeldump $f ./usr/share/doc/qeldump/copyright
	qeldump $f ./usr/share/lintian/overrides/qeldump
	libspauth-dev $f ./usr/include/SP_auth/spauth.h
	libspauth-dev $f ./usr/lib/$ma/libspauth.a
	libspauth-dev $f ./usr/lib/$ma/pkgconfig/spauth.pc
	libspauth-dev $f ./usr/lib/$ma/cmake/spauth/spauthConfig.cmake
	libspauth-dev $f ./usr/lib/$ma/cmake/spauth/spauthConfigVersion.cmake
	libspauth-dev $f ./usr/lib/$ma/cmake/spauth/spauthTargets.cmake
	libspauth-dev $f ./usr/lib/$ma/cmake/spauth/spauthTargets-none.cmake
	libspauth-dev $f ./usr/share/doc/libspauth-dev/changelog.gz
	libspauth-dev $f ./usr/share/doc/libspauth-dev/copyright
	libspauth-dev $f ./usr/share/man/man3/spauth.3.gz
	EOF
} | sort >"$tmp/want"
diff -u "$tmp/want" "$tmp/got" >&2 || fail "package members differ from the list (- want, + got)"

[ -z "${1:-}" ] || cp "$(deb qeldump)" "$(deb libspauth-dev)" "$1/"
echo "package.sh: qeldump and libspauth-dev $version ok"
