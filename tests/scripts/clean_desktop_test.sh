#!/usr/bin/env bash
# A disc's viewer on a clean desktop (scripts/clean-desktop: no Qt, no fonts),
# started from the disc as a person would:
#   1. ldd of the program and of each plugin finds every library;
#   2. started offscreen, it paints its first page;
#   3. started on Xvfb through the xcb plugin, it paints the roll page as the
#      same viewer does on this machine: build/screenshots/clean-desktop-roll-page.png;
#   4. --list lists the disc's rolls, in the order the full system sorts them.
# It needs root. Where it is not root or cannot mount and chroot, it says so
# and is skipped, and under CI (which runs as root) it fails.
#   clean_desktop_test.sh BUILD_DIR
set -uo pipefail
build="$(realpath "$1")"
cd "$(dirname "$0")/../.."
work="$build/clean-desktop"
disc="$work/disc"
viewer="$disc/Viewer/LMR"
shot="$build/screenshots/clean-desktop-roll-page.png"

fail() { echo "FAILED: $*"; exit 1; }
cannot() {
  echo "clean-desktop: $*"
  [ -n "${CI:-}" ] && fail "CI runs as root, so this test must run there"
  echo "SKIPPED"
  exit 77
}
[ "$(id -u)" -eq 0 ] || cannot "needs root (debootstrap, mount, chroot)"
scripts/clean-desktop build >/dev/null || fail "the clean system could not be made"
scripts/clean-desktop run -- /bin/true || cannot "cannot mount or chroot here"

rm -rf --one-file-system "$disc"
"$build/tools/make-disc" --sizes Tiny,Thumb,Small --viewer "$build/LMR" "$disc" >"$work/make-disc.log" 2>&1 ||
  fail "make-disc: $(tail -n 3 "$work/make-disc.log")"

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done' EXIT
# Starts a program (its output in LOG) and waits until it says it painted its
# first page; Started holds its process (the command itself, never a function
# in a subshell, so that stopping it stops the program).
start_until_painted() {
  local log="$1"; shift
  "$@" >"$log" 2>&1 &
  started=$!
  pids+=("$started")
  local i
  for i in $(seq 600); do
    grep -q "first page painted" "$log" && return 0
    kill -0 "$started" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log"
  return 1
}
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
inside=(scripts/clean-desktop run --bind "$disc" --env LUMORA_REPORT=1)
grab() { QT_QPA_PLATFORM=xcb "$build/tests/screen-grab" "$1"; }

# 1. Every library is found there.
plugins=$(find "$viewer/plugins" -name '*.so' | sort)
# shellcheck disable=SC2086
ldd_out=$("${inside[@]}" -- /usr/bin/ldd "$viewer/lumora" $plugins 2>&1) || fail "ldd: $ldd_out"
missing=$(grep "not found" <<<"$ldd_out")
[ -z "$missing" ] || fail "libraries the clean system lacks and the viewer folder does not hold:
$missing"
echo "ldd: every library of the program and its $(wc -w <<<"$plugins") plugins is found"

# 2. Offscreen.
start_until_painted "$work/offscreen.log" "${inside[@]}" --env QT_QPA_PLATFORM=offscreen -- "$viewer/lumora" ||
  fail "started offscreen, the viewer painted no page"
stop "$started"
echo "offscreen: first page painted"

# 3. On X through the xcb plugin, the same screen as the same viewer gives here.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1200x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(cat "$work/display")
[ -n "$display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$display"
mkdir -p "$(dirname "$shot")"
start_until_painted "$work/xcb.log" "${inside[@]}" --display "$display" --env QT_QPA_PLATFORM=xcb -- "$viewer/lumora" ||
  fail "started on X, the viewer painted no page"
grab "$shot" || fail "no picture of the screen"
stop "$started"
home=$(mktemp -d)
start_until_painted "$work/host.log" env HOME="$home" XDG_CONFIG_HOME="$home" XDG_CACHE_HOME="$home" \
  LUMORA_REPORT=1 QT_QPA_PLATFORM=xcb "$viewer/lumora" || fail "the viewer painted no page on this machine"
grab "$work/host-roll-page.png" || fail "no picture of the screen"
stop "$started"
rm -rf "$home"
"$build/tests/screen-grab" --compare "$shot" "$work/host-roll-page.png" ||
  fail "the roll page differs from the one this machine shows ($shot, $work/host-roll-page.png)"
echo "xcb: the roll page as on this machine, in $shot"

# 4. The rolls, sorted in the user's language with the trimmed collation data
# as the full system sorts them (Swedish puts Å, Ä and Ö after Z).
for name in "Ärlig" "Zoo" "Åsa" "apple" "Öster"; do cp -r "$disc/Pictures/Garden" "$disc/Pictures/$name"; done
list=$("${inside[@]}" --env LANG=sv_SE.UTF-8 -- "$viewer/lumora" --list 2>/dev/null) || fail "--list failed: $list"
full=$(LANG=sv_SE.UTF-8 LD_LIBRARY_PATH=/usr/lib/x86_64-linux-gnu "$viewer/lumora" --list 2>/dev/null)
rolls=$(grep '^Roll "' <<<"$list" | cut -d'"' -f2 | paste -sd'|')
[ "$rolls" = "apple|City Walk|Coast 2019|Garden|Zoo|Åsa|Ärlig|Öster" ] || fail "--list gave the rolls $rolls"
[ "$list" = "$full" ] || fail "--list differs from the full system's: $(diff <(echo "$list") <(echo "$full"))"
echo "--list: $rolls"
echo "PASSED"
