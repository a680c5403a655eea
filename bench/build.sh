# Sourced by the benchmark scripts: builds the binaries that users run, the way the README
# builds them (scripts/run.sh: RelWithDebInfo, the viewer on, no other options), into the
# benchmarks' own build folder build-bench/, and only the targets asked for.
#
#   bench_build TARGET...      sets $bench_bin to the program folder of the build (kestrune,
#                              kestrune-viewer, the plugin, the dictionary) and
#                              $bench_programs to the folder of the benchmark programs

bench_build() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  local build=${KESTRUNE_BENCH_BUILD:-$root/build-bench}
  bash "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target "$@" >/dev/null
  bench_bin=$build/bin
  bench_programs=$build/bench
}
