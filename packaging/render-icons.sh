#!/usr/bin/env bash
# Redraws the committed PNG icons from the scalable one. Run after editing
# the SVG (needs rsvg-convert, Debian librsvg2-bin).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
id=org.varnelo.Varnelo
svg=$here/icons/hicolor/scalable/apps/$id.svg
for size in 16 22 24 32 48 64 128 256; do
  dir=$here/icons/hicolor/${size}x${size}/apps
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$dir/$id.png"
done
