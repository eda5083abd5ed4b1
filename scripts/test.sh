#!/bin/sh
# Installs what is missing, builds Larkspur and runs every test: the whole
# suite (the Debian package too, built and unpacked into a throw-away root),
# then again under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# threaded tests under ThreadSanitizer. LARKSPUR_QUICK=1 runs the plain suite
# only.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh
# dpkg-dev and desktop-file-utils: the package test builds the Debian package
# (dpkg-shlibdeps finds its dependencies) and validates its desktop entry.
# shellcheck disable=SC2086
larkspur_install_packages $LARKSPUR_BUILD_PACKAGES shared-mime-info dpkg-dev desktop-file-utils \
    clang-format
jobs=$(nproc)

# No source file includes a header of a higher layer, and the sources are
# formatted as .clang-format says.
./scripts/check-layers.sh
find resources platform model engine framework tree lists treemap app report tests bench \
    \( -name '*.cpp' -o -name '*.h' \) -print | xargs clang-format --dry-run --Werror

# Tests stay at most 0.40 of the code, in non-blank lines of .cpp and .h
# files (benchmarks left out).
nonblank() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -print | xargs cat | grep -cv '^[[:space:]]*$'; }
test_lines=$(nonblank tests)
code_lines=$(nonblank resources platform model engine framework tree lists treemap app report)
awk -v t="$test_lines" -v c="$code_lines" 'BEGIN {
    printf "Tests: %d non-blank lines against %d of code: %.3f (at most 0.400)\n", t, c, t / c
    exit (t > 0.40 * c) }'

run_suite() {  # build-dir sanitizers ctest-args...
    dir=$1; sanitize=$2; shift 2
    echo "== Building in $dir${sanitize:+ with $sanitize}"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_SANITIZE="$sanitize" \
        -DLARKSPUR_BUILD_BENCH=OFF >/dev/null
    cmake --build "$dir" -j"$jobs"
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@")
}

run_suite build-test ""
if [ "${LARKSPUR_QUICK:-0}" != 1 ]; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_suite build-asan "address,undefined"
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    run_suite build-tsan "thread" -L threaded
fi
