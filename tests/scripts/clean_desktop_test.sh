#!/usr/bin/env bash
# A disc's viewer on the clean desktop (scripts/clean-desktop: no Qt, no fonts): ldd finds every
# library of the program and its plugins; offscreen it paints its first page; on Xvfb through xcb
# it paints the roll page as the same viewer does on this machine (build/screenshots/
# clean-desktop-roll-page.png); --list sorts the rolls as the full system does. Needs root: where
# it is not root or cannot mount and chroot, it is skipped, and under CI it fails.
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
  exit 77
}
[ "$(id -u)" -eq 0 ] || cannot "needs root (debootstrap, mount, chroot)"
scripts/clean-desktop build >/dev/null || fail "the clean system could not be made"
scripts/clean-desktop run -- /bin/true || cannot "cannot mount or chroot here"
rm -rf --one-file-system "$disc"
"$build/tools/make-disc" --sizes Tiny,Thumb,Small --viewer "$build/LMR" "$disc" >"$work/make-disc.log" 2>&1 ||
  fail "make-disc: $(tail -n 3 "$work/make-disc.log")"
inside=(scripts/clean-desktop run --bind "$disc" --env LUMORA_REPORT=1)
grab() { QT_QPA_PLATFORM=xcb "$build/tests/screen-grab" "$@"; }
pids=()
trap 'kill "${pids[@]}" 2>/dev/null' EXIT
# Starts a command (never a function, whose subshell would outlive a kill) and
# waits until it says it painted its first page; Started holds its process.
start_until_painted() {
  local log="$1"; shift
  "$@" >"$log" 2>&1 &
  started=$!
  pids+=("$started")
  for _ in $(seq 600); do
    grep -q "first page painted" "$log" && return 0
    kill -0 "$started" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log"
  return 1
}
stop() { kill "$started"; wait "$started"; }

plugins=$(find "$viewer/plugins" -name '*.so')
# shellcheck disable=SC2086
ldd=$("${inside[@]}" -- /usr/bin/ldd "$viewer/lumora" $plugins 2>&1)
grep -q "libQt6Core.so.6 => $viewer/lib/" <<<"$ldd" || fail "ldd: $ldd"
! grep "not found" <<<"$ldd" || fail "libraries neither the clean system nor the viewer folder has"

start_until_painted "$work/offscreen.log" "${inside[@]}" --env QT_QPA_PLATFORM=offscreen -- "$viewer/lumora" ||
  fail "started offscreen, the viewer painted no page"
stop

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
stop
home=$(mktemp -d)
start_until_painted "$work/host.log" env HOME="$home" XDG_CONFIG_HOME="$home" XDG_CACHE_HOME="$home" \
  LUMORA_REPORT=1 QT_QPA_PLATFORM=xcb "$viewer/lumora" || fail "the viewer painted no page on this machine"
grab "$work/host-roll-page.png" || fail "no picture of the screen"
stop
rm -rf "$home"
grab --compare "$shot" "$work/host-roll-page.png" || fail "the roll page differs from this machine's ($work/host-roll-page.png)"

# Swedish puts Å, Ä and Ö after Z: the trimmed collation data must know it.
for name in "Ärlig" "Zoo" "Åsa" "apple" "Öster"; do cp -r "$disc/Pictures/Garden" "$disc/Pictures/$name"; done
list=$("${inside[@]}" --env LANG=sv_SE.UTF-8 -- "$viewer/lumora" --list 2>/dev/null) || fail "--list failed: $list"
full=$(LANG=sv_SE.UTF-8 LD_LIBRARY_PATH=/usr/lib/x86_64-linux-gnu "$viewer/lumora" --list 2>/dev/null)
rolls=$(grep '^Roll "' <<<"$list" | cut -d'"' -f2 | paste -sd'|')
[ "$rolls" = "apple|City Walk|Coast 2019|Garden|Zoo|Åsa|Ärlig|Öster" ] || fail "--list gave the rolls $rolls"
[ "$list" = "$full" ] || fail "--list differs from the full system's: $(diff <(echo "$list") <(echo "$full"))"
echo "PASSED: every library found, painted offscreen and on X as here, rolls $rolls"
