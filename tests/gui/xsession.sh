# Sourced by the window tests that run on a real X server (Xvfb):
#
#   xsession_start SOURCE_DIR SCRATCH_DIR FIRST_DISPLAY TOOL...
#
# checks that the tools are installed, makes a fresh SCRATCH_DIR with home/ (holding
# empty.html) and a private run/ folder, exports KESTRUNE_HOME, XDG_RUNTIME_DIR and DISPLAY (the
# first free display from FIRST_DISPLAY on) and KESTRUNE_NO_MESSAGE_BOX, starts Xvfb there and waits for it. Processes
# added to `pids` are killed when the script ends. Sets `home`.
#
#   wait_for PATTERN SECONDS       waits for PATTERN in $log, else fail
# `fail` (the script's own) reports and ends the test.

xsession_start() {
  local source_dir=$1 scratch=$2 n=$3
  shift 3
  for tool in Xvfb xdpyinfo "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
  done
  rm -rf "$scratch"
  mkdir -p "$scratch/home" "$scratch/run"
  chmod 700 "$scratch/run"
  home=$scratch/home
  cp "$source_dir/data/empty.html" "$home/"
  # Never a message box: nobody would close it.
  export XDG_RUNTIME_DIR=$scratch/run KESTRUNE_HOME=$home KESTRUNE_NO_MESSAGE_BOX=1
  pids=()
  trap xsession_cleanup EXIT
  # shellcheck source=../support/xdisplay.sh
  source "$source_dir/tests/support/xdisplay.sh"
  start_xvfb 1024x768x24 || { echo "no X server came up" >&2; exit 1; }
  pids+=("$xvfb_pid")
}

xsession_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

wait_for() {  # pattern, seconds
  for _ in $(seq $(($2 * 10))); do grep -q -- "$1" "$log" && return 0; sleep 0.1; done
  fail "no '$1' in the log after $2 s"
}
