#!/usr/bin/env bash
# Screenshots of the start-up splash and of the about box (credits running)
# on a virtual X display. Usage: scripts/shots-support.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$here/out/shots}
show=$build/tests/support_show
cmake --build "$build" --target support_show >/dev/null
mkdir -p "$out"

shoot() {  # mode, seconds to wait, picture name
  local mode=$1 wait=$2 name=$3
  xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    set -e
    "$0" "$1" & pid=$!
    sleep "$2"
    import -window root "$3"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  ' "$show" "$mode" "$wait" "$out/$name"
  echo "$out/$name"
}

shoot splash 1.5 splash.png
shoot about 4 about-credits.png
