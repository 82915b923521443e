#!/usr/bin/env bash
# Training on a voice: for each synthetic voice, words wrong on our
# development sentences (bench/dictation_dev.txt) with the shipped model, then
# after `varnelo-speech train` on that voice's readings of the training
# prompts, and how long the training took on two cores.
# The recordings are made once into BUILD/bench/dictation-audio and
# BUILD/bench/training-audio.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/speech_tools.rc"
voices=(rms slt kal16 hts-slt ked espeak)
text=$here/dictation_dev.txt audio=$build/bench/dictation-audio prompts_audio=$build/bench/training-audio
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Trained models go to a settings folder of our own, not the user's.
export XDG_CONFIG_HOME=$scratch/config
"$tool" prompts > "$scratch/prompts.txt"
bash "$here/speak_voices.sh" "$text" "$audio" "${voices[@]}" 2>/dev/null
bash "$here/speak_voices.sh" "$scratch/prompts.txt" "$prompts_audio" "${voices[@]}" 2>/dev/null
wer() {  # VOICE [bench options]: the voice's WER in percent
  local v=$1; shift
  taskset -c 0 "$bench" "$text" "$audio" --voices "$v" "$@" | awk -v v="$v" '$1 == v {print $4}'
}
printf '%-8s %10s %10s %12s\n' voice "WER before" "WER after" "training s"
for v in "${voices[@]}"; do
  before=$(wer "$v")
  "$tool" train --reset > /dev/null
  start=$(date +%s.%N)
  taskset -c 0,1 "$tool" train "$scratch/prompts.txt" "$prompts_audio/$v"/*.wav > /dev/null
  seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
  # The check may keep the model in use: then there is no trained model.
  if [ -d "$XDG_CONFIG_HOME/varnelo-speech/trained" ]; then
    after=$(wer "$v" --hmm "$XDG_CONFIG_HOME/varnelo-speech/trained")%
  else
    after=kept
  fi
  printf '%-8s %9s%% %10s %12.1f\n' "$v" "$before" "$after" "$seconds"
done
"$tool" train --reset > /dev/null
