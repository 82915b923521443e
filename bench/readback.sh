#!/usr/bin/env bash
# How clearly each read-back voice speaks: the findings sentences are read by
# the voice through `varnelo-speech speak --wav` and heard back by the general
# English recogniser (`transcribe --raw --general`); the word error rate
# stands in for how natural and clear the voice is.  Also checks the voice
# list a new English user gets (LANG=en_US.UTF-8, no settings).
#   readback.sh BUILD_DIR [SENTENCES.txt] [VOICE...]
# Voices default to every flite voice and espeak-ng's English ones.
# REFERENCE=FILE scores line N against line N of FILE instead of itself (the
# written sentences read aloud, scored against their spoken form).
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
text=${2:-$here/dictation_dev.txt}
shift $(( $# >= 2 ? 2 : 1 ))
tool=$build/tools/speech/varnelo-speech
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# No settings: what a new user gets.
export XDG_CONFIG_HOME=$scratch/config LANG=en_US.UTF-8
mkdir -p "$XDG_CONFIG_HOME"

"$tool" voices > "$scratch/voices"
listed=$(wc -l < "$scratch/voices")
default=$(awk '$1 == "*" { print $2 }' "$scratch/voices")
echo "voices listed with LANG=en_US.UTF-8 and no settings: $listed (target <= 12); default: $default"
voices=("$@")
[ ${#voices[@]} -gt 0 ] || voices=(cmu_us_slt cmu_us_rms cmu_us_awb cmu_us_kal16 gmw/en gmw/en-US)

wer() {  # said heard: word errors and words, lower case, punctuation gone
  python3 - "$1" "$2" <<'PY'
import re, sys
norm = lambda f: re.sub(r"[^a-z0-9' ]+", " ", open(f).read().lower()).split()
a, b = norm(sys.argv[1]), norm(sys.argv[2])
d = list(range(len(b) + 1))
for i, x in enumerate(a, 1):
    p, d[0] = d[0], i
    for j, y in enumerate(b, 1):
        p, d[j] = d[j], min(d[j] + 1, d[j - 1] + 1, p + (x != y))
print(d[len(b)], len(a))
PY
}

printf '%-20s %8s %8s %8s\n' voice errors words WER
for v in "${voices[@]}"; do
  errors=0 words=0 at=0
  while IFS= read -r line || [ -n "$line" ]; do
    at=$((at + 1))
    [ -n "$line" ] || continue
    "$tool" speak --voice "$v" --wav "$scratch/s.wav" "$line"
    if [ -n "${REFERENCE:-}" ]; then
      sed -n "${at}p" "$REFERENCE" > "$scratch/said"
    else
      printf '%s\n' "$line" > "$scratch/said"
    fi
    "$tool" transcribe --raw --general "$scratch/s.wav" > "$scratch/heard"
    read -r e n < <(wer "$scratch/said" "$scratch/heard")
    errors=$((errors + e)) words=$((words + n))
  done < "$text"
  mark=""; [ "$v" = "$default" ] && mark=" (default)"
  printf '%-20s %8d %8d %7.1f%%%s\n' "$v" "$errors" "$words" "$(echo "100 * $errors / $words" | bc -l)" "$mark"
done
