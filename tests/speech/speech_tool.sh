#!/usr/bin/env bash
# varnelo-speech on good and bad recordings: exit status, and what it prints.
#   speech_tool.sh VARNELO_SPEECH
set -euo pipefail
tool=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The service's settings of whoever runs the tests stay out of it.
. "$(dirname "$0")/../common/own-home.sh" "$scratch/own"
# No sound server: speak writes WAV files, and says so when it has nowhere to play.
export PULSE_SERVER=unix:/nonexistent/varnelo-no-server
fails=0 passes=0

flite -voice slt -t "no fracture is seen period" -o "$scratch/say.wav"
sox "$scratch/say.wav" -r 16000 -c 1 -b 16 "$scratch/mono16k.wav"
sox "$scratch/say.wav" -r 44100 -c 2 -b 16 "$scratch/stereo44k.wav"
sox "$scratch/say.wav" -r 16000 -c 1 -b 8 "$scratch/eight.wav"
sox "$scratch/say.wav" -r 16000 -c 3 -b 16 "$scratch/three.wav"
flite -voice slt -t "the nodule measures five millimeters period" -o "$scratch/measure.wav"
printf 'not a recording\n' > "$scratch/text.wav"
head -c 30 "$scratch/mono16k.wav" > "$scratch/cut-header.wav"
head -c 20000 "$scratch/mono16k.wav" > "$scratch/cut-data.wav"
printf 'no fracture is seen\nno fracture is seen\n' > "$scratch/prompts-two.txt"
printf 'no fracture is seen\nno %%%%%% is seen\n' > "$scratch/prompts-noletters.txt"
printf 'no fracture is seen\n' > "$scratch/prompts-one.txt"
sox -n -r 16000 -c 1 -b 16 "$scratch/quiet.wav" trim 0 2
printf 'Luftsichel sign present; Rigler sign seen.\n' > "$scratch/report.txt"
printf 'GIF89a\0\0\1\0' > "$scratch/picture.gif"
cp -r "$(dirname "$0")/../../samples" "$scratch/samples"

# name | arguments | exit status | text the output must hold (stdout, else stderr)
while IFS='|' read -r name args status want; do
  [ -n "$name" ] || continue
  # shellcheck disable=SC2086
  set +e
  out=$(cd "$scratch" && "$tool" $args 2>"$scratch/err")
  rc=$?
  set -e
  err=$(cat "$scratch/err")
  if [ "$rc" != "$status" ]; then
    echo "FAIL $name: exit $rc, want $status ($err)"; fails=$((fails + 1)); continue
  fi
  if ! grep -qF -- "$want" <<<"$out$err"; then
    echo "FAIL $name: output lacks '$want': $out $err"; fails=$((fails + 1)); continue
  fi
  echo "ok   $name"
  passes=$((passes + 1))
done <<'CASES'
no arguments||2|usage
unknown command|listen x.wav|2|usage
mono 16 kHz, replacements|transcribe mono16k.wav|0|no fracture is seen.
mono 16 kHz, raw words|transcribe --raw mono16k.wav|0|no fracture is seen period
stereo 44.1 kHz converted|transcribe --raw stereo44k.wav|0|fracture is seen
a measurement in its written form|transcribe measure.wav|0|measures 5 mm.
a measurement as the recogniser's words|transcribe --raw measure.wav|0|measures five millimeters period
missing file|transcribe nowhere.wav|1|nowhere.wav could not be opened
not a WAV file|transcribe text.wav|1|not a WAV file we can read
header cut short|transcribe cut-header.wav|1|not a WAV file we can read
cut-off sound data kept|transcribe --raw cut-data.wav|0|no
8-bit samples refused|transcribe eight.wav|1|only 16-bit PCM
three channels refused|transcribe three.wav|1|only mono and stereo
no file named|transcribe --raw|2|usage
prompts|prompts|0|
train without recordings|train prompts-two.txt|2|usage
train, fewer recordings than prompts|train prompts-two.txt mono16k.wav|1|2 prompts but 1 recordings
train, a broken recording|train prompts-two.txt mono16k.wav text.wav|1|not a WAV file we can read
train, a missing prompts file|train nowhere.txt mono16k.wav|1|nowhere.txt could not be opened
train, a word without letters|train prompts-noletters.txt mono16k.wav mono16k.wav|1|"%%%" of prompt 2 cannot be pronounced
train, one recording: none to hold back|train prompts-one.txt mono16k.wav|1|At least two recordings are needed
train, a silent recording|train prompts-two.txt mono16k.wav quiet.wav|1|Recording 2 holds no speech
train again, nothing kept|train --again|1|No recordings are kept
train again, prompts without recordings|train --again prompts-two.txt|2|usage
train again, a silent recording|train --again prompts-two.txt mono16k.wav quiet.wav|1|Recording 2 holds no speech
learn without paths|learn|2|usage
learn, an unknown option|learn --all report.txt|2|usage
learn status, nothing learned|learn --status|0|Nothing is learned
learn, only a binary file|learn picture.gif|1|skipped picture.gif: binary data, not text
learn, still nothing learned|learn --status|0|Nothing is learned
learn, a missing file named, the rest learned|learn report.txt nowhere.txt|1|skipped nowhere.txt: does not exist
learn status after learning|learn --status|0|Learned: 2 sentences, 6 words, 2 new words.
learn adds up|learn report.txt|0|Learned 2 sentences (6 words) from 1 files.
learn status, both learns|learn --status|0|Learned: 4 sentences, 12 words, 2 new words.
learn reset|learn --reset|0|the shipped language model is used again
learn the bundled samples, most images without a comment|learn samples|0|3 DICOM files without an image comment had nothing to learn
learn reset after the samples|learn --reset|0|the shipped language model is used again
learn status after reset|learn --status|0|Nothing is learned
voices, the natural one in use|voices|0|* cmu_us_
voices takes no arguments|voices all|2|usage
speak without text|speak|2|usage
speak, two texts|speak one two|2|usage
speak, an unknown option|speak --loud hello|2|usage
speak, --wav without a file|speak --wav|2|usage
speak, --voice without a name|speak hello --voice|2|usage
speak, an unknown voice|speak --voice nosuch --wav out.wav hello|1|no voice is called "nosuch"
speak into a missing folder|speak --wav nowhere/out.wav hello|1|nowhere/out.wav could not be written
speak into a folder|speak --wav . hello|1|could not be written
speak, no sound server|speak hello|1|audio output
speak --words into a WAV|speak --words --wav words.wav fracture|0|0	8	
CASES

check() {  # name, condition...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; passes=$((passes + 1)); else echo "FAIL $name"; fails=$((fails + 1)); fi
}

# speak --wav and --words on awkward text, in a voice of each engine: the WAV
# is 16-bit mono and says the text; each word is inside the text, after the
# one before, and the words a reader sees are there.
text=$(printf 'No fracture\r\nis seen, caf\xc3\xa9 \xf0\x9f\x98\x80 \xe8\x82\xba 12 mm!!!!!!!!!!!!')
for voice in cmu_us_slt "English (Great Britain)"; do
  rm -f "$scratch/said.wav"
  printf '%s' "$text" | "$tool" speak --voice "$voice" --words --wav "$scratch/said.wav" - > "$scratch/words.txt"
  check "$voice: the WAV is 16-bit mono" [ "$(soxi -b "$scratch/said.wav")/$(soxi -c "$scratch/said.wav")" = 16/1 ]
  check "$voice: the WAV holds a few seconds" [ "$(soxi -s "$scratch/said.wav")" -gt 44100 ]
  # The recogniser hears espeak-ng's formant voice too badly to check it this way.
  [ "$voice" != cmu_us_slt ] ||
    check "$voice: the WAV says the text" grep -q fracture <("$tool" transcribe --raw "$scratch/said.wav")
  check "$voice: words in order inside the text" /usr/bin/python3 - "$scratch/words.txt" "$text" <<'PY'
import sys
text = sys.argv[2].encode("utf-16-le")
units = len(text) // 2
last_end, last_sample, words = 0, 0, []
for line in open(sys.argv[1], encoding="utf-8"):
    pos, length, sample, word = line.rstrip("\n").split("\t")
    pos, length, sample = int(pos), int(length), int(sample)
    assert pos >= last_end and length > 0 and pos + length <= units, line
    assert sample >= last_sample, line
    assert text[2 * pos:2 * (pos + length)].decode("utf-16-le") == word, line
    last_end, last_sample = pos + length, sample
    words.append(word.strip(",.!"))
need = ["No", "fracture", "is", "seen", "café", "12", "mm"]
assert [w for w in words if w in need] == need, words
PY
done
# A failed speak leaves the file that stood there.
printf 'kept' > "$scratch/kept.wav"
set +e
"$tool" speak --voice nosuch --wav "$scratch/kept.wav" hello 2>/dev/null; rc=$?
set -e
check "a failed speak exits 1 and leaves the file" [ "$rc/$(cat "$scratch/kept.wav")" = 1/kept ]
check "speak reads standard input" "$tool" speak --wav "$scratch/in.wav" - <<<"from standard input"
check "failed trainings keep no recordings" [ ! -e "$XDG_CONFIG_HOME/varnelo-speech/recordings" ]
check "nothing else is left beside the WAVs" [ -z "$(ls -A "$scratch" | grep -v -e '\.wav$' -e '\.txt$' -e '^picture\.gif$' -e '^samples$' -e '^own$' -e '^reads$' -e '^err$')" ]

# Training on one voice: espeak-ng's en-us, which the shipped acoustic model
# hears worst, reads the prompts; sentences of our own (not prompts) in the
# same voice then come back with far fewer words wrong.
"$tool" prompts > "$scratch/prompts.txt"
check "twenty prompts" [ "$(grep -c . "$scratch/prompts.txt")" = 20 ]
mkdir -p "$scratch/reads"
n=0 reads=()
while IFS= read -r line; do
  n=$((n + 1))
  espeak-ng -v en-us -w "$scratch/reads/$n.wav" "$line"
  reads+=("$scratch/reads/$n.wav")
done < "$scratch/prompts.txt"
cat > "$scratch/said.txt" <<'SAID'
there is a small left pleural effusion
no acute fracture or dislocation
mild cardiomegaly with pulmonary vascular congestion
a four millimeter nodule in the right upper lobe
recommend follow up ct in six months
the liver and spleen are normal in size
SAID
n=0
while IFS= read -r line; do
  n=$((n + 1))
  espeak-ng -v en-us -w "$scratch/said-$n.wav" "$line"
done < "$scratch/said.txt"
# Words wrong in percent over all the sentences.
wer() {
  local i hyp=$scratch/heard.txt
  : > "$hyp"
  for i in $(seq 1 "$n"); do
    "$tool" transcribe --raw "$scratch/said-$i.wav" | tr '\n' ' ' >> "$hyp"
    echo >> "$hyp"
  done
  /usr/bin/python3 - "$scratch/said.txt" "$hyp" <<'PY'
import sys
said = open(sys.argv[1]).read().split("\n")
heard = open(sys.argv[2]).read().split("\n")
words = errors = 0
for a, b in zip(said, heard):
    a, b = a.split(), b.split()
    d = list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        prev, d[0] = d[:], i
        for j in range(1, len(b) + 1):
            d[j] = min(prev[j] + 1, d[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1]))
    words += len(a)
    errors += d[-1]
print(round(100 * errors / words))
PY
}
# Learning: words only the learned text holds are heard after a learn, and
# forgetting gives back exactly what the shipped model heard.
learned_said="the zentrilax shows mild florpitude"
flite -voice slt -t "$learned_said" -o "$scratch/learned.wav"
for i in $(seq 1 300); do
  echo "The zentrilax shows mild florpitude. No zentrilax is seen. Florpitude of the left lung is stable."
done > "$scratch/own-reports.txt"
shipped_heard=$("$tool" transcribe --raw "$scratch/learned.wav")
check "unlearned words are not heard ($shipped_heard)" [ "$(grep -c -E 'zentrilax|florpitude' <<<"$shipped_heard")" = 0 ]
check "learn the user's reports" "$tool" learn "$scratch/own-reports.txt"
learned_heard=$("$tool" transcribe --raw "$scratch/learned.wav")
check "learned words are heard ($learned_heard)" [ "$learned_heard" = "$learned_said" ]
check "forget what was learned" "$tool" learn --reset
check "the shipped model's output is back" [ "$("$tool" transcribe --raw "$scratch/learned.wav")" = "$shipped_heard" ]

model=$XDG_CONFIG_HOME/varnelo-speech/trained
kept=$XDG_CONFIG_HOME/varnelo-speech/recordings
# Recordings kept: entries in the index, and WAV files there.
keptcount() { echo "$(grep -c . "$kept/index.txt" 2>/dev/null || echo 0)/$(find "$kept" -name '*.wav' 2>/dev/null | wc -l)"; }
before=$(wer)
cp "$scratch/heard.txt" "$scratch/heard-before.txt"
check "train on the prompts' readings" "$tool" train "$scratch/prompts.txt" "${reads[@]}"
check "the trained model is in the service's folder" [ -f "$model/means" ]
check "the twenty recordings are kept with their prompts" [ "$(keptcount):$(cut -f2 "$kept/index.txt")" = "20/20:$(cat "$scratch/prompts.txt")" ]
after=$(wer)
echo "     words wrong: $before % before training, $after % after"
check "training lowers the voice's words wrong by half or more" [ "$((after * 2))" -le "$before" ]
modelsum() { (cd "$model/" && find . -type f | sort | xargs cat | md5sum); }
sum=$(modelsum)
# A training whose adapted models hear the recordings held back worse than
# the model in use keeps that model and says so: each fourth recording
# (one part held back) is changed the same way, and no two parts alike, so
# no model adapted without a part has heard its kind of voice; the part left
# as it was is the readings the model in use was trained on.
mixed=()
changes=("" "pitch 700" "pitch -700" "speed 1.3")
for i in "${!reads[@]}"; do
  # shellcheck disable=SC2086
  sox "${reads[$i]}" "$scratch/reads/m$i.wav" ${changes[$((i % 4))]}
  mixed+=("$scratch/reads/m$i.wav")
done
out=$("$tool" train "$scratch/prompts.txt" "${mixed[@]}")
echo "     $out"
check "a training no better on the held-back recordings says so" grep -q "the model in use was kept" <<<"$out"
check "and says what the check saw" grep -q "Each of the 20 recordings was held back once: of [0-9]* words" <<<"$out"
check "and keeps the model in use byte for byte" [ "$(modelsum)" = "$sum" ]
check "its recordings are kept all the same" [ "$(keptcount)" = 40/40 ]
keptsum=$(cat "$kept"/* | md5sum)
# Interrupted half-way: nothing of the training is left, the model stays.
"$tool" train "$scratch/prompts.txt" "${reads[@]}" > /dev/null 2> "$scratch/err" &
pid=$!
for _ in $(seq 1 100); do
  [ -n "$(ls -d "$XDG_CONFIG_HOME"/varnelo-speech/training-* 2>/dev/null)" ] && break
  sleep 0.05
done
sleep 1
kill -INT "$pid"
set +e
wait "$pid"; rc=$?
set -e
check "an interrupted training exits 1 and says it was cancelled" [ "$rc:$(grep -c cancelled "$scratch/err")" = 1:1 ]
check "an interrupted training leaves nothing behind" [ -z "$(ls -d "$XDG_CONFIG_HOME"/varnelo-speech/training-* 2>/dev/null)" ]
check "an interrupted training leaves the model in use" [ "$(modelsum)" = "$sum" ]
check "an interrupted training keeps none of its recordings" [ "$(cat "$kept"/* | md5sum)" = "$keptsum" ]
# Bad input afterwards leaves the trained model as it was.
set +e
"$tool" train "$scratch/prompts.txt" "${reads[@]:1}" 2>/dev/null; rc1=$?
"$tool" train "$scratch/prompts.txt" "${reads[@]:1}" "$scratch/text.wav" 2>/dev/null; rc2=$?
set -e
check "failed trainings exit 1" [ "$rc1$rc2" = 11 ]
check "failed trainings leave the trained model" [ "$(modelsum)" = "$sum" ]
check "nothing is left of the failed trainings" [ -z "$(ls -d "$XDG_CONFIG_HOME"/varnelo-speech/training-* 2>/dev/null)" ]
check "failed trainings keep no recordings" [ "$(cat "$kept"/* | md5sum)" = "$keptsum" ]
# Training again on what is kept: a broken file and a missing one are named
# and left out, the rest is used.
printf 'not a recording' > "$kept/0002.wav"
rm "$kept/0005.wav"
set +e
out=$("$tool" train --again 2> "$scratch/err"); rc=$?
set -e
echo "     $out"
check "train again on the kept recordings, two of them broken" [ "$rc:$(grep -c "was left out" "$scratch/err")" = 0:2 ]
check "train again says what it used" grep -q "38 recordings, 38 of them kept" <<<"$out"
check "train again adds nothing to the kept recordings" [ "$(keptcount)" = 40/39 ]
# Phrases kept from dictation go with the rest.
phrases=$XDG_CONFIG_HOME/varnelo-speech/phrases
mkdir -p "$phrases"
cp "${reads[0]}" "$phrases/0001.wav"
printf '0001.wav\t%s\n' "$(head -n 1 "$scratch/prompts.txt")" > "$phrases/index.txt"
check "reset" "$tool" train --reset
check "reset removes the trained model" [ ! -e "$model" ]
check "reset removes the kept recordings" [ ! -e "$kept" ]
check "reset removes the kept dictated phrases" [ ! -e "$phrases" ]
wer > /dev/null
check "after reset the shipped model hears as before" cmp -s "$scratch/heard.txt" "$scratch/heard-before.txt"

# The user's own sentences: words the dictionary lacks get a pronunciation
# from their spelling, and the training runs.
printf 'the zorblax lesion is stable\nno change in the quentrix nodule\nthe zorblax is smaller\n' > "$scratch/own.txt"
own=()
n=0
while IFS= read -r line; do
  n=$((n + 1))
  flite -voice slt -t "$line" -o "$scratch/own-$n.wav"
  own+=("$scratch/own-$n.wav")
done < "$scratch/own.txt"
set +e
out=$("$tool" train "$scratch/own.txt" "${own[@]}" 2>&1); rc=$?
set -e
echo "     $out"
check "prompts with words the dictionary lacks train" [ "$rc:$(grep -c "Each of the 3 recordings was held back once" <<<"$out")" = 0:1 ]

echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
