#!/usr/bin/env bash
# Speech service figures, each against a private PulseAudio server:
#  words   - word event latency after its audio reaches the sink, against
#            scheduling the same events by wall time from the Speak call;
#  phrases - recognition latency after the end of each spoken phrase;
#  rtf     - dictation real-time factor on one core (free dictation against
#            a phrase grammar).
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$build/bench/bench_speech" ]; then
  echo "bench_speech not built (needs the GUI build)"
  exit 0
fi
run() { "$here/../tests/speech/with-pulse.sh" "$build/bench/pulse-speech" "$@"; }
run "$build/bench/bench_speech" words
run "$build/bench/bench_speech" phrases
run taskset -c 0 "$build/bench/bench_speech" rtf
