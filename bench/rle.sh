#!/usr/bin/env bash
# RLE decode against DCMTK on the frames of bench/lossless.sh.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
data="$build/bench/encaps_data"
if [ ! -f "$data/bench12_rle.dcm" ]; then
  mkdir -p "$data"
  /usr/bin/python3 "$here/../tests/interop/encaps_sources.py" "$data" --bench
  for f in bench16 bench12; do
    dcmcjpeg +e1 "$data/$f.dcm" "$data/${f}_sv1.dcm"
    dcmcrle "$data/$f.dcm" "$data/${f}_rle.dcm"
  done
fi
"$build/bench/bench_rle" "$data/bench16_rle.dcm" "$data/bench12_rle.dcm"
