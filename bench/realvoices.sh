#!/usr/bin/env bash
# Dictation on recordings of real people (../shared/devdata/realspeech and
# pocketsphinx-testdata's librivox readings): per reader, words wrong with a
# trigram of that reader's own sentences on all recordings; then, on the
# second half, with the general English model and the own-sentence one,
# before and after `varnelo-speech train` on the first half under each of the
# training's checks. Then the real-time factor on one core and the phrase
# latency (SPEED=0 leaves it out).
#   realvoices.sh BUILD [READER...]
set -euo pipefail
build=$(cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
dev=${REALSPEECH:-$here/../../shared/devdata/realspeech}  # another checkout's: REALSPEECH=...
if [ ! -d "$dev" ]; then
  echo "realvoices: no development recordings (../shared/devdata/realspeech); skipped"
  exit 0
fi
. "$here/speech_tools.rc"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config
dict=/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict
# READER TAB FILE TAB SENTENCE, the files under one folder.
mkdir -p "$scratch/audio"
ln -s "$dev/wav" "$scratch/audio/so762"
join -t $'\t' <(sort "$dev/speakers.tsv") <(sort "$dev/transcripts.tsv") |
  awk -F'\t' '{print "so" $2 "\tso762/" $1 "\t" $5}' > "$scratch/all.tsv"
libri=/usr/share/pocketsphinx/test/data/librivox
if [ -f "$libri/transcription" ]; then
  ln -s "$libri" "$scratch/audio/librivox"
  sed -E 's/^<s> (.*) <\/s> \((.*)\)$/\2\t\1/' "$libri/transcription" |
    awk -F'\t' '{print "libri\tlibrivox/" $1 ".wav\t" tolower($2)}' > "$scratch/libri.tsv"
  cat "$scratch/libri.tsv" >> "$scratch/all.tsv"
fi
readers=("$@")
[ ${#readers[@]} -gt 0 ] || mapfile -t readers < <(cut -f1 "$scratch/all.tsv" | awk '!seen[$0]++')
wer() {  # LIST READER [options]: the reader's WER in percent
  local list=$1 r=$2; shift 2
  nice "$bench" "$list" "$scratch/audio" --voices "$r" "$@" | awk -v r="$r" '$1 == r {print $4}'
}
# own: the reader's own-sentence model on all the reader's recordings; then,
# on the second half only, the general and the own-sentence model with the
# shipped acoustic model, and the own-sentence model with the one trained on
# the first half under each check (CHECKS, default "heldback rotated fewer":
# the earliest rule, every fourth recording held back; every recording held
# back once, kept when no more words were wrong; the same, kept only when
# fewer were); "kept" when the check kept the shipped model, which then
# scores as before. Each training's seconds: wall, then CPU (its tools and
# threads too).
read -r -a checks <<< "${CHECKS:-heldback rotated fewer}"
hdr=$(printf '%-8s %6s | %8s %8s' reader own general own-2nd)
for c in "${checks[@]}"; do hdr+=$(printf ' | %-9s %8s %11s' "$c" "change" "s/CPU s"); done
echo "$hdr"
declare -A total accepted
for r in "${readers[@]}"; do
  awk -F'\t' -v r="$r" '$1 == r' "$scratch/all.tsv" > "$scratch/$r.tsv"
  half=$(( $(wc -l < "$scratch/$r.tsv") / 2 ))
  head -n "$half" "$scratch/$r.tsv" > "$scratch/$r.train.tsv"
  tail -n +$((half + 1)) "$scratch/$r.tsv" > "$scratch/$r.test.tsv"
  cut -f3 "$scratch/$r.tsv" > "$scratch/$r.txt"
  bash "$here/sentence_lm.sh" "$scratch/$r.txt" "$scratch/$r.lm.bin"
  own=(--lm "$scratch/$r.lm.bin" --dict "$dict")
  o=$(wer "$scratch/$r.tsv" "$r" "${own[@]}")
  g2=$(wer "$scratch/$r.test.tsv" "$r" --general) o2=$(wer "$scratch/$r.test.tsv" "$r" "${own[@]}")
  cut -f3 "$scratch/$r.train.tsv" > "$scratch/$r.prompts"
  mapfile -t wavs < <(cut -f2 "$scratch/$r.train.tsv" | sed "s|^|$scratch/audio/|")
  line=$(printf '%-8s %5s%% | %7s%% %7s%%' "$r" "$o" "$g2" "$o2")
  for c in "${checks[@]}"; do
    "$tool" train --reset > /dev/null
    # As with the shipped prompts, which the dictation model holds, the
    # check hears the recordings with a model that holds the sentences.
    mkdir -p "$XDG_CONFIG_HOME/varnelo-speech"
    printf '[Engine]\nDictionary=%s\nLanguageModel=%s\n' "$dict" "$scratch/$r.lm.bin" > "$XDG_CONFIG_HOME/varnelo-speech/speech.ini"
    TIMEFORMAT='%R %U %S'
    if { time taskset -c 0,1 "$tool" train --check "$c" "$scratch/$r.prompts" "${wavs[@]}" > "$scratch/train.log" 2>&1; } 2> "$scratch/time"; then
      seconds=$(awk '{printf "%.1f/%.1f", $1, $2 + $3}' "$scratch/time")
      hmm=$XDG_CONFIG_HOME/varnelo-speech/trained
      sed 's/^/    /' "$scratch/train.log" | head -1 >&2
      if [ -d "$hmm" ]; then
        o3=$(wer "$scratch/$r.test.tsv" "$r" "${own[@]}" --hmm "$hmm")
        accepted[$c]=$(( ${accepted[$c]:-0} + 1 ))
        shown=$o3%
      else
        o3=$o2 shown=kept
      fi
      change=$(awk -v a="$o2" -v b="$o3" 'BEGIN {printf "%+.1f", b - a}')
      total[$c]=$(awk -v t="${total[$c]:-0}" -v d="$change" 'BEGIN {print t + d}')
    else
      seconds=failed shown=- change=-
      sed 's/^/  /' "$scratch/train.log" >&2
    fi
    line+=$(printf ' | %-9s %8s %11s' "$shown" "$change" "$seconds")
  done
  echo "$line"
done
for c in "${checks[@]}"; do
  awk -v c="$c" -v t="${total[$c]:-0}" -v n="${#readers[@]}" -v a="${accepted[$c]:-0}" \
    'BEGIN {printf "%-9s mean change %+.2f points on the second half; %d of %d trainings accepted\n", c, t / n, a, n}'
done
"$tool" train --reset > /dev/null
# Speed on one core: the first reader's recordings with the shipped
# dictation model, the real-time factor and the phrase latency.
[ "${SPEED:-1}" = 0 ] && exit 0
first=${readers[0]}
taskset -c 0 "$bench" "$scratch/$first.tsv" "$scratch/audio" --latency 20 | sed -n '/^voice/,$p'
