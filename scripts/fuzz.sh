#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in their own build folder and runs
# each for a bounded time, one after the other, at low priority.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]     (TARGET: load writer lossless rle jpeg jpegext learntext clinicalforms)
#
# The corpus of each target grows in BUILD_DIR/fuzz-corpus/TARGET across runs;
# findings land in BUILD_DIR/fuzz-artifacts/TARGET/. Extra libFuzzer options
# can be given in FUZZ_OPTIONS, the per-input time limit in FUZZ_TIMEOUT (20 s:
# an input may draw a bitmap of up to 1 GiB, seconds under the sanitizers);
# FUZZ_NO_BUILD=1 runs the targets as built.
# Exits non-zero when a target found something.
set -euo pipefail
build=${1:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(load writer lossless rle jpeg jpegext learntext clinicalforms)
src=$(cd "$(dirname "$0")/.." && pwd)
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

status=0
summary=""
for t in "${targets[@]}"; do
  case "$t" in
    load|writer) dict=dicom.dict ;;
    lossless|jpeg|jpegext) dict=jpeg.dict ;;
    rle) dict=rle.dict ;;
    learntext) dict=learntext.dict ;;
    clinicalforms) dict=clinicalforms.dict ;;
    *) echo "unknown fuzz target: $t" >&2; exit 2 ;;
  esac
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts" "$seeds/$t"
  regressions=()
  [ -d "$src/tests/data/fuzz-regressions/$t" ] && regressions=("$src/tests/data/fuzz-regressions/$t")
  log="$build/fuzz-$t.log"
  echo "== fuzz $t for ${seconds}s (log: $log)"
  # One allocation may hold at most one frame of 1 GiB.
  set +e
  nice -n 10 "$build/fuzz/varnelo-fuzz-$t" \
    -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-20}" -rss_limit_mb=3072 -malloc_limit_mb=1100 \
    -max_len=65536 -print_final_stats=1 \
    -dict="$src/fuzz/$dict" -artifact_prefix="$artifacts/" ${FUZZ_OPTIONS:-} \
    "$corpus" "$seeds/$t" "${regressions[@]}" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}' | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}')
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | awk '{print $2}')
  line="$t: rc=$rc executions=${execs:-?} cov=${cov:-?} ft=${ft:-?} corpus=$(ls "$corpus" | wc -l) artifacts=$(ls "$artifacts" | wc -l)"
  echo "$line"
  summary+="$line"$'\n'
  if [ $rc -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|invariant|Test unit written' "$log" | head -20 || true
  fi
done
echo "== summary"
printf '%s' "$summary"
exit $status
