#!/usr/bin/env bash
# Runs every benchmark script in bench/ (bench/*.sh), each given the build folder.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."
for b in bench/*.sh; do
  [ -e "$b" ] || continue
  echo "== $b"
  bash "$b" "$build"
done
