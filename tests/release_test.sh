#!/usr/bin/env bash
# The release as an administrator gets it, from clean trees of this checkout:
#  - cmake --workflow --preset release in one tree (the Windows tests under
#    Wine included), the download alone in a second tree in another folder
#    under another umask and time zone: the zips must be equal bytes;
#  - the zip holds exactly the program and README.txt, SHA256SUMS checks, the
#    program is the reproducible build (release/verify.sh) and README.txt is
#    what Notepad reads right;
#  - signed with a throwaway certificate: the signature verifies, the signed
#    program runs the confirm and decline cases under Wine, verify.sh accepts
#    it and rejects a copy with one byte changed, and the password is nowhere
#    in the build tree, dist/ or the logs.
# Needs what tests/run-all.sh needs, plus zip, unzip, osslsigncode and openssl.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-${TMPDIR:-/tmp}/settings_cleaner_release}

fail() {
    echo "release test FAILED: $*" >&2
    exit 1
}
stop_wine() {
    for prefix in "$work"/*/build/release/wineprefix "$work"/*/*/build/release/wineprefix; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    done
}
trap stop_wine EXIT

# A clone of this checkout with its uncommitted changes laid over it.
clean_tree() {
    git clone -q "$source_dir" "$1"
    (cd "$source_dir" && git ls-files -co --exclude-standard -z |
        tar --null --ignore-failed-read -cf - -T - 2>/dev/null) | tar -xf - -C "$1"
}

rm -rf "$work"
mkdir -p "$work"
one=$work/one
two=$work/second/tree-with-a-longer-name
clean_tree "$one"
clean_tree "$two"

start=$(date +%s)
(cd "$one" && cmake --workflow --preset release) >"$work/release.log" 2>&1 ||
    { tail -n 40 "$work/release.log"; fail "the release workflow failed"; }
echo "release workflow: $(($(date +%s) - start)) s"
grep -q "UNSIGNED release" "$work/release.log" || fail "an unsigned release does not say so"
(cd "$two" && umask 077 && export TZ=Pacific/Chatham &&
    cmake --preset release -DBUILD_TESTING=OFF && cmake --build --preset release-dist) \
    >"$work/second.log" 2>&1 || { tail -n 40 "$work/second.log"; fail "the second release failed"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$one/build/release/CMakeCache.txt")
zip_name=settings_cleaner-$version-win64.zip
dist=$one/dist
cmp "$dist/$zip_name" "$two/dist/$zip_name" || fail "two trees give different zips"
[ "$(cd "$dist" && ls)" = "$(printf '%s\n' SHA256SUMS "$zip_name" settings_cleaner.exe)" ] ||
    fail "dist/ holds: $(cd "$dist" && ls | tr '\n' ' ')"
[ "$(unzip -Z1 "$dist/$zip_name")" = "$(printf 'settings_cleaner.exe\nREADME.txt')" ] ||
    fail "the zip holds: $(unzip -Z1 "$dist/$zip_name" | tr '\n' ' ')"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
unzip -q "$dist/$zip_name" -d "$work/unzipped"
cmp "$work/unzipped/settings_cleaner.exe" "$dist/settings_cleaner.exe" ||
    fail "the zip's program is not the one beside it"
"$one/release/verify.sh" "$work/unzipped/settings_cleaner.exe" ||
    fail "the released program is not the build of the source"

# Notepad: UTF-8 with a byte-order mark, every line ending in CR LF.
readme=$work/unzipped/README.txt
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no BOM"
iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null || fail "README.txt is not UTF-8"
if tr -d '\r' <"$readme" | cmp -s - "$readme" || grep -qvE $'\r$' "$readme" ||
    [ "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ')" != 0d0a ]; then
    fail "README.txt has a line without CR LF"
fi
grep -q "version $version" "$readme" || fail "README.txt does not give version $version"
# Every message the program prints is explained there.
while IFS= read -r message; do
    grep -qF -- "$message" "$readme" || fail "README.txt does not explain: $message"
done <<'MESSAGES'
ZARPHの全ての設定を消去します。よろしいですか？ [y/n]
中止しました
が見つかりました。
削除しました。
削除できませんでした。
ZARPHのデータは見つかりませんでした。
個のZARPHのデータを削除しました。
個のZARPHのデータが削除できませんでした。
終了するにはEnterキーを押してください。
MESSAGES
echo "unsigned release: $zip_name, $(wc -c <"$dist/$zip_name") bytes, sha256" \
    "$(sha256sum "$dist/$zip_name" | cut -d' ' -f1); equal from two trees"

# Signing with a throwaway code-signing certificate; its password is handed
# over only as a file outside the trees.
secrets=$work/secrets
mkdir -p "$secrets"
password=$(openssl rand -hex 24)
printf '%s\n' "$password" >"$secrets/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Release Test Signer" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$secrets/key.pem" -out "$secrets/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$secrets/key.pem" -in "$secrets/cert.pem" \
    -out "$secrets/signer.p12" -passout "file:$secrets/password"
# Half the signing set up is a mistake, not an unsigned release.
if (cd "$one" && SIGN_PKCS12="$secrets/signer.p12" cmake --build --preset release-dist) \
    >"$work/half-signed.log" 2>&1; then
    fail "a release with SIGN_PKCS12 but no SIGN_PASSWORD_FILE went ahead"
fi
(cd "$one" && SIGN_PKCS12="$secrets/signer.p12" SIGN_PASSWORD_FILE="$secrets/password" \
    cmake --build --preset release-dist) >"$work/signed.log" 2>&1 ||
    { tail -n 40 "$work/signed.log"; fail "the signed release failed"; }
signed=$dist/settings_cleaner.exe
osslsigncode verify -CAfile "$secrets/cert.pem" -in "$signed" >"$work/osslsigncode.log" 2>&1 ||
    { tail -n 20 "$work/osslsigncode.log"; fail "the signature does not verify"; }
grep -q "Text description: settings_cleaner" "$work/osslsigncode.log" ||
    fail "the signature does not name the tool"
grep -q "Message digest algorithm *: SHA256" "$work/osslsigncode.log" || fail "not signed with SHA-256"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check when signed"
unzip -p "$dist/$zip_name" settings_cleaner.exe | cmp - "$signed" || fail "the zip holds the unsigned program"

# The signed program on Wine: the confirm and decline cases, straight and
# through cmd.exe, run by the end-to-end tests beside it.
run_dir=$one/build/release/signed-run
mkdir -p "$run_dir"
cp "$signed" "$one/build/release/end_to_end_tests.exe" "$run_dir/"
"$one/build/release/wine-run.sh" "$run_dir/end_to_end_tests.exe" \
    --gtest_filter='Cases/EndToEnd.*/Declined:Cases/EndToEnd.*/TwoHivesDeletedWithTheirValues:CmdClient.*' \
    >"$work/signed-run.log" 2>&1 || { cat "$work/signed-run.log"; fail "the signed program fails its cases"; }
grep -q "PASSED.* 3 tests" "$work/signed-run.log" || { cat "$work/signed-run.log"; fail "not all three cases ran"; }

verify_log=$work/verify.log
"$one/release/verify.sh" "$signed" >"$verify_log" 2>&1 || { cat "$verify_log"; fail "verify.sh rejects the signed program"; }
grep -q "signed by /CN=Release Test Signer" "$verify_log" || fail "verify.sh does not name the signer"
changed=$work/changed.exe
cp "$signed" "$changed"
printf '\220' | dd of="$changed" bs=1 seek=4096 conv=notrunc 2>/dev/null
if "$one/release/verify.sh" "$changed" >"$work/verify-changed.log" 2>&1; then
    fail "verify.sh accepts a program with a byte changed"
fi
grep -q "DOES NOT MATCH: its code differs" "$work/verify-changed.log" ||
    { cat "$work/verify-changed.log"; fail "verify.sh gives no clear reason"; }

if grep -rqF -- "$password" "$one/build" "$one/dist" "$work"/*.log; then
    fail "the signing password was written under build/, dist/ or into a log"
fi
echo "signed release: verifies, runs under Wine, tied to the source by verify.sh; no password left"
rm -rf "$work"
