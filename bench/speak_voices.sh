#!/usr/bin/env bash
# Speaks each line of a text file in the synthetic voices that the dictation
# figures use, as 16 kHz mono WAV files: OUT/VOICE/NNN.wav.
#   speak_voices.sh SENTENCES.txt OUT [VOICE...]
# Voices: rms slt kal16 (flite), hts-slt ked (festival), espeak (espeak-ng en-us).
set -euo pipefail
text=$1 out=$2
shift 2
voices=("$@")
[ ${#voices[@]} -gt 0 ] || voices=(rms slt kal16 hts-slt ked espeak)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Recordings are kept by line number: a changed text makes them all again.
mkdir -p "$out"
if ! cmp -s "$text" "$out/sentences.txt"; then
  for v in "${voices[@]}"; do rm -rf "${out:?}/$v"; done
  cp "$text" "$out/sentences.txt"
fi
for v in "${voices[@]}"; do
  mkdir -p "$out/$v"
  n=0
  while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    [ -n "$line" ] || continue
    dst=$(printf '%s/%s/%03d.wav' "$out" "$v" "$n")
    [ -s "$dst" ] && continue
    case $v in
      rms|slt|kal16) flite -voice "$v" -t "$line" -o "$scratch/s.wav" ;;
      hts-slt|ked)
        voice=voice_cmu_us_slt_arctic_hts
        [ "$v" = ked ] && voice=voice_ked_diphone
        printf '%s\n' "$line" > "$scratch/s.txt"
        text2wave -eval "($voice)" -o "$scratch/s.wav" "$scratch/s.txt" ;;
      espeak) espeak-ng -v en-us -w "$scratch/s.wav" "$line" ;;
      *) echo "unknown voice: $v" >&2; exit 2 ;;
    esac
    sox "$scratch/s.wav" -r 16000 -c 1 -b 16 -e signed-integer "$dst"
  done < "$text"
done
