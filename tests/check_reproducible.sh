#!/bin/sh
# Builds the Windows executable twice from clean trees in two different
# directories and compares the bytes.
set -eu
source_dir=$1
work=$2
rm -rf "$work"
for tree in one two-with-a-longer-name; do
    cmake -S "$source_dir" -B "$work/$tree" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$work/$tree" --target settings_cleaner >/dev/null
done
cmp "$work/one/settings_cleaner.exe" "$work/two-with-a-longer-name/settings_cleaner.exe"
sha256sum "$work"/*/settings_cleaner.exe
rm -rf "$work"
