#!/usr/bin/env bash
# Runs a command against a private PulseAudio server that lives as long as
# the command: with-pulse.sh DIR COMMAND... The server and DIR go when the
# command ends, whatever its result (the server's log is shown on a failure).
set -euo pipefail
dir=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
server="$here/../../scripts/pulse-test-server.sh"
# A server left over from an interrupted run in the same folder goes first.
"$server" stop "$dir" 2>/dev/null || true
rm -rf "$dir"
finish() {
  local rc=$?
  "$server" stop "$dir" || true
  if [ "$rc" -ne 0 ] && [ -s "$dir/pulse.log" ]; then
    echo "--- sound server log (last lines) ---" >&2
    tail -n 30 "$dir/pulse.log" >&2 || true
  fi
  rm -rf "$dir"
  exit "$rc"
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
"$server" start "$dir" >/dev/null
set -a
# shellcheck disable=SC1091
. "$dir/env"
set +a
export QT_QPA_PLATFORM=offscreen
"$@"
