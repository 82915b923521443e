#!/usr/bin/env bash
# Configures and builds a second tree with clang-14, AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets; the CTest entries of the
# hardening fragment then run its unit tests and short fuzz runs.
#   sanitizer-build.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
bin=$2
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$bin/build.ninja" ]; then
  cmake -S "$src" -B "$bin" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DVARNELO_GUI=OFF -DVARNELO_FUZZ=ON -DVARNELO_SANITIZER_CHILD=ON
fi
# Only what the tests run: the benchmarks are not needed here.
exec cmake --build "$bin" -j "${JOBS:-2}" --target tests/all fuzz/all tools/all
