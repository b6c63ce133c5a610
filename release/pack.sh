#!/bin/sh
# Makes the download: DIST/settings_cleaner-VERSION-win64.zip (the program and
# its user guide), the program itself and SHA256SUMS. Signs the program first
# when SIGN_PKCS12 and SIGN_PASSWORD_FILE are set; SIGN_TIMESTAMP_URL adds a
# timestamp. The password is handed over only as a file, never on a command
# line. Run by the dist target:
#   pack.sh EXE README VERSION SOURCE_DIR WORK_DIR DIST_DIR
set -eu
exe=$1 readme=$2 version=$3 source_dir=$4 work=$5 dist=$6

fail() {
    echo "dist: $*" >&2
    exit 1
}

command -v zip >/dev/null || fail "packing needs zip (Debian: zip)"

# Neither the caller's umask nor time zone may reach the archive.
umask 022
export TZ=UTC LC_ALL=C
stage=$work/stage
rm -rf "$work"
mkdir -p "$stage"

if [ -n "${SIGN_PKCS12:-}" ] || [ -n "${SIGN_PASSWORD_FILE:-}" ]; then
    [ -n "${SIGN_PKCS12:-}" ] && [ -n "${SIGN_PASSWORD_FILE:-}" ] ||
        fail "signing needs both SIGN_PKCS12 and SIGN_PASSWORD_FILE"
    [ -r "$SIGN_PKCS12" ] || fail "cannot read SIGN_PKCS12 ($SIGN_PKCS12)"
    [ -r "$SIGN_PASSWORD_FILE" ] || fail "cannot read SIGN_PASSWORD_FILE ($SIGN_PASSWORD_FILE)"
    command -v osslsigncode >/dev/null || fail "signing needs osslsigncode (Debian: osslsigncode)"
    set -- -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_PASSWORD_FILE" -h sha256 -n settings_cleaner
    if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
        set -- "$@" -ts "$SIGN_TIMESTAMP_URL"
    fi
    osslsigncode sign "$@" -in "$exe" -out "$stage/settings_cleaner.exe" >"$work/sign.log" 2>&1 ||
        { cat "$work/sign.log" >&2; fail "signing failed"; }
    # The signature is all that signing may add.
    osslsigncode remove-signature -in "$stage/settings_cleaner.exe" -out "$work/unsigned.exe" \
        >/dev/null 2>&1 || fail "cannot read back the signature just made"
    cmp -s "$exe" "$work/unsigned.exe" || fail "the signed program differs from the build"
    signer=$(osslsigncode verify -in "$stage/settings_cleaner.exe" 2>/dev/null |
        sed -n 's/^[[:space:]]*Subject: //p' | head -n 1)
    echo "dist: signed by $signer${SIGN_TIMESTAMP_URL:+, timestamped by $SIGN_TIMESTAMP_URL}"
else
    cp "$exe" "$stage/settings_cleaner.exe"
    echo "dist: UNSIGNED release (set SIGN_PKCS12 and SIGN_PASSWORD_FILE to sign)"
fi

# Notepad reads UTF-8 with a byte-order mark and CR LF line ends everywhere.
{ printf '\357\273\277'; sed 's/$/\r/' "$readme"; } >"$stage/README.txt"

# Fixed modes and times: those of the last commit, or SOURCE_DATE_EPOCH.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) ||
        SOURCE_DATE_EPOCH=315532800 # 1980-01-01, the earliest time a zip can hold
fi
chmod 0644 "$stage/settings_cleaner.exe" "$stage/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/settings_cleaner.exe" "$stage/README.txt"

zip_name=settings_cleaner-$version-win64.zip
(cd "$stage" && zip -X -D -q "$work/$zip_name" settings_cleaner.exe README.txt)

rm -rf "$dist"
mkdir -p "$dist"
cp "$work/$zip_name" "$stage/settings_cleaner.exe" "$dist/"
(cd "$dist" && sha256sum "$zip_name" settings_cleaner.exe >SHA256SUMS)
echo "dist: $dist"
(cd "$dist" && ls -l "$zip_name" settings_cleaner.exe && cat SHA256SUMS)
