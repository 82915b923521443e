#!/usr/bin/env bash
# Main window speech figures against a private PulseAudio server: bench/app_speech.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$build/bench/bench_app_speech" ]; then
  echo "bench_app_speech not built (needs the GUI build)"
  exit 0
fi
run() { "$here/../tests/speech/with-pulse.sh" "$build/bench/pulse-app-speech" "$@"; }
run "$build/bench/bench_app_speech" words
run "$build/bench/bench_app_speech" phrases
