#!/usr/bin/env bash
# Builds the dictation model from the corpus (corpus.py over corpus/*.txt):
#   build-model.sh OUTDIR BASE.dict GENERAL.lm.bin RANKWORDS MIXLM
# OUTDIR gets corpus.txt, radiology.arpa, radiology.lm.bin, radiology.dict and
# prompts.txt (the sentences read to train the recogniser on a voice: a fixed
# list, so that a change of corpus does not change what users read or what
# their kept recordings say; prompts.py chose them).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1 base=$2 general=$3 rankwords=$4 mixlm=$5
# The general model's commonest words kept, and its share of every
# probability, chosen on our development sentences (bench/dictation.sh).
general_words=${GENERAL_WORDS:-20000} general_share=${GENERAL_SHARE:-0.5}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3
"$python" "$here/corpus.py" > "$work/corpus.txt"
# Trigrams with improved Kneser-Ney smoothing.
export IRSTLM=/usr/lib/irstlm PATH=/usr/lib/irstlm/bin:$PATH
add-start-end.sh < "$work/corpus.txt" > "$work/corpus.se"
build-lm.sh -i "$work/corpus.se" -n 3 -o "$work/lm.ilm.gz" -k 1 -s improved-kneser-ney -t "$work/stat" > "$work/build-lm.log" 2>&1 ||
  { cat "$work/build-lm.log" >&2; exit 1; }
compile-lm "$work/lm.ilm.gz" --text=yes "$work/corpus.arpa" > /dev/null
"$rankwords" "$general" "$base" > "$work/ranked.txt"
"$mixlm" "$general" "$work/ranked.txt" "$general_words" "$work/corpus.arpa" \
  "$("$python" -c "print(1 - $general_share)")" "$work/radiology.arpa"
sphinx_lm_convert -i "$work/radiology.arpa" -o "$work/radiology.lm.bin" > "$work/convert.log" 2>&1 ||
  { cat "$work/convert.log" >&2; exit 1; }
"$python" "$here/pronounce.py" "$base" "$work/corpus.txt" "$work/radiology.dict" "$work/ranked.txt" "$general_words"
cp "$here/prompts.txt" "$work/prompts.txt"
for f in corpus.txt radiology.arpa radiology.lm.bin radiology.dict prompts.txt; do
  mv -f "$work/$f" "$out/$f"
done
