#!/usr/bin/env bash
# Screenshots of the speech toolbar under Xvfb, against a private PulseAudio
# server: reading paused on a word (the word selected in the comment field),
# and the Configure menu open, at its top and scrolled to its end.
# Usage: scripts/shots-speech.sh [build folder] [output folder]
# Needs xvfb-run and ImageMagick's import (scripts/deps.txt, tag gui-check).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
out=${2:-$build/shots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
shot="$build/tests/speech_shot"
[ -x "$shot" ] || { echo "shots-speech.sh: $shot not built (cmake --build $build --target speech_shot)" >&2; exit 1; }

export SHOT_EXE="$shot" SHOT_DIR="$root/samples" SHOT_OUT="$out"
"$root/tests/speech/with-pulse.sh" "$build/pulse-shots" \
  xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb bash -c '
  set -euo pipefail
  outfifo=$(mktemp -u); infifo=$(mktemp -u); mkfifo "$outfifo" "$infifo"
  "$SHOT_EXE" "$SHOT_DIR" < "$infifo" > "$outfifo" &
  pid=$!
  exec 3>"$infifo" 4<"$outfifo"
  fail() { echo "shots-speech.sh: $1" >&2; kill "$pid" 2>/dev/null || true; rm -f "$outfifo" "$infifo"; exit 1; }
  read -r -t 40 line <&4 || fail "reading did not start"
  echo "$line" >&2
  import -window root "$SHOT_OUT/speech-reading.png"
  echo go >&3
  read -r -t 20 line <&4 || fail "the menu did not open"
  import -window root "$SHOT_OUT/speech-menu.png"
  echo go >&3
  read -r -t 20 line <&4 || fail "the menu did not scroll"
  import -window root "$SHOT_OUT/speech-menu-end.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -f "$outfifo" "$infifo"
'
echo "$out/speech-reading.png $out/speech-menu.png $out/speech-menu-end.png"
