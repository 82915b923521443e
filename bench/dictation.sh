#!/usr/bin/env bash
# Dictation figures on three development sets, spoken by six synthetic voices:
# findings (bench/dictation_dev.txt), technologists' and nurses' notes
# (bench/dictation_notes.txt) and ordinary English (bench/dictation_everyday.txt).
# Words wrong per voice with the general English model and with the shipped
# model, the real-time factor on one core, and the phrase latency after the
# end of speech.
#   dictation.sh BUILD [bench_dictation options for the shipped model, e.g. --lm F --dict F]
# VOICES="rms slt" runs only those voices.
# The recordings are made once into BUILD/bench/dictation-audio[-SET].
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bench/bench_dictation
if [ ! -x "$bench" ]; then
  echo "bench_dictation not built (needs the GUI build)"
  exit 0
fi
read -r -a voices <<< "${VOICES:-rms slt kal16 hts-slt ked espeak}"
sets=(findings notes everyday)
declare -A text=([findings]=$here/dictation_dev.txt [notes]=$here/dictation_notes.txt
                 [everyday]=$here/dictation_everyday.txt)
declare -A audio=([findings]=$build/bench/dictation-audio [notes]=$build/bench/dictation-audio-notes
                  [everyday]=$build/bench/dictation-audio-everyday)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for s in "${sets[@]}"; do
  bash "$here/speak_voices.sh" "${text[$s]}" "${audio[$s]}" "${voices[@]}" 2>/dev/null
  # One core each: the real-time factor is that of one core.
  taskset -c 0 "$bench" "${text[$s]}" "${audio[$s]}" --voices "$(IFS=,; echo "${voices[*]}")" --general > "$scratch/$s.general"
  taskset -c 0 "$bench" "${text[$s]}" "${audio[$s]}" --voices "$(IFS=,; echo "${voices[*]}")" "$@" > "$scratch/$s.shipped"
done
head -n 1 "$scratch/findings.shipped"
# One table: WER % per voice, set and model; "flite+fest" leaves espeak out.
printf '%-10s' voice
for s in "${sets[@]}"; do printf ' %10s %10s' "${s:0:5}-gen" "${s:0:5}-ship"; done
printf ' %6s\n' RTF
for v in "${voices[@]}" five all; do
  printf '%-10s' "$([ "$v" = five ] && echo flite+fest || echo "$v")"
  for s in "${sets[@]}"; do
    for m in general shipped; do
      awk -v v="$v" '
        $1 ~ /^(rms|slt|kal16|hts-slt|ked|espeak)$/ && (v == "all" || $1 == v || (v == "five" && $1 != "espeak")) {w += $2; e += $3}
        END {printf " %9.1f%%", w ? 100 * e / w : 0}' "$scratch/$s.$m"
    done
  done
  awk -v v="$v" '$1 == v {r = $5} END {printf " %6s\n", r}' "$scratch/findings.shipped"
done
taskset -c 0 "$bench" "${text[findings]}" "${audio[findings]}" "$@" --voices "${voices[0]}" --latency 20 | tail -n 1
# Load time of the shipped model and the recogniser's memory (findings run).
grep '^model load' "$scratch/findings.shipped" | sed 's/^/shipped /'
grep '^model load' "$scratch/findings.general" | sed 's/^/general /'
