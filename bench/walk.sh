#!/usr/bin/env bash
# Header walk against dcmdump.
set -euo pipefail
build=$1
"$build/bench/bench_walk" "$build/tools/varnelo-dicom" "${RUNS:-21}"
