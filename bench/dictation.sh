#!/usr/bin/env bash
# Dictation figures on our development sentences (bench/dictation_dev.txt),
# spoken by six synthetic voices: words wrong per voice with the general
# English model and with the shipped radiology model, the real-time factor on
# one core, and the phrase latency after the end of speech.
# The recordings are made once into BUILD/bench/dictation-audio.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bench/bench_dictation
if [ ! -x "$bench" ]; then
  echo "bench_dictation not built (needs the GUI build)"
  exit 0
fi
text=$here/dictation_dev.txt audio=$build/bench/dictation-audio
bash "$here/speak_voices.sh" "$text" "$audio" 2>/dev/null
# One core each: the real-time factor is that of one core.
taskset -c 0 "$bench" "$text" "$audio" --general
taskset -c 0 "$bench" "$text" "$audio" --latency 20
