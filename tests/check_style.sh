#!/usr/bin/env bash
# The checkers: clang-format must change nothing, and clang-tidy (.clang-tidy)
# must warn about nothing in the program, the platform layer and the tests,
# as built natively and for Windows (the MinGW-w64 build's own headers).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "clang-format: no change"

sources="^$top/(settings_cleaner|platform|tests)/"
cmake --preset native >/dev/null
run-clang-tidy -p build/native -j 2 -quiet "$sources" >build/native/clang-tidy.log 2>&1 ||
    { sed 's/\x1b\[[0-9;]*m//g' build/native/clang-tidy.log | grep -A8 -E '(warning|error):'; exit 1; }
echo "clang-tidy, native: no warning"

# Clang for the MinGW-w64 target, with that compiler's C++ headers. Its
# Windows headers write their constants with a lower-case l (__MSABI_LONG),
# which the native run checks in the code itself.
cmake --preset windows >/dev/null
args=(-extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-nostdinc++ -checks=-cert-dcl16-c)
for dir in $(echo | x86_64-w64-mingw32-g++-posix -E -x c++ - -v 2>&1 |
             sed -n '/^#include <...> search starts here:/,/^End of search list/p' | grep '/c++'); do
    args+=("-extra-arg=-isystem$dir")
done
run-clang-tidy -p build/windows -j 2 -quiet "${args[@]}" "$sources" >build/windows/clang-tidy.log 2>&1 ||
    { sed 's/\x1b\[[0-9;]*m//g' build/windows/clang-tidy.log | grep -A8 -E '(warning|error):'; exit 1; }
echo "clang-tidy, Windows: no warning"
