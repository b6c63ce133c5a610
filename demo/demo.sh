#!/usr/bin/env bash
# Builds the tool, seeds its default store with three users and runs it in
# this terminal; answer y and press Enter twice. Then shows what is left.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native --target settings_cleaner sjis_view >/dev/null

root=$(sed -n 's/^REGISTRY_ROOT:PATH=//p' build/native/CMakeCache.txt)
users="$root/HKEY_USERS"
rm -rf "$users"

# A user with full settings and some values.
full="$users/S-1-5-21-1001/Software/Velk/ZARPH"
mkdir -p "$full/Options/"{Host0,Host1,Host2,History0,History1}
echo 1280 > "$full/Options/Width"
echo server.example > "$full/Options/Host0/Name"
# A user whose host entries skip number 2: Host3 and everything above it stay.
gap="$users/S-1-5-21-1002/Software/Velk/ZARPH"
mkdir -p "$gap/Options/"{Host0,Host1,Host3,History0}
# A user without any ZARPH settings.
mkdir -p "$users/S-1-5-21-1003/Software/Other"

show() {
    (cd "$users" && find . -mindepth 1 -type d | sed 's|^\./||; s|/|\\|g' | sort)
}

echo "Keys under HKEY_USERS in $users:"
show | sed 's/^/  /'
echo
# The tool writes Shift_JIS; sjis_view shows it on this UTF-8 terminal.
# stdbuf keeps the tool's output unbuffered through the pipe, as on a console.
stdbuf -o0 build/native/settings_cleaner | build/native/demo/sjis_view
echo
echo "Keys left:"
show | sed 's/^/  /'
