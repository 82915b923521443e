#!/usr/bin/env bash
# varnelo-speech on good and bad recordings: exit status, and what it prints.
#   speech_tool.sh VARNELO_SPEECH
set -euo pipefail
tool=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The service's settings of whoever runs the tests stay out of it.
export XDG_CONFIG_HOME=$scratch/config
fails=0 passes=0

flite -voice slt -t "no fracture is seen period" -o "$scratch/say.wav"
sox "$scratch/say.wav" -r 16000 -c 1 -b 16 "$scratch/mono16k.wav"
sox "$scratch/say.wav" -r 44100 -c 2 -b 16 "$scratch/stereo44k.wav"
sox "$scratch/say.wav" -r 16000 -c 1 -b 8 "$scratch/eight.wav"
sox "$scratch/say.wav" -r 16000 -c 3 -b 16 "$scratch/three.wav"
printf 'not a recording\n' > "$scratch/text.wav"
head -c 30 "$scratch/mono16k.wav" > "$scratch/cut-header.wav"
head -c 20000 "$scratch/mono16k.wav" > "$scratch/cut-data.wav"

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
missing file|transcribe nowhere.wav|1|nowhere.wav could not be opened
not a WAV file|transcribe text.wav|1|not a WAV file we can read
header cut short|transcribe cut-header.wav|1|not a WAV file we can read
cut-off sound data kept|transcribe --raw cut-data.wav|0|no
8-bit samples refused|transcribe eight.wav|1|only 16-bit PCM
three channels refused|transcribe three.wav|1|only mono and stereo
no file named|transcribe --raw|2|usage
CASES
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
