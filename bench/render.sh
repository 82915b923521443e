#!/usr/bin/env bash
# Preview rendering against DCMTK and pydicom.
set -euo pipefail
build=$1
# The machine and its load go with the figures.
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(getconf _NPROCESSORS_ONLN) cores online; load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_render" "$build/tools/varnelo-dicom" "$(dirname "$0")/render_pydicom.py" "${RUNS:-21}"
