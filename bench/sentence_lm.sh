#!/usr/bin/env bash
# A trigram made of the very sentences read (one per line): the language
# model no real use can beat, to see how far the acoustic side alone gets.
#   sentence_lm.sh SENTENCES.txt OUT.lm.bin
set -euo pipefail
in=$1 out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export IRSTLM=/usr/lib/irstlm PATH=/usr/lib/irstlm/bin:$PATH
add-start-end.sh < "$in" > "$work/s.se"
# Twenty sentences may have no n-gram seen twice, which improved Kneser-Ney
# cannot estimate discounts from (irstlm then writes no model): Witten-Bell can.
for smoothing in improved-kneser-ney witten-bell; do
  rm -rf "$work/stat" "$work/lm.ilm.gz"
  build-lm.sh -i "$work/s.se" -n 3 -o "$work/lm.ilm.gz" -k 1 -s $smoothing -t "$work/stat" > "$work/log" 2>&1 ||
    { cat "$work/log" >&2; exit 1; }
  [ -s "$work/lm.ilm.gz" ] && break
done
compile-lm "$work/lm.ilm.gz" --text=yes "$work/s.arpa" > /dev/null 2>&1
sphinx_lm_convert -i "$work/s.arpa" -o "$out" > "$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
