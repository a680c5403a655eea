#!/usr/bin/env bash
# The popup on a tiling Wayland desktop: sway, headless, with swaybar as the tray host on a
# private session bus. `kestrune popup` must give a floating window of the popup's own size,
# centred (Wayland tells no pointer position), whether the main window is hidden in the tray
# or shown; Esc and a click elsewhere (the focus moving to another window) close it. sway refuses
# to run as root: as root, sway and the viewer run as the user nobody.
#
#   popup_sway.sh KESTRUNE_BINARY SOURCE_DIR SCRATCH_DIR
set -euo pipefail
bin=$1
source_dir=$2
scratch=$3
for tool in sway swaymsg wtype dbus-run-session dbus-send python3 setpriv; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "missing the toolkit's Wayland platform (qt6-wayland, scripts/install-deps.sh)" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
home=$scratch/home
log=$scratch/viewer.log
as_user() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody: "$scratch"
  as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$scratch" "$@"; }
fi
as_user test -x "$bin" -a -r "$source_dir/data/empty.html" ||
  { echo "FAIL: $bin or $source_dir is out of reach of $(as_user id -un)" >&2; exit 1; }

export XDG_RUNTIME_DIR=$scratch/run KESTRUNE_HOME=$home KESTRUNE_NO_MESSAGE_BOX=1
export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
export QT_QPA_PLATFORM=wayland QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK DBUS_SESSION_BUS_ADDRESS
as_user cp "$source_dir/data/empty.html" "$home/"
printf '中國 中国 [Zhong1 guo2] /China/\n學習 学习 [xue2 xi2] /to learn/\n' >"$scratch/small.u8"
as_user "$bin" import "$scratch/small.u8" --name Small >/dev/null

cat >"$scratch/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x800
bar {
    position top
    status_command true
    tray_output *
}
EOF
as_user dbus-run-session -- sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >"$1/bus"; exec sway -c "$1/sway.conf"' \
  _ "$scratch" >"$scratch/sway.log" 2>&1 &
session=$!
viewer=""
cleanup() {
  set +e
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null
  [ -n "${SWAYSOCK:-}" ] && as_user swaymsg exit >/dev/null 2>&1
  sleep 0.5
  kill "$session" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- viewer log:" >&2; cat "$log" >&2 2>/dev/null
  echo "--- sway log:" >&2; tail -20 "$scratch/sway.log" >&2
  exit 1
}

for _ in $(seq 100); do
  SWAYSOCK=$(ls "$scratch"/run/sway-ipc.*.sock 2>/dev/null | head -1) || true
  WAYLAND_DISPLAY=$(cd "$scratch/run" && ls wayland-* 2>/dev/null | grep -v lock | head -1) || true
  [ -n "$SWAYSOCK" ] && [ -n "$WAYLAND_DISPLAY" ] && [ -s "$scratch/bus" ] && break
  sleep 0.1
done
[ -n "$SWAYSOCK" ] && [ -n "$WAYLAND_DISPLAY" ] || fail "sway did not start"
export SWAYSOCK WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS=$(cat "$scratch/bus")
# The viewer looks for a tray when it starts: swaybar's tray must be on the bus first.
for _ in $(seq 100); do
  as_user dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null |
    grep -q true && break
  sleep 0.1
done

# The window of the given title in sway's tree: "floating|tiled WIDTH HEIGHT X Y" of the window
# and "WIDTH HEIGHT X Y" of the workspace, or nothing.
window() {
  as_user swaymsg -t get_tree | python3 -c '
import json, sys
title = sys.argv[1]
def walk(node, workspace, floating):
    if node.get("type") == "workspace":
        workspace = node["rect"]
    if node.get("name") == title and node.get("type") in ("con", "floating_con"):
        r, w = node["rect"], workspace
        print("floating" if floating else "tiled", r["width"], r["height"], r["x"], r["y"],
              w["width"], w["height"], w["x"], w["y"])
    for child in node.get("nodes", []):
        walk(child, workspace, False)
    for child in node.get("floating_nodes", []):
        walk(child, workspace, True)
walk(json.load(sys.stdin), None, False)' "$1"
}
wait_window() {  # title: waits until sway maps it
  local w=""
  for _ in $(seq 200); do
    w=$(window "$1")
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
# A popup: floating, of its own size (well below the screen's), centred on the workspace.
check_popup() {  # title, what
  local kind width height x y ww wh wx wy
  read -r kind width height x y ww wh wx wy <<<"$(wait_window "$1")" || fail "$2: no popup mapped"
  [ "$kind" = floating ] || fail "$2: the popup is $kind at ${width}x$height"
  [ "$width" -ge 200 ] && [ "$width" -le 960 ] && [ "$height" -ge 100 ] && [ "$height" -le 600 ] ||
    fail "$2: the popup is ${width}x$height"
  local cx=$((wx + (ww - width) / 2)) cy=$((wy + (wh - height) / 2))
  [ $((x - cx)) -ge -1 ] && [ $((x - cx)) -le 1 ] && [ $((y - cy)) -ge -1 ] && [ $((y - cy)) -le 1 ] ||
    fail "$2: the popup is at $x,$y, not centred ($cx,$cy)"
  echo "ok: $2: floating ${width}x$height at $x,$y"
}

as_user "$bin" 2>"$log" &
viewer=$!
for _ in $(seq 300); do [ -S "$scratch/run/kestrune.sock" ] && break; sleep 0.1; done
[ -S "$scratch/run/kestrune.sock" ] || fail "the viewer did not start"
as_user "$bin" popup 中国 || fail "kestrune popup"
check_popup "中国 - Kestrune" "main window in the tray"
[ -z "$(window Kestrune)" ] || fail "the main window is shown: the viewer found no tray"
# Esc from the keyboard (wtype: a virtual keyboard, the headless desktop has none).
as_user wtype -k Escape || fail "wtype"
for _ in $(seq 50); do [ -z "$(window "中国 - Kestrune")" ] && break; sleep 0.1; done
[ -z "$(window "中国 - Kestrune")" ] || fail "Esc left the popup open"
echo "ok: Esc closed the popup"

as_user "$bin" show || fail "kestrune show"
main=$(wait_window Kestrune) || fail "the main window is not shown"
as_user "$bin" popup 学习 || fail "kestrune popup"
check_popup "学习 - Kestrune" "main window shown"
as_user swaymsg '[title="^Kestrune$"] focus' >/dev/null || fail "swaymsg focus"
for _ in $(seq 50); do [ -z "$(window "学习 - Kestrune")" ] && break; sleep 0.1; done
[ -z "$(window "学习 - Kestrune")" ] || fail "the popup stayed when another window took the focus"
echo "ok: the popup closed when the main window took the focus (main window: $main)"
