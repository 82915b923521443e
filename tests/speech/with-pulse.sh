#!/usr/bin/env bash
# Runs a command against a private PulseAudio server that lives as long as
# the command: with-pulse.sh DIR COMMAND...
set -euo pipefail
dir=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
server="$here/../../scripts/pulse-test-server.sh"
# A server left over from an interrupted run in the same folder goes first.
"$server" stop "$dir" 2>/dev/null || true
rm -rf "$dir"
"$server" start "$dir" >/dev/null
trap '"$server" stop "$dir"' EXIT
set -a
# shellcheck disable=SC1091
. "$dir/env"
set +a
export QT_QPA_PLATFORM=offscreen
"$@"
