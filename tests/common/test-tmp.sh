#!/usr/bin/env bash
# The folder the tests get for their files: ROOT/tmp is every test's TMPDIR,
# ROOT/runtime its XDG_RUNTIME_DIR (which Qt and the sound client libraries
# would otherwise make below /tmp), ROOT/home its HOME and XDG config, data,
# cache and state folders (else the user's own).
#   test-tmp.sh empty ROOT   before the tests: all three, empty
#   test-tmp.sh check ROOT   after them: fails, naming it, when anything is left
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 empty|check ROOT" >&2; exit 2; }
root=$2
case "$1" in
  empty)
    if [ -d "$root" ]; then
      # A test may have left folders it made read-only.
      chmod -R u+rwx "$root" 2>/dev/null || true
      rm -rf "$root"
    fi
    mkdir -p "$root/tmp" "$root/runtime" "$root/home"
    chmod 0700 "$root/runtime"
    ;;
  check)
    for d in "$root/tmp" "$root/runtime" "$root/home"; do
      [ -d "$d" ] || { echo "$d is missing: it was not made before the tests" >&2; exit 1; }
    done
    # Each left with what is in it, a few levels down, so its test can be found.
    left=$(find "$root" -mindepth 1 -maxdepth 4 ! -path "$root/tmp" ! -path "$root/runtime" ! -path "$root/home" \
             -printf '  %P (%y, %s bytes)\n' | LC_ALL=C sort | head -n 60)
    if [ -n "$left" ]; then
      echo "tests left these behind in $root:"
      echo "$left"
      exit 1
    fi
    echo "nothing left in $root"
    ;;
  *)
    echo "usage: $0 empty|check ROOT" >&2
    exit 2
    ;;
esac
