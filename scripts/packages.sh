# shellcheck shell=bash
# The Debian packages the scripts need, one list, and the one helper that installs those missing.
# Sourced by scripts/test, scripts/try-it and bench/run.

# The tour and the benchmark: build the front end and spauth (sd-journal and JSON for spauth log)
# and run them in the end-to-end sandbox (with the real sudo); the benchmark of spauth log makes a
# journal file and measures memory with GNU time.
TOUR_PACKAGES=(cmake g++ make sudo util-linux bsdutils diffutils libsystemd-dev nlohmann-json3-dev
	systemd-journal-remote time)
# The tests besides: analysis, the sanitizer and fuzzing builds, unit tests, manual pages, the
# Debian packages and their checks, Debian's QA tools and what makes their throw-away roots, bash
# completion, shell lint, spauth log's query table (fixture journals, its JSON schema);
# spauth verify's JSON schema and the Ansible role's test.
# shellcheck disable=SC2034 # read by scripts/test
TEST_PACKAGES=("${TOUR_PACKAGES[@]}" build-essential clang clang-tidy clang-format libclang-rt-14-dev cppcheck
	libgtest-dev mandoc git dpkg-dev debhelper lintian pkg-config devscripts autopkgtest piuparts mmdebstrap
	bash-completion shellcheck python3 python3-jsonschema ansible)
# The commands the tour cannot go without; a tour without one of them would show the wrong thing.
# shellcheck disable=SC2034 # read by scripts/try-it and bench/run
TOUR_COMMANDS=(cmake c++ make sudo unshare setpriv chroot prlimit logger script)

# install_missing PACKAGE...: installs those not installed. apt's output goes to a log that is
# shown only when it fails.
install_missing() {
	local need=() pkg log
	for pkg; do
		dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || need+=("$pkg")
	done
	((${#need[@]})) || return 0
	log=$(mktemp)
	echo "installing ${need[*]}"
	if ! { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
		"${need[@]}"; } >"$log" 2>&1; then
		cat "$log" >&2 && rm -f "$log"
		echo "could not install: ${need[*]}" >&2
		return 1
	fi
	rm -f "$log"
}

# require_commands COMMAND...: fails, naming them, when any is not on PATH.
require_commands() {
	local missing=() c
	for c; do command -v "$c" >/dev/null || missing+=("$c"); done
	((${#missing[@]} == 0)) || { echo "missing: ${missing[*]}" >&2 && return 1; }
}
