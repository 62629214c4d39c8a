#!/usr/bin/env bash
# The build's viewer folder (scripts/bundle): under 57 MB, the program without its debug information
# (kept in the build), each file finding lib/ by itself, and a licence for every file from Debian.
#   viewer_folder_test.sh BUILD_DIR
set -uo pipefail
lmr="$1/LMR"
fail() { echo "FAILED: $*"; exit 1; }
bytes=$(find "$lmr" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
[ "$bytes" -lt 57000000 ] || fail "the viewer folder takes $bytes bytes, more than 57 MB"
! readelf -SW "$lmr/lumora" | grep '\.debug_info' || fail "the program still carries its debug information"
readelf -SW "$1/lumora.debug" 2>/dev/null | grep '\.debug_info' >/dev/null || fail "no debug information in $1/lumora.debug"
runpath() { readelf -dW "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p'; }
[ "$(runpath "$lmr/lumora")" = '$ORIGIN/lib' ] || fail "the program's RUNPATH is '$(runpath "$lmr/lumora")'"
for plugin in "$lmr"/plugins/*/*.so; do
  [ "$(runpath "$plugin")" = '$ORIGIN/../../lib' ] || fail "$plugin has the RUNPATH '$(runpath "$plugin")'"
done
for file in $(cd "$lmr" && find lib plugins fonts -type f); do
  package=$(sed -n "s#^$file: \([^ ]*\) .*#\1#p" "$lmr/licenses/README.txt")
  [ -s "$lmr/licenses/$package.copyright" ] || fail "no licence for $file"
done
echo "PASSED: $(find "$lmr/lib" -type f | wc -l) libraries, $bytes bytes"
