#!/usr/bin/env bash
# The installed program (from install_tree.sh's ROOT) run by a user with an empty home and
# none of KESTRUNE_HOME, XDG_DATA_HOME: it creates ~/.local/share/kestrune, fills it from
# /usr/share/kestrune with the files' times kept, finds 中國 in CC-CEDICT, writes nothing under
# the install root, and on a second run (and runs in other time zones) reuses the folder as it is.
# Usage: installed_program.sh ROOT SCRATCH
set -euo pipefail
root=$1 scratch=$2 zone=
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$root/usr/bin/kestrune" ] || fail "no installed program in $root"
rm -rf "$scratch"
home=$scratch/home
mkdir -p "$home"

listing() { (cd "$1" && find . -printf '%p %y %s %m %T@\n' | LC_ALL=C sort); }
run_lookup() {
  local code=0
  (cd "$scratch" && env -u KESTRUNE_HOME -u TZ -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" ${zone:+TZ="$zone"} \
    KESTRUNE_NO_MESSAGE_BOX=1 "$root/usr/bin/kestrune" lookup --json 中国 \
    >"$scratch/out.json" 2>"$scratch/err.txt") || code=$?
  if [ $code -ne 0 ]; then
    cat "$scratch/err.txt" >&2
    fail "kestrune lookup 中国 exited with $code"
  fi
  grep -qF '"name": "CC-CEDICT"' "$scratch/out.json" || fail "CC-CEDICT did not answer: $(head -c 600 "$scratch/out.json")"
  grep -qF '"traditional": "中國"' "$scratch/out.json" || fail "中國 not found: $(head -c 600 "$scratch/out.json")"
}

before=$(listing "$root")
run_lookup
[ "$(listing "$root")" = "$before" ] || {
  diff <(echo "$before") <(listing "$root") >&2 || true
  fail "the run wrote under the install root"
}

user=$home/.local/share/kestrune
[ -d "$user" ] || fail "the user folder $user was not created"
data=$root/usr/share/kestrune
for f in "$data"/*; do
  copy=$user/$(basename "$f")
  [ -f "$copy" ] || fail "the user folder lacks $(basename "$f")"
  cmp -s "$f" "$copy" || fail "$(basename "$f") differs from the installed file"
  [ "$(stat -c %Y "$f")" = "$(stat -c %Y "$copy")" ] || fail "$(basename "$f") lost its time"
done

# The second run: the same folder, nothing copied again.
seeded=$(listing "$user")
run_lookup
[ "$(listing "$user")" = "$seeded" ] || {
  diff <(echo "$seeded") <(listing "$user") >&2 || true
  fail "the second run changed the user folder"
}
[ "$(listing "$root")" = "$before" ] || fail "the second run wrote under the install root"

# Runs in other zones than the one the package was built in: the shipped indexes stay valid
# and nothing is deleted or rebuilt.
for zone in '<-12>12' '<+0545>-5:45' '<+14>-14'; do
  run_lookup
  [ "$(listing "$user")" = "$seeded" ] || {
    diff <(echo "$seeded") <(listing "$user") >&2 || true
    fail "a run in the zone $zone changed the user folder"
  }
done
zone=
echo "the installed program works from $user"
