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

for s in mono8 mono12 mono16 signed16 rgb8 rgb16 multi12 multirgb8; do
    src="$OUT/src/$s.dcm"
    # first-order prediction syntax (.70)
    dcmcjpeg +e1 "$src" "$OUT/c/${s}_70.dcm" && add "$OUT/c/${s}_70.dcm"
    # process 14 (.57) with every selection value
    case $s in multi*|signed*) svs="1 5" ;; rgb16) svs="1 4 7" ;; *) svs="1 2 3 4 5 6 7" ;; esac
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
# JPEG-LS and JPEG 2000: GDCM-made variants and pydicom's files, with GDCM's
# decompression as the reference; "compressed reference tolerance" lines.
EXT="$OUT/manifest_ext.txt"
: > "$EXT"
mkdir -p "$OUT/ext"
ext() { # COMPRESSED TOLERANCE
    ref="$OUT/ref/$(basename "$1")"
    if gdcmconv --raw "$1" "$ref" 2>/dev/null; then
        echo "$1 $ref $2" >> "$EXT"
    fi
}
for s in mono8 mono12 mono16 signed16 rgb8 multi12; do
    src="$OUT/src/$s.dcm"
    gdcmconv --jpegls "$src" "$OUT/ext/${s}_jls.dcm" && ext "$OUT/ext/${s}_jls.dcm" 0
    gdcmconv --j2k "$src" "$OUT/ext/${s}_j2k.dcm" && ext "$OUT/ext/${s}_j2k.dcm" 0
done
for s in mono12 mono16 signed16; do
    gdcmconv --j2k --lossy -q 40 "$OUT/src/$s.dcm" "$OUT/ext/${s}_j2k_lossy.dcm" >/dev/null 2>&1 &&
        ext "$OUT/ext/${s}_j2k_lossy.dcm" 2
done
for s in mono8 rgb8; do
    gdcmconv --jpegls --lossy -e 2 "$OUT/src/$s.dcm" "$OUT/ext/${s}_jls_lossy.dcm" >/dev/null 2>&1 &&
        ext "$OUT/ext/${s}_jls_lossy.dcm" 2
done
for f in 693_J2KI:2 GDCMJ2K_TextGBR:0 J2K_pixelrep_mismatch:0 JPEG2000:2 MR_small_jp2klossless:0 \
         MR_small_jpeg_ls_lossless:0; do
    if [ -f "$PYDATA/${f%:*}.dcm" ]; then
        cp "$PYDATA/${f%:*}.dcm" "$OUT/ext/pydicom_${f%:*}.dcm"
        ext "$OUT/ext/pydicom_${f%:*}.dcm" "${f#*:}"
    fi
done
# Streams under the wrong UID: the marker decides. The reference is the
# same stream under its right UID.
relabel() { # FROM TO UID
    "$PY" -c 'import sys, pydicom
ds = pydicom.dcmread(sys.argv[1])
ds.file_meta.TransferSyntaxUID = sys.argv[3]
ds.save_as(sys.argv[2])' "$1" "$2" "$3"
    echo "$2 $1 0" >> "$EXT"
}
relabel "$OUT/c/mono12_57_sv4.dcm" "$OUT/ext/lossless_as_baseline.dcm" 1.2.840.10008.1.2.4.50
relabel "$OUT/c/rgb8_70.dcm" "$OUT/ext/lossless_as_extended.dcm" 1.2.840.10008.1.2.4.51
dcmcjpeg +eb "$OUT/src/mono8.dcm" "$OUT/ext/baseline.dcm"
relabel "$OUT/ext/baseline.dcm" "$OUT/ext/baseline_as_lossless.dcm" 1.2.840.10008.1.2.4.70
relabel "$OUT/ext/mono16_jls.dcm" "$OUT/ext/jpegls_as_baseline.dcm" 1.2.840.10008.1.2.4.50
relabel "$OUT/ext/rgb8_j2k.dcm" "$OUT/ext/j2k_as_lossless.dcm" 1.2.840.10008.1.2.4.57
echo "made $(wc -l < "$MANIFEST") + $(wc -l < "$EXT") pairs"
