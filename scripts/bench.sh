#!/usr/bin/env bash
# Runs every benchmark script in bench/ (bench/*.sh), each given the build
# folder; one that fails is reported and the others still run.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."
failed=()
for b in bench/*.sh; do
  [ -e "$b" ] || continue
  # Helpers the speech benchmarks call with files of their own, not a build.
  case $(basename "$b") in sentence_lm.sh | speak_voices.sh) continue ;; esac
  echo "== $b"
  bash "$b" "$build" || failed+=("$b")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
