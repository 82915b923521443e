#!/usr/bin/env bash
# Builds the speech service, its command-line tool and the tests that touch
# speech/ with clang-14 under AddressSanitizer + UndefinedBehaviorSanitizer
# (asan) or ThreadSanitizer (tsan) in a build folder of its own, then runs
# those tests there.
#
#   scripts/sanitize-speech.sh asan|tsan BUILD_DIR [CTEST_REGEX]
#
# Debian's Qt, PulseAudio, PocketSphinx and espeak-ng are not instrumented:
# under ThreadSanitizer their own synchronisation is invisible, so reports
# whose racing accesses are inside those libraries are suppressed
# (tests/hardening/tsan.supp); the races in our code are what is looked at.
# Leaks those libraries keep to the end of the process are suppressed too
# (tests/hardening/lsan.supp). APP=1 adds the main window's speech tests
# (builds the application as well); TARGETS="..." builds only those programs.
set -euo pipefail
mode=${1:?usage: sanitize-speech.sh asan|tsan BUILD_DIR [CTEST_REGEX]}
bin=${2:?usage: sanitize-speech.sh asan|tsan BUILD_DIR [CTEST_REGEX]}
regex=${3:-speech|tool|reco|voice|learn|training}
src=$(cd "$(dirname "$0")/.." && pwd)
case $mode in
  asan) flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
        link="-fsanitize=address,undefined" ;;
  tsan) flags="-fsanitize=thread -fno-omit-frame-pointer"
        link="-fsanitize=thread" ;;
  *) echo "unknown mode: $mode (asan or tsan)" >&2; exit 2 ;;
esac
if [ ! -f "$bin/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$src" -B "$bin" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" \
    -DVARNELO_SANITIZER_CHILD=ON >/dev/null
fi
targets=(varnelo-speech speech_text_tests speech_textforms_tests speech_learn_tests speech_training_tests
  speech_voice_tests speech_reco_tests speech_noserver_tests speech_mixlm_tests speech_files_tests)
[ -z "${APP:-}" ] || { targets+=(app_speech_tests); regex="$regex|app\\.speech"; }
# TARGETS="..." builds only those (the run is then limited by CTEST_REGEX).
[ -z "${TARGETS:-}" ] || read -ra targets <<<"$TARGETS"
cmake --build "$bin" -j "${JOBS:-2}" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$src/tests/hardening/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=suppressions=$src/tests/hardening/tsan.supp:halt_on_error=0:second_deadlock_stack=1:history_size=4
cd "$bin"
# Programs that were not built (the rest of the tree) are not run.
exclude="^sanitize\\.|^fuzz_regressions|interop|packaging"
[ -n "${APP:-}" ] || exclude="$exclude|^app\\."
ctest --output-on-failure -j "${JOBS:-2}" --timeout 1200 -R "$regex" -E "$exclude"
