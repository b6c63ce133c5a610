#!/usr/bin/env bash
# The checkers first (clang-format, clang-tidy), then configures, builds and
# tests every preset: the native build on its directory store (end-to-end
# cases also under valgrind), the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows executable under Wine, then the
# release (unsigned and signed) from clean trees.
set -euo pipefail
cd "$(dirname "$0")/.."

stop_wine() {
    if [ -d build/windows/wineprefix ]; then
        WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
    fi
}
trap stop_wine EXIT

tests/check_style.sh
cmake --workflow --preset native
cmake --workflow --preset asan
cmake --workflow --preset windows
tests/release_test.sh
