#!/usr/bin/env bash
# Lossless JPEG decode against DCMTK: a 512 x 512 16-bit and a 2048 x 2500
# 12-bit frame of synthetic anatomy with noise, compressed by dcmcjpeg with
# selection value 1.
set -euo pipefail
build=$1
# The machine and its load go with the figures.
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(getconf _NPROCESSORS_ONLN) cores online; load average $(cut -d' ' -f1-3 /proc/loadavg)"
here=$(cd "$(dirname "$0")" && pwd)
data="$build/bench/encaps_data"
if [ ! -f "$data/bench12_sv1.dcm" ]; then
  mkdir -p "$data"
  /usr/bin/python3 "$here/../tests/interop/encaps_sources.py" "$data" --bench
  for f in bench16 bench12; do
    dcmcjpeg +e1 "$data/$f.dcm" "$data/${f}_sv1.dcm"
    dcmcrle "$data/$f.dcm" "$data/${f}_rle.dcm"
  done
fi
"$build/bench/bench_lossless" "$data/bench16_sv1.dcm" "$data/bench12_sv1.dcm"
