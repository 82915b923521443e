#!/usr/bin/env bash
# A screenshot of the main window under Xvfb with a CT sample selected.
# Usage: scripts/shots-app.sh [build folder] [output folder]
# Needs xvfb-run and ImageMagick's import (scripts/deps.txt, tag gui-check).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
out=${2:-$build/shots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
shot="$build/tests/app_shot"
sample=${SHOT_SAMPLE:-ct-chest.dcm}
[ -x "$shot" ] || { echo "shots-app.sh: $shot not built (cmake --build $build --target app_shot)" >&2; exit 1; }
[ -f "$root/samples/$sample" ] || { echo "shots-app.sh: samples/$sample missing (scripts/make-samples.py)" >&2; exit 1; }

export SHOT_EXE="$shot" SHOT_DIR="$root/samples" SHOT_FILE="$sample" SHOT_OUT="$out/app-ct.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  fifo=$(mktemp -u); mkfifo "$fifo"
  "$SHOT_EXE" "$SHOT_DIR" "$SHOT_FILE" "Small nodule in the right upper lobe, about 4 mm. Compare with the prior study." > "$fifo" &
  pid=$!
  if ! timeout 30 grep -q -m1 ready "$fifo"; then
    echo "shots-app.sh: the window did not get ready" >&2; kill "$pid" 2>/dev/null || true; rm -f "$fifo"; exit 1
  fi
  import -window root "$SHOT_OUT"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -f "$fifo"
'
echo "$out/app-ct.png"
