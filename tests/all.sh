#!/bin/bash
# Builds everything and runs every test. Run as root on Debian 12: it
# installs what the tests need when missing, and the end-to-end tests need
# root for their private mount namespace.
#   1. release build: unit tests, manual pages, package, end-to-end suite
#   2. clang-tidy and cppcheck on the product code, zero findings
#   3. AddressSanitizer + UBSan build: unit tests and end-to-end suite
#   4. libFuzzer targets, FUZZ_SECONDS each (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}

need=()
for pkg in cmake g++ clang clang-tidy clang-format libclang-rt-14-dev \
	cppcheck libgtest-dev bats sudo util-linux bsdutils mandoc dpkg; do
	dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' ||
		need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
	apt-get update -qq
	DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

step() { printf '\n==== %s\n' "$*"; }

step "release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure
tests/e2e/run.sh build

step "static analysis"
clang-tidy -p build --quiet SP_auth/*.cc qeldump/*.cc
cppcheck --enable=warning,style,performance,portability --std=c++20 \
	--inline-suppr --error-exitcode=1 --quiet -I . SP_auth qeldump

step "sanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure
# The sanitized front end runs set-user-ID like the release one; any report
# it writes into the sandbox fails the run.
SAN_OPTIONS=log_path=/rec/san:halt_on_error=1 tests/e2e/run.sh build-asan

step "fuzzing, ${fuzz_seconds}s a target"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZ=ON -DBUILD_TESTING=OFF
cmake --build build-fuzz -j"$jobs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in tokenizer accounts authority registry_key compose; do
	mkdir -p "$work/$target"
	cp tests/fuzz/corpus/"$target"/* "$work/$target/"
	(cd "$work" && "$OLDPWD/build-fuzz/tests/fuzz/${target}_fuzz" \
		-max_total_time="$fuzz_seconds" -print_final_stats=1 \
		"$work/$target") 2>&1 | tail -n 12
done
echo "all tests passed"
