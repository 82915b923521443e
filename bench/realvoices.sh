#!/usr/bin/env bash
# Dictation on recordings of real people (../shared/devdata/realspeech and
# pocketsphinx-testdata's librivox readings): per reader, words wrong with a
# trigram of that reader's own sentences and with the general English model;
# then the effect of `varnelo-speech train` on five recordings under each of
# the training's checks. Then the real-time factor on one core and the phrase
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
# own: the reader's own-sentence model on all the reader's recordings;
# general: the general English model on them. Then trainings as a new user
# makes one: TRAIN recordings (default 5) in turn from each of the reader's
# groups of TRAIN (at most FOLDS, default 4), each scored with the
# own-sentence model on the recordings outside its group, before and after.
# One training per group with `--check none` gives the adapted model's effect
# ("always") and what the rotated check saw, from which the rules that read
# it decide (rotated: kept when no more words were wrong; fewer: only when
# fewer; room, the one in use: as rotated, unless the model in use got all
# but one word in 25 right); the earliest rule (heldback, every fourth recording)
# is run on its own, and installs the same model when it keeps one. A refused
# training changes nothing (0). The trainings run with the shipped
# dictation model in use, as a new user's do. Per reader the mean change
# over its trainings in points; "s" the `--check none` trainings' median
# wall seconds; "warps" the frequency warp each of them chose.
per=${TRAIN:-5} folds=${FOLDS:-4}
rules=(always heldback rotated fewer room)
printf '%-8s %6s %8s | %8s' reader own general before
for c in "${rules[@]}"; do printf ' | %-8s %3s' "$c" kept; done
printf ' | %5s | %s\n' s warps
declare -A total accepted worse
n_train=0
for r in "${readers[@]}"; do
  awk -F'\t' -v r="$r" '$1 == r' "$scratch/all.tsv" > "$scratch/$r.tsv"
  cut -f3 "$scratch/$r.tsv" > "$scratch/$r.txt"
  bash "$here/sentence_lm.sh" "$scratch/$r.txt" "$scratch/$r.lm.bin"
  own=(--lm "$scratch/$r.lm.bin" --dict "$dict")
  o=$(wer "$scratch/$r.tsv" "$r" "${own[@]}") g=$(wer "$scratch/$r.tsv" "$r" --general)
  groups=$(( $(wc -l < "$scratch/$r.tsv") / per ))
  [ "$groups" -gt "$folds" ] && groups=$folds
  [ "$groups" -ge 1 ] || { echo "$r: fewer than $per recordings" >&2; continue; }
  declare -A sum=() kept=()
  befores=0 times=() warps=()
  for ((f = 0; f < groups; f++)); do
    awk -v f=$f -v n="$per" 'int((NR - 1) / n) == f' "$scratch/$r.tsv" > "$scratch/train.tsv"
    awk -v f=$f -v n="$per" 'int((NR - 1) / n) != f' "$scratch/$r.tsv" > "$scratch/test.tsv"
    cut -f3 "$scratch/train.tsv" > "$scratch/prompts"
    mapfile -t wavs < <(cut -f2 "$scratch/train.tsv" | sed "s|^|$scratch/audio/|")
    b=$(wer "$scratch/test.tsv" "$r" "${own[@]}")
    befores=$(awk -v t="$befores" -v d="$b" 'BEGIN {print t + d}')
    "$tool" train --reset > /dev/null
    TIMEFORMAT='%R'
    if ! { time taskset -c 0,1 "$tool" train --check none "$scratch/prompts" "${wavs[@]}" > "$scratch/train.log" 2>&1; } 2> "$scratch/time"; then
      sed 's/^/  /' "$scratch/train.log" >&2
      continue
    fi
    times+=("$(cat "$scratch/time")")
    warps+=("$(sed -n 's/^The voice is heard with a frequency warp of \([0-9.]*\)\.$/\1/p' "$scratch/train.log" | grep . || echo 1.00)")
    a=$(wer "$scratch/test.tsv" "$r" "${own[@]}" --hmm "$XDG_CONFIG_HOME/varnelo-speech/trained")
    d=$(awk -v a="$b" -v b="$a" 'BEGIN {print b - a}')
    # "... of W words, B were heard wrong before the training and A after."
    read -r W B A < <(grep -o 'of [0-9]* words, [0-9]* were heard wrong before the training and [0-9]*' "$scratch/train.log" | awk '{print $2, $4, $NF}') || { echo "$r: the check's figures are missing" >&2; W=0 B=0 A=1; }
    "$tool" train --reset > /dev/null
    "$tool" train --check heldback "$scratch/prompts" "${wavs[@]}" > "$scratch/held.log" 2>&1 || sed 's/^/  /' "$scratch/held.log" >&2
    [ -d "$XDG_CONFIG_HOME/varnelo-speech/trained" ] && h=1 || h=0
    for c in "${rules[@]}"; do
      case $c in
        always) k=1 ;; heldback) k=$h ;;
        rotated) k=$(( A <= B )) ;; fewer) k=$(( A < B )) ;;
        room) k=$(( A <= B && B * 25 > W )) ;;
      esac
      [ "$k" = 1 ] && sum[$c]=$(awk -v t="${sum[$c]:-0}" -v d="$d" 'BEGIN {print t + d}') && kept[$c]=$(( ${kept[$c]:-0} + 1 ))
    done
  done
  line=$(printf '%-8s %5s%% %7s%% | %7.1f%%' "$r" "$o" "$g" "$(awk -v t="$befores" -v n="$groups" 'BEGIN {print t / n}')")
  for c in "${rules[@]}"; do
    m=$(awk -v t="${sum[$c]:-0}" -v n="$groups" 'BEGIN {printf "%+.1f", t / n}')
    line+=$(printf ' | %8s %3s' "$m" "${kept[$c]:-0}/$groups")
    total[$c]=$(awk -v t="${total[$c]:-0}" -v d="$m" 'BEGIN {print t + d}')
    # readers made worse by more than 2 points, on their mean
    awk -v d="$m" 'BEGIN {exit !(d > 2)}' && worse[$c]=$(( ${worse[$c]:-0} + 1 ))
    accepted[$c]=$(( ${accepted[$c]:-0} + ${kept[$c]:-0} ))
  done
  line+=$(printf ' | %5s' "$(printf '%s\n' "${times[@]}" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')")
  line+=" | $(IFS=,; echo "${warps[*]}")"
  echo "$line"
  allbefore=$(awk -v t="${allbefore:-0}" -v d="$(awk -v t="$befores" -v n="$groups" 'BEGIN {print t / n}')" 'BEGIN {print t + d}')
  n_train=$(( n_train + groups ))
  unset sum kept
done
for c in "${rules[@]}"; do
  awk -v c="$c" -v t="${total[$c]:-0}" -v b="${allbefore:-0}" -v n="${#readers[@]}" -v a="${accepted[$c]:-0}" -v m="$n_train" -v w="${worse[$c]:-0}" \
    'BEGIN {printf "%-8s mean change %+.2f points of %.1f %% (%.1f %% cut); %d of %d trainings kept; %d readers worse by over 2 points\n", c, t / n, b / n, (b > 0 ? -100 * t / b : 0), a, m, w}'
done
"$tool" train --reset > /dev/null
# Speed on one core: the first reader's recordings with the shipped
# dictation model, the real-time factor and the phrase latency.
[ "${SPEED:-1}" = 0 ] && exit 0
first=${readers[0]}
taskset -c 0 "$bench" "$scratch/$first.tsv" "$scratch/audio" --latency 20 | sed -n '/^voice/,$p'
