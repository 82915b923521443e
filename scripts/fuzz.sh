#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in their own build folder and runs
# each for a bounded time, one after the other, at low priority.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]     (TARGET: see fuzz/targets.txt)
#
# Each target starts from its corpus in the repository (fuzz/corpus/TARGET),
# the seeds made from the test files and the saved findings; what it finds
# lands in BUILD_DIR/fuzz-work/TARGET and is merged back into fuzz/corpus/TARGET
# afterwards (libFuzzer -merge=1: only inputs that reach something new), so a
# fresh clone goes on where the last campaign stopped. FUZZ_MINIMISE=1 instead
# rebuilds each corpus from scratch out of the old one and the new finds,
# keeping the fewest inputs that reach the same; FUZZ_NO_MERGE=1 leaves the
# corpora alone. Findings land in BUILD_DIR/fuzz-artifacts/TARGET/. Extra
# libFuzzer options can be given in FUZZ_OPTIONS, the per-input time limit in
# FUZZ_TIMEOUT (20 s: an input may draw a bitmap of up to 1 GiB, seconds under
# the sanitizers); FUZZ_NO_BUILD=1 runs the targets as built.
# Exits non-zero when a target found something.
set -euo pipefail
build=${1:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
src=$(cd "$(dirname "$0")/.." && pwd)
list="$src/fuzz/targets.txt"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(awk '/^[a-z]/ {print $1}' "$list")
mkdir -p "$build"
build=$(cd "$build" && pwd)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DVARNELO_FUZZ=ON -DVARNELO_GUI=OFF -DVARNELO_TESTS=OFF >/dev/null
fi
[ -n "${FUZZ_NO_BUILD:-}" ] || cmake --build "$build" -j "${JOBS:-2}" --target varnelo-fuzz-all

seeds="$build/fuzz-seeds"
if [ ! -d "$seeds" ] || [ -n "${FUZZ_RESEED:-}" ]; then
  /usr/bin/python3 "$src/scripts/fuzz-seeds.py" "$seeds"
fi

# One allocation may hold at most one frame of 1 GiB; inputs beyond 64 KiB
# are cut, also when merged into the corpus.
limits=(-timeout="${FUZZ_TIMEOUT:-20}" -rss_limit_mb=3072 -malloc_limit_mb=1100 -max_len=65536)

status=0
summary=""
for t in "${targets[@]}"; do
  dict=$(awk -v t="$t" '$1 == t {print $2}' "$list")
  [ -n "$dict" ] || { echo "unknown fuzz target: $t (see $list)" >&2; exit 2; }
  fuzzer="$build/fuzz/varnelo-fuzz-$t"
  corpus="$src/fuzz/corpus/$t"
  work="$build/fuzz-work/$t"
  artifacts="$build/fuzz-artifacts/$t"
  rm -rf "$work"
  mkdir -p "$corpus" "$work" "$artifacts" "$seeds/$t"
  regressions=()
  [ -d "$src/tests/data/fuzz-regressions/$t" ] && regressions=("$src/tests/data/fuzz-regressions/$t")
  log="$build/fuzz-$t.log"
  before=$(ls "$corpus" | wc -l)
  echo "== fuzz $t for ${seconds}s (log: $log)"
  set +e
  # New inputs go to the first folder only: the repository's corpus changes
  # by the merge below, never in the middle of a run.
  nice -n 10 "$fuzzer" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
    -dict="$src/fuzz/$dict" -artifact_prefix="$artifacts/" ${FUZZ_OPTIONS:-} \
    "$work" "$corpus" "$seeds/$t" "${regressions[@]}" >"$log" 2>&1
  rc=$?
  set -e
  # A run stopped before its first report has no figures: "?" below.
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}' | tail -1 || true)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}' || true)
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | awk '{print $2}' || true)
  if [ $rc -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|invariant|Test unit written' "$log" | head -20 || true
  fi
  merged=""
  if [ -z "${FUZZ_NO_MERGE:-}" ]; then
    # Inputs that crashed are in the artifacts, not in the work folder; the
    # merge runs in a crash-resistant child all the same, and what it trips
    # on lands beside them (not in the current folder).
    if [ -n "${FUZZ_MINIMISE:-}" ]; then
      fresh="$build/fuzz-work/$t.minimised"
      rm -rf "$fresh" && mkdir -p "$fresh"
      if nice -n 10 "$fuzzer" -merge=1 "${limits[@]}" -artifact_prefix="$artifacts/" "$fresh" "$corpus" "$work" "$seeds/$t" >>"$log" 2>&1; then
        find "$corpus" -mindepth 1 -maxdepth 1 -type f -delete
        find "$fresh" -mindepth 1 -maxdepth 1 -type f -exec cp -t "$corpus" {} +
      fi
      rm -rf "$fresh"
    else
      nice -n 10 "$fuzzer" -merge=1 "${limits[@]}" -artifact_prefix="$artifacts/" "$corpus" "$work" "$seeds/$t" >>"$log" 2>&1 || true
    fi
    merged=" corpus=$before->$(ls "$corpus" | wc -l) ($(du -sk "$corpus" | cut -f1) KiB)"
  fi
  line="$t: rc=$rc executions=${execs:-?} cov=${cov:-?} ft=${ft:-?} found=$(ls "$work" | wc -l)$merged artifacts=$(ls "$artifacts" | wc -l)"
  echo "$line"
  summary+="$line"$'\n'
done
echo "== summary"
printf '%s' "$summary"
exit $status
