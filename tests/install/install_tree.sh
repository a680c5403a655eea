#!/usr/bin/env bash
# Installs the build as a package would be (prefix /usr under a scratch DESTDIR) and checks the
# layout: every file in its place, the viewer where the entry looks for it, no run-time path
# into the build tree.
# Usage: install_tree.sh BUILD_DIR ROOT WITH_VIEWER(ON|OFF)
set -euo pipefail
build=$1 root=$2 viewer=$3
rm -rf "$root"
mkdir -p "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
usr=$root/usr
id=org.kestrune.Kestrune
need=(bin/kestrune share/kestrune/empty.html share/kestrune/readme.html
      share/man/man1/kestrune.1.gz share/doc/kestrune/copyright share/doc/kestrune/changelog.gz)
if [ "$viewer" = ON ]; then
  need+=(share/applications/$id.desktop share/metainfo/$id.metainfo.xml
         share/icons/hicolor/scalable/apps/$id.svg)
  for s in 16 22 24 32 48 64 128 256; do need+=(share/icons/hicolor/${s}x$s/apps/$id.png); done
fi
for f in "${need[@]}"; do [ -s "$usr/$f" ] || fail "missing or empty: /usr/$f"; done
[ -x "$usr/bin/kestrune" ] || fail "/usr/bin/kestrune is not executable"

# Each dictionary with its index, each with the time of its build copy.
shopt -s nullglob
ceds=("$usr"/share/kestrune/*.ced)
[ ${#ceds[@]} -gt 0 ] || fail "no dictionary in /usr/share/kestrune"
for ced in "${ceds[@]}"; do
  idx=${ced%.ced}.idx
  [ -s "$idx" ] || fail "no index beside $ced"
  for f in "$ced" "$idx"; do
    [ "$(stat -c %Y "$f")" = "$(stat -c %Y "$build/bin/$(basename "$f")")" ] ||
      fail "$(basename "$f") lost its time on install"
  done
done

# The PNG icons have the size their folder names.
if [ "$viewer" = ON ]; then
  for s in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${s}x$s/apps/$id.png
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${s}x$s" ] || fail "$png is $dims"
  done
fi

# The viewer in the library folder, exactly one, executable; no RPATH/RUNPATH into the build.
execs=("$usr/bin/kestrune")
if [ "$viewer" = ON ]; then
  viewers=("$usr"/lib*/kestrune/kestrune-viewer "$usr"/lib/*/kestrune/kestrune-viewer)
  [ ${#viewers[@]} -eq 1 ] || fail "expected one kestrune-viewer under /usr/lib, found ${#viewers[@]}"
  [ -x "${viewers[0]}" ] || fail "${viewers[0]} is not executable"
  execs+=("${viewers[0]}")
fi
# The text recognizer beside the viewer, where "kestrune ocr" looks for it.
ocr=("$usr"/lib*/kestrune/libkestrune-ocr.so "$usr"/lib/*/kestrune/libkestrune-ocr.so)
[ ${#ocr[@]} -eq 1 ] || fail "expected one libkestrune-ocr.so under /usr/lib, found ${#ocr[@]}"
execs+=("${ocr[0]}")
for e in "${execs[@]}"; do
  if readelf -d "$e" | grep -E 'R(UN)?PATH' | grep -qF "$(cd "$build" && pwd -P)"; then
    fail "$e keeps a run-time path into the build tree"
  fi
done
echo "installed into $root"
