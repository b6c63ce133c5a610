#!/bin/sh
# Tells whether a settings_cleaner.exe, signed or not, holds exactly the code
# of this checkout: builds the program from this source and compares it with
# the file minus its signature. Prints the signer when there is one.
#   release/verify.sh settings_cleaner.exe
# Exit status: 0 it matches, 1 it does not (the reason is printed), 2 it could
# not be checked. Needs CMake, the MinGW-w64 cross compiler and osslsigncode.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 settings_cleaner.exe" >&2
    exit 2
fi
exe=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)

cannot() {
    echo "$exe: cannot check: $*" >&2
    exit 2
}
mismatch() {
    echo "$exe: DOES NOT MATCH: $*"
    exit 1
}

[ -f "$exe" ] || cannot "no such file"
command -v osslsigncode >/dev/null || cannot "osslsigncode is missing (Debian: osslsigncode)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The unsigned bytes: the file itself, or the file without its signature.
signed=no
if osslsigncode remove-signature -in "$exe" -out "$work/unsigned.exe" >"$work/remove.log" 2>&1; then
    signed=yes
elif grep -q "No signature found" "$work/remove.log"; then
    cp "$exe" "$work/unsigned.exe"
else
    mismatch "not a Windows program ($(tail -n 1 "$work/remove.log"))"
fi

# The program as this checkout builds it; the build is reproducible, so the
# bytes must be equal.
if ! { cmake -S "$source_dir" --preset windows -B "$work/build" -DBUILD_TESTING=OFF &&
       cmake --build "$work/build" --target settings_cleaner -j 2; } >"$work/build.log" 2>&1; then
    tail -n 20 "$work/build.log" >&2
    cannot "the build of $source_dir failed"
fi
built=$work/build/settings_cleaner.exe
revision=$(git -C "$source_dir" describe --always --dirty 2>/dev/null || echo "not a git checkout")

if ! cmp -s "$work/unsigned.exe" "$built"; then
    bytes=$(cmp -l "$work/unsigned.exe" "$built" 2>/dev/null | wc -l)
    first=$(cmp -l "$work/unsigned.exe" "$built" 2>/dev/null | awk 'NR == 1 { print $1 }')
    mismatch "its code differs from the build of $source_dir ($revision):" \
        "${first:+$bytes bytes differ, the first at offset $((first - 1));}" \
        "$(wc -c <"$work/unsigned.exe") bytes against $(wc -c <"$built")"
fi

if [ $signed = yes ]; then
    osslsigncode verify -in "$exe" >"$work/verify.log" 2>&1 || true
    signer=$(sed -n '/^Signer.s certificate:/,/^$/s/^[[:space:]]*Subject: //p' "$work/verify.log" | head -n 1)
    echo "$exe: signed by ${signer:-an unnamed signer}"
    current=$(sed -n 's/^Current message digest *: *//p' "$work/verify.log" | head -n 1)
    calculated=$(sed -n 's/^Calculated message digest *: *//p' "$work/verify.log" | head -n 1)
    [ -n "$current" ] && [ "$current" = "$calculated" ] ||
        mismatch "the signature does not cover these bytes (the file was changed after signing)"
    # The signature itself against the certificates it carries: whether
    # Windows trusts the signer is for Windows to say.
    osslsigncode extract-signature -pem -in "$exe" -out "$work/signature.pem" >/dev/null 2>&1 &&
        openssl pkcs7 -in "$work/signature.pem" -print_certs -out "$work/chain.pem" 2>/dev/null ||
        mismatch "its signature cannot be read"
    signing_time=$(sed -n 's/^[[:space:]]*Signing time: //p' "$work/verify.log" | head -n 1)
    at=$(date -u -d "$signing_time" +%s 2>/dev/null) || at=$(date -u +%s)
    osslsigncode verify -CAfile "$work/chain.pem" -ignore-crl -ignore-timestamp -time "$at" \
        -in "$exe" >"$work/self.log" 2>&1 || mismatch "its signature is broken"
else
    echo "$exe: not signed"
fi
echo "$exe: matches the build of $source_dir ($revision, version" \
    "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/build/CMakeCache.txt"))"
