#!/usr/bin/env bash
# The main window's responsiveness, offscreen (the window is real; only the
# screen is virtual): selection-to-preview latency for a 512 x 512 CT and the
# longest event-loop stall while a 10,000-file folder opens.
set -euo pipefail
build=$1
if [ ! -x "$build/bench/bench_app" ]; then
  echo "bench_app not built (needs the GUI build)"
  exit 0
fi
QT_QPA_PLATFORM=offscreen "$build/bench/bench_app"
