#!/bin/bash
# Builds everything and runs every test. Run as root on a Debian machine:
# it installs what the tests need when missing, and the end-to-end tests
# need root for their private mount namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

need=()
for pkg in cmake g++ clang clang-format libgtest-dev bats sudo util-linux mandoc; do
	dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' ||
		need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
	apt-get update -qq
	DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure
if [ -x tests/e2e/run.sh ]; then
	tests/e2e/run.sh "$build"
fi
