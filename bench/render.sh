#!/usr/bin/env bash
# Preview rendering against DCMTK and pydicom.
set -euo pipefail
build=$1
"$build/bench/bench_render" "$build/tools/varnelo-dicom" "$(dirname "$0")/render_pydicom.py" "${RUNS:-21}"
