#!/usr/bin/env bash
# Read-back of written text against its spoken form: each line of WRITTEN
# and of SPOKEN is read by each voice through `varnelo-speech speak --wav`,
# and the recordings are heard back by the general English model in one
# bench_dictation run per form (the model loads once, not per sentence as in
# readback.sh), both scored against SPOKEN.
#   readback_forms.sh BUILD WRITTEN.txt SPOKEN.txt VOICE...
# Recordings are kept in BUILD/bench/readback-audio/FORM/VOICE and made again
# when the text changes.
set -euo pipefail
build=$(cd "$1" && pwd)
written=$2 spoken=$3
shift 3
tool=$build/tools/speech/varnelo-speech
bench=$build/bench/bench_dictation
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# No settings: what a new user gets.
export XDG_CONFIG_HOME=$scratch/config LANG=en_US.UTF-8
mkdir -p "$XDG_CONFIG_HOME"
audio=$build/bench/readback-audio
voices=("$@") names=()
for v in "${voices[@]}"; do names+=("${v//\//-}"); done
for form in written spoken; do
  text=$written
  [ "$form" = spoken ] && text=$spoken
  out=$audio/$form
  mkdir -p "$out"
  if ! cmp -s "$text" "$out/sentences.txt"; then
    rm -rf "${out:?}"/*
    cp "$text" "$out/sentences.txt"
  fi
  for k in "${!names[@]}"; do
    mkdir -p "$out/${names[$k]}"
    n=0
    while IFS= read -r line || [ -n "$line" ]; do
      n=$((n + 1))
      dst=$(printf '%s/%s/%03d.wav' "$out" "${names[$k]}" "$n")
      [ -n "$line" ] && [ ! -s "$dst" ] || continue
      "$tool" speak --voice "${voices[$k]}" --wav "$scratch/s.wav" "$line"
      # No dither: the same text gives the same recording in both forms.
      sox "$scratch/s.wav" -D -r 16000 -c 1 -b 16 -e signed-integer "$dst"
    done < "$text"
  done
  "$bench" "$spoken" "$out" --voices "$(IFS=,; echo "${names[*]}")" --general > "$scratch/$form"
done
printf '%-16s %10s %10s %6s\n' voice written spoken gap
for name in "${names[@]}" all; do
  w=$(awk -v v="$name" '$1 == v {print $4}' "$scratch/written")
  s=$(awk -v v="$name" '$1 == v {print $4}' "$scratch/spoken")
  awk -v n="$name" -v w="$w" -v s="$s" 'BEGIN {printf "%-16s %9.1f%% %9.1f%% %+6.1f\n", n, w, s, w - s}'
done
