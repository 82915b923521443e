#!/usr/bin/env bash
# Starts Varnelo with its folder tree and file list opened on samples/.
# Usage: scripts/run.sh [build folder]   (make run passes it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
exe="$build/app/varnelo"
if [ ! -x "$exe" ]; then
  echo "run.sh: $exe not found; build first (make build)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).
Varnelo is a desktop application and needs one. Without a desktop, run it on a
virtual X server (Debian package xvfb) and look at it with a screenshot:
  cd "$root/samples" && xvfb-run -a -s "-screen 0 1024x768x24" "$exe"
or see scripts/shots-app.sh, which starts it under xvfb-run and saves a picture.
MSG
  exit 2
fi
# The window opens on the folder it is started in.
cd "$root/samples"
exec "$exe"
