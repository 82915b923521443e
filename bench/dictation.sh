#!/usr/bin/env bash
# Dictation figures on four development sets, spoken by six synthetic voices:
# findings (bench/dictation_dev.txt), technologists' and nurses' notes
# (bench/dictation_notes.txt), ordinary English (bench/dictation_everyday.txt)
# and measurements (bench/dictation_measure.txt, said as radiologists say
# them, with their written form in bench/dictation_measure_written.txt; a
# second set in other words, measure2, checks that the first is not fitted).
# Words wrong per voice with the general English model and with the shipped
# model, the real-time factor on one core, and the phrase latency after the
# end of speech.  For the measurements also the display text against the
# written form ("written"), and read-back: the written and the spoken
# sentences read by the read-back voices and heard back by the general model
# (bench/readback_forms.sh), both scored against the spoken form.
#   dictation.sh BUILD [bench_dictation options for the shipped model, e.g. --lm F --dict F]
# VOICES="rms slt" runs only those voices; SETS="measure" only those sets;
# READBACK_VOICES="cmu_us_slt" the read-back voices (READBACK_VOICES=none: no read-back).
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
read -r -a sets <<< "${SETS:-findings notes everyday measure measure2}"
declare -A text=([findings]=$here/dictation_dev.txt [notes]=$here/dictation_notes.txt
                 [everyday]=$here/dictation_everyday.txt [measure]=$here/dictation_measure.txt
                 [measure2]=$here/dictation_measure2.txt)
declare -A audio=([findings]=$build/bench/dictation-audio [notes]=$build/bench/dictation-audio-notes
                  [everyday]=$build/bench/dictation-audio-everyday [measure]=$build/bench/dictation-audio-measure
                  [measure2]=$build/bench/dictation-audio-measure2)
# Sets with a written form: the display text is scored against it too.
written() { echo "$here/dictation_${1}_written.txt"; }
label() { [ "$1" = measure2 ] && echo meas2 || echo "${1:0:5}"; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for s in "${sets[@]}"; do
  bash "$here/speak_voices.sh" "${text[$s]}" "${audio[$s]}" "${voices[@]}" 2>/dev/null
  # One core each: the real-time factor is that of one core.
  taskset -c 0 "$bench" "${text[$s]}" "${audio[$s]}" --voices "$(IFS=,; echo "${voices[*]}")" --general > "$scratch/$s.general"
  extra=()
  [ -f "$(written "$s")" ] && extra=(--written "$(written "$s")")
  taskset -c 0 "$bench" "${text[$s]}" "${audio[$s]}" --voices "$(IFS=,; echo "${voices[*]}")" "${extra[@]}" "$@" > "$scratch/$s.shipped"
done
first=${sets[0]}
head -n 1 "$scratch/$first.shipped"
# One table: WER % per voice, set and model; "flite+fest" leaves espeak out.
printf '%-10s' voice
for s in "${sets[@]}"; do printf ' %10s %10s' "$(label "$s")-gen" "$(label "$s")-ship"; done
for s in "${sets[@]}"; do [ -f "$(written "$s")" ] && printf ' %10s' "$(label "$s")-wr"; done
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
  for s in "${sets[@]}"; do
    [ -f "$(written "$s")" ] || continue
    # The display text against the written form.
    awk -v v="$v" '
      $1 ~ /^(rms|slt|kal16|hts-slt|ked|espeak)$/ && (v == "all" || $1 == v || (v == "five" && $1 != "espeak")) {w += $6; e += $7}
      END {printf " %9.1f%%", w ? 100 * e / w : 0}' "$scratch/$s.shipped"
  done
  awk -v v="$v" '$1 == v {r = $5} END {printf " %6s\n", r}' "$scratch/$first.shipped"
done
taskset -c 0 "$bench" "${text[$first]}" "${audio[$first]}" "$@" --voices "${voices[0]}" --latency 20 | tail -n 1
# Load time of the shipped model and the recogniser's memory.
grep '^model load' "$scratch/$first.shipped" | sed 's/^/shipped /'
grep '^model load' "$scratch/$first.general" | sed 's/^/general /'
# Read-back of the measurements: the written sentences and the spoken ones,
# each read aloud and heard back by the general model, both scored against
# the spoken form (bench/readback_forms.sh).
read -r -a rvoices <<< "${READBACK_VOICES:-cmu_us_slt gmw/en-US}"
if [ "${rvoices[0]}" != none ] && [[ " ${sets[*]} " == *" measure "* ]]; then
  echo "read-back of the measurements (heard by the general model, against the spoken form)"
  bash "$here/readback_forms.sh" "$build" "$(written measure)" "$here/dictation_measure.txt" "${rvoices[@]}"
fi
