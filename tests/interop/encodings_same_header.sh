#!/usr/bin/env bash
# One image rewritten by DCMTK in implicit VR, explicit little and big endian,
# and as a bare data set without preamble must give the same header record;
# the deflated variant must be refused with its message.
set -euo pipefail
tool=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dcmconv +ti "$src" "$work/implicit.dcm"
dcmconv +te "$src" "$work/explicit.dcm"
dcmconv +tb "$src" "$work/big.dcm"
dcmconv +ti -F "$src" "$work/bare.dcm"
dcmconv +td "$src" "$work/deflated.dcm"

header() { "$tool" info --header-only "$1" | /usr/bin/python3 -c 'import json,sys; print(json.dumps(json.load(sys.stdin)["header"], sort_keys=True))'; }
ref=$(header "$work/explicit.dcm")
for v in implicit big bare; do
  got=$(header "$work/$v.dcm")
  if [ "$got" != "$ref" ]; then
    echo "FAIL: $v differs from explicit"; echo " explicit: $ref"; echo " $v: $got"; exit 1
  fi
done
# The bare data set really has no preamble, and the big-endian one really is.
head -c 2 "$work/bare.dcm" | od -An -tx1 | grep -q '08 00'
"$tool" info --header-only "$work/big.dcm" | grep -q '"BigEndian": true'
if msg=$("$tool" info "$work/deflated.dcm" 2>&1); then echo "FAIL: deflated accepted"; exit 1; fi
[ "$msg" = "Deflate syntax not supported." ] || { echo "FAIL: deflated gave: $msg"; exit 1; }
echo "4 encodings give one header record; deflated refused"
