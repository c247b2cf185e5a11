#!/usr/bin/env bash
# Renders resources/icons/quendrix.svg into the PNG sizes the program and the desktop
# use. Run after editing the SVG; the PNGs are kept in the repository.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
command -v rsvg-convert >/dev/null || { echo "needs rsvg-convert (apt-get install librsvg2-bin)" >&2; exit 1; }
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quendrix.svg -o "quendrix-$size.png"
done
