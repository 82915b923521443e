#!/bin/sh
# Makes the encapsulated test files: uncompressed sources, DCMTK-compressed
# variants of them (lossless JPEG with every selection value, RLE, split
# into fragments, with and without offset tables), the RLE and lossless JPEG
# files that come with pydicom, and the same images decompressed by DCMTK.
# Writes OUTDIR/manifest.txt: one "compressed reference" pair per line.
# encaps_make.sh OUTDIR [RESTART_MAKER]: the second program writes lossless
# JPEG files with restart markers into the folder it is given.
set -eu
OUT=$1
RESTART=${2:-}
PY=${VARNELO_PYTHON:-/usr/bin/python3}
HERE=$(cd "$(dirname "$0")" && pwd)
PYDATA=/usr/lib/python3/dist-packages/pydicom/data/test_files

rm -rf "$OUT"
mkdir -p "$OUT/src" "$OUT/c" "$OUT/ref"
"$PY" "$HERE/encaps_sources.py" "$OUT/src"
MANIFEST="$OUT/manifest.txt"
: > "$MANIFEST"

# add COMPRESSED: decompress with the matching DCMTK tool and list the pair
add() {
    ref="$OUT/ref/$(basename "$1")"
    case "$1" in
        *rle*|*RLE*) dcmdrle "$1" "$ref" ;;
        *) dcmdjpeg "$1" "$ref" ;;
    esac
    echo "$1 $ref" >> "$MANIFEST"
}

for s in mono8 mono12 mono16 signed16 rgb8 multi12 multirgb8; do
    src="$OUT/src/$s.dcm"
    # first-order prediction syntax (.70)
    dcmcjpeg +e1 "$src" "$OUT/c/${s}_70.dcm" && add "$OUT/c/${s}_70.dcm"
    # process 14 (.57) with every selection value
    case $s in multi*|signed*) svs="1 5" ;; *) svs="1 2 3 4 5 6 7" ;; esac
    for sv in $svs; do
        dcmcjpeg +el +sv $sv "$src" "$OUT/c/${s}_57_sv$sv.dcm" && add "$OUT/c/${s}_57_sv$sv.dcm"
    done
    dcmcrle "$src" "$OUT/c/${s}_rle.dcm" && add "$OUT/c/${s}_rle.dcm"
    # frames split over 1 KB fragments, with and without an offset table
    dcmcjpeg +e1 +fs 1 "$src" "$OUT/c/${s}_70_frag.dcm" && add "$OUT/c/${s}_70_frag.dcm"
    dcmcjpeg +e1 +fs 1 -ot "$src" "$OUT/c/${s}_70_frag_nobot.dcm" && add "$OUT/c/${s}_70_frag_nobot.dcm"
    dcmcrle +fs 1 "$src" "$OUT/c/${s}_rle_frag.dcm" && add "$OUT/c/${s}_rle_frag.dcm"
done
# a first frame that fits one fragment while later frames are split
dcmcjpeg +el +sv 4 +fs 4 -ot "$OUT/src/multi12.dcm" "$OUT/c/multi12_57_sv4_fs4_nobot.dcm" &&
    add "$OUT/c/multi12_57_sv4_fs4_nobot.dcm"

for f in MR_small_RLE SC_rgb_rle SC_rgb_rle_16bit SC_rgb_rle_16bit_2frame SC_rgb_rle_2frame \
         SC_rgb_rle_32bit SC_rgb_rle_32bit_2frame rtdose_rle rtdose_rle_1frame SC_rgb_jpeg_gdcm; do
    if [ -f "$PYDATA/$f.dcm" ]; then
        cp "$PYDATA/$f.dcm" "$OUT/c/pydicom_$f.dcm"
        add "$OUT/c/pydicom_$f.dcm"
    fi
done
if [ -n "$RESTART" ]; then
    mkdir -p "$OUT/rst"
    "$RESTART" "$OUT/rst"
    for f in "$OUT"/rst/*.dcm; do
        add "$f"
    done
fi
echo "made $(wc -l < "$MANIFEST") pairs"
