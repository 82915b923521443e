#!/usr/bin/env bash
# Writing a comment into a multi-frame file of about 500 MB, each as a whole
# process: varnelo-dicom comment (to a new name and over its own source)
# against cp of the same file and DCMTK's dcmodify, in the same run.
# cp is the floor; "cp + sync" is cp made as durable as our write, which
# syncs its file before renaming it into place.
# Environment: RUNS (default 7), FRAMES (512 KiB each, default 1000).
set -euo pipefail
build=$(cd "$1" && pwd)
tool="$build/tools/varnelo-dicom"
runs=${RUNS:-7}
frames=${FRAMES:-1000}
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d "${TMPDIR:-/tmp}/varnelo-bench-writer-XXXXXX")
trap 'rm -rf "$dir"' EXIT

src="$dir/source.dcm"
out="$dir/target.dcm"
/usr/bin/python3 "$here/writer_gen.py" "$src" "$frames"
size=$(stat -c %s "$src")
text="Reviewed for the benchmark."

# Microseconds of wall time for one command; earlier writes are flushed
# first so that no run pays for the one before.
clock() {
  sync
  local s e
  s=$(date +%s%N)
  "$@" > /dev/null
  e=$(date +%s%N)
  echo $(((e - s) / 1000))
}

declare -A times
add() { times[$1]="${times[$1]:-} $2"; }

for ((i = 0; i < runs; i++)); do
  # Rotate the order so no contender always runs first after a sync.
  order=(cp cpsync varnelo self dcmodify)
  shift_by=$((i % ${#order[@]}))
  order=("${order[@]:shift_by}" "${order[@]:0:shift_by}")
  for what in "${order[@]}"; do
    rm -f "$out"
    case $what in
      cp) add cp "$(clock cp "$src" "$out")" ;;
      cpsync) add cpsync "$(clock sh -c 'cp "$1" "$2" && sync "$2"' sh "$src" "$out")" ;;
      varnelo) add varnelo "$(clock "$tool" comment "$src" "$out" "$text")" ;;
      self)
        cp "$src" "$out"
        add self "$(clock "$tool" comment "$out" "$out" "$text")"
        ;;
      dcmodify)
        cp "$src" "$out"
        add dcmodify "$(clock dcmodify -nb -i "(0020,4000)=$text" "$out")"
        ;;
    esac
  done
done
rm -f "$out"

median() { tr ' ' '\n' <<< "$1" | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
cp_us=$(median "${times[cp]}")
echo "writer: $frames frames, $size bytes, $runs runs, medians of wall time"
for what in cp cpsync varnelo self dcmodify; do
  m=$(median "${times[$what]}")
  case $what in
    cp) label="cp" ;;
    cpsync) label="cp + sync" ;;
    varnelo) label="varnelo-dicom comment (new name)" ;;
    self) label="varnelo-dicom comment (over its source)" ;;
    dcmodify) label="dcmodify -nb -i (0020,4000)" ;;
  esac
  awk -v l="$label" -v m="$m" -v c="$cp_us" 'BEGIN {printf "  %-42s %9.1f ms  %5.2f x cp\n", l, m / 1000, m / c}'
done
