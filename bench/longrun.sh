#!/usr/bin/env bash
# Long runs of the main window (offscreen, private PulseAudio server):
#   longrun.sh BUILD [dictation] [readback] [select]   (LONGRUN=1: all three)
# dictation - DICTATION_MINUTES (30) of continuous dictation through the
#             sound server's microphone: bench/dictation_dev.txt in a loop,
#             spoken by flite's rms and slt voices in turn, heard through a
#             phrase grammar of the sentences (DICTATION_MODE=free: free
#             dictation with the shipped model, the text scored);
# readback  - a READBACK_WORDS-word (20000) comment read by each of
#             READBACK_VOICES ("cmu_us_slt gmw/en-US"), stopped after
#             READBACK_MINUTES (150: to the end at speaking pace), after the
#             word marks of the whole comment made at synthesis speed;
# select    - SELECTIONS (1000) selections over good and broken files,
#             the fuzz regressions of the loader among them.
# The recordings are made once into BUILD/bench/longrun-audio.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
bench=${BENCH_LONGRUN:-$build/bench/bench_longrun}
if [ ! -x "$bench" ]; then
  echo "bench_longrun not built (needs the GUI build)"
  exit 0
fi
parts=("$@")
if [ ${#parts[@]} -eq 0 ]; then
  # `make bench` runs every script: these take hours unless asked for.
  if [ -z "${LONGRUN:-}" ]; then
    echo "long runs skipped (hours): LONGRUN=1 bench/longrun.sh BUILD, or name the parts"
    exit 0
  fi
  parts=(dictation readback select)
fi
sentences=$here/dictation_dev.txt
rc=0
for part in "${parts[@]}"; do
  case "$part" in
    dictation)
      audio=$build/bench/longrun-audio
      mkdir -p "$audio"
      n=0
      while IFS= read -r line; do
        [ -n "$line" ] || continue
        n=$((n + 1))
        out=$audio/$(printf %03d "$n").raw
        [ -s "$out" ] && continue
        voice=$([ $((n % 2)) = 1 ] && echo rms || echo slt)
        flite -voice "$voice" -t "$line" -o "$audio/tmp.wav"
        sox "$audio/tmp.wav" -t raw -r 16000 -c 1 -b 16 -e signed-integer "$out"
      done < "$sentences"
      rm -f "$audio/tmp.wav"
      mode=${DICTATION_MODE:-grammar}
      "$here/../tests/speech/with-pulse.sh" "$build/bench/pulse-longrun-dictation-$mode" \
        "$bench" dictation "$sentences" "$audio" "${DICTATION_MINUTES:-30}" "${DICTATION_GAP_MS:-1500}" "$mode" || rc=1
      ;;
    readback)
      read -r -a voices <<< "${READBACK_VOICES:-cmu_us_slt gmw/en-US}"
      for v in "${voices[@]}"; do
        # The whole comment's word marks at synthesis speed (its audio, some
        # 350 MB, is held whole by this path), then the real read-back.
        "$here/../tests/speech/with-pulse.sh" "$build/bench/pulse-longrun-marks-${v//\//-}" \
          "$bench" marks "$sentences" "${READBACK_WORDS:-20000}" "$v" || rc=1
        "$here/../tests/speech/with-pulse.sh" "$build/bench/pulse-longrun-readback-${v//\//-}" \
          "$bench" readback "$sentences" "${READBACK_WORDS:-20000}" "$v" "${READBACK_MINUTES:-150}" || rc=1
      done
      ;;
    select)
      QT_QPA_PLATFORM=offscreen "$bench" select "${SELECTIONS:-1000}" "$here/../tests/data/fuzz-regressions" || rc=1
      ;;
    *)
      echo "unknown part $part" >&2
      exit 2
      ;;
  esac
done
exit $rc
