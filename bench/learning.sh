#!/usr/bin/env bash
# Learning the user's language: reports of one terse chest X-ray radiologist
# (bench/learning_reports.py, a style of his own), split by report into a
# learned part and a held-out part. For each synthetic voice, words wrong on
# sentences of the held-out reports before and after `varnelo-speech learn`
# on the learned part, and on our development sentences (bench/
# dictation_dev.txt, which his reports do not cover) before and after; then
# the time and peak memory of learning 1,000,000 words.
#   learning.sh BUILD [LEARNED_REPORTS] [TEST_SENTENCES]
# Recordings are made once into BUILD/bench/learning-audio and
# BUILD/bench/dictation-audio.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/speech_tools.rc"
voices=(rms slt kal16 hts-slt ked)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The learned model goes to a settings folder of our own, not the user's.
export XDG_CONFIG_HOME=$scratch/config

# 300 reports: 240 learned, sentences of 60 held out (as spoken: normalised by
# the same learn, one sentence a line).
if [ $# -ge 3 ]; then
  cp "$2" "$scratch/learn.txt"
  cp "$3" "$scratch/test.txt"
  audio=$build/bench/learning-audio-$(md5sum < "$3" | cut -c1-8)
else
  /usr/bin/python3 "$here/learning_reports.py" 2101 300 "$scratch/all.txt"
  head -n 240 "$scratch/all.txt" > "$scratch/learn.txt"
  tail -n 60 "$scratch/all.txt" > "$scratch/held.txt"
  "$tool" learn "$scratch/held.txt" > /dev/null
  awk 'NF >= 3' "$XDG_CONFIG_HOME/varnelo-speech/learned/sentences.txt" | head -n 100 > "$scratch/test.txt"
  "$tool" learn --reset > /dev/null
  audio=$build/bench/learning-audio
fi
echo "learned: $(wc -l < "$scratch/learn.txt") reports, $(wc -w < "$scratch/learn.txt") words as typed;" \
     "held out: $(wc -l < "$scratch/test.txt") sentences, $(wc -w < "$scratch/test.txt") words"
dev=$here/dictation_dev.txt dev_audio=$build/bench/dictation-audio
bash "$here/speak_voices.sh" "$scratch/test.txt" "$audio" "${voices[@]}" 2>/dev/null
bash "$here/speak_voices.sh" "$dev" "$dev_audio" "${voices[@]}" 2>/dev/null

wer() {  # SENTENCES AUDIO [bench options]: "voice WER" lines
  local text=$1 au=$2; shift 2
  nice taskset -c 0 "$bench" "$text" "$au" --voices "$(IFS=,; echo "${voices[*]}")" "$@" |
    awk '$1 ~ /^(rms|slt|kal16|hts-slt|ked|all)$/ {print $1, $4}'
}
wer "$scratch/test.txt" "$audio" > "$scratch/test-before"
wer "$dev" "$dev_audio" > "$scratch/dev-before"
start=$(date +%s.%N)
"$tool" learn "$scratch/learn.txt"
end=$(date +%s.%N)
model=$XDG_CONFIG_HOME/varnelo-speech/learned/model
wer "$scratch/test.txt" "$audio" --lm "$model/learned.lm.bin" --dict "$model/learned.dict" > "$scratch/test-after"
wer "$dev" "$dev_audio" --lm "$model/learned.lm.bin" --dict "$model/learned.dict" > "$scratch/dev-after"
printf '\nlearned in %.1f s\n\n' "$(echo "$end - $start" | bc)"
printf '%-8s %14s %14s %14s %14s\n' voice "held-out before" "after learn" "dev before" "dev after"
join <(sort "$scratch/test-before") <(sort "$scratch/test-after") > "$scratch/t"
join <(sort "$scratch/dev-before") <(sort "$scratch/dev-after") > "$scratch/d"
join "$scratch/t" "$scratch/d" | while read -r v a b c d; do
  printf '%-8s %13s%% %13s%% %13s%% %13s%%\n' "$v" "$a" "$b" "$c" "$d"
done

# 1,000,000 words learned at once on two cores: his reports repeat
# themselves, so our varied corpus text makes up most of it.
"$tool" learn --reset > /dev/null
/usr/bin/python3 "$here/learning_reports.py" 7 3500 "$scratch/big.txt"
cat "$build/share/varnelo/speech/corpus.txt" >> "$scratch/big.txt"
words=$(wc -w < "$scratch/big.txt")
/usr/bin/time -f '%e %M' -o "$scratch/time" taskset -c 0,1 "$tool" learn "$scratch/big.txt" > /dev/null
read -r secs kb < "$scratch/time"
printf '\nlearning %s words as typed: %s s, peak resident memory %d MB\n' "$words" "$secs" "$((kb / 1024))"
"$tool" learn --status
