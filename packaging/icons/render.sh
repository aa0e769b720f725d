#!/bin/sh
# Renders the hicolor PNGs from korvid.svg. The PNGs are kept in the tree so that a build needs
# no SVG renderer; run this (rsvg-convert, Debian's librsvg2-bin) after changing the artwork.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" korvid.svg -o "hicolor/${size}x${size}/korvid.png"
done
