#!/usr/bin/env bash
# Runs a command with the variable VAR naming a fresh folder below TMPDIR,
# removed when the command ends, whatever its result:
#   with-folder.sh VAR COMMAND...
set -euo pipefail
var=$1; shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/varnelo-test-$var-XXXXXX")
trap 'rm -rf "$dir"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
export "$var=$dir"
"$@"
