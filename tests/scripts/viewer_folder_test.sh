#!/usr/bin/env bash
# The viewer folder of the build (scripts/bundle): under 45 MB, the program
# without its debug information (kept beside the build's program), each file
# finding lib/ by itself, and a licence for every file that came from Debian.
#   viewer_folder_test.sh BUILD_DIR
set -uo pipefail
build="$(realpath "$1")"
lmr="$build/LMR"
status=0
fail() { echo "FAILED: $*"; status=1; }

bytes=$(find "$lmr" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
[ "$bytes" -lt 45000000 ] || fail "the viewer folder takes $bytes bytes, more than 45 MB"
readelf -SW "$lmr/lumora" | grep '\.debug_info' >/dev/null && fail "the program still carries its debug information"
readelf -SW "$build/lumora.debug" 2>/dev/null | grep '\.debug_info' >/dev/null || fail "no debug information in $build/lumora.debug"
readelf -p .gnu_debuglink "$lmr/lumora" 2>/dev/null | grep 'lumora\.debug' >/dev/null ||
  fail "the program does not name lumora.debug"
runpath() { readelf -dW "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p'; }
[ "$(runpath "$lmr/lumora")" = '$ORIGIN/lib' ] || fail "the program's RUNPATH is '$(runpath "$lmr/lumora")'"
for plugin in "$lmr"/plugins/*/*.so; do
  [ "$(runpath "$plugin")" = '$ORIGIN/../../lib' ] || fail "$plugin has the RUNPATH '$(runpath "$plugin")'"
done
grep -q '^Plugins = plugins$' "$lmr/qt.conf" || fail "qt.conf does not point at plugins/"
for file in $(cd "$lmr" && find lib plugins fonts -type f | sort); do
  package=$(sed -n "s#^$file: \([^ ]*\) .*#\1#p" "$lmr/licenses/README.txt")
  [ -n "$package" ] || { fail "licenses/README.txt does not say where $file comes from"; continue; }
  [ -s "$lmr/licenses/$package.copyright" ] || fail "no licence of $package ($file)"
done
[ $status -eq 0 ] && echo "PASSED: $(find "$lmr/lib" -type f | wc -l) libraries, $bytes bytes"
exit $status
