#!/bin/sh
# Renders the hicolor PNGs from korvid.svg, and from them the Windows icon korvid.ico. The PNGs and
# the icon are kept in the tree so that a build needs no SVG renderer; run this (rsvg-convert from
# Debian's librsvg2-bin, convert from imagemagick) after changing the artwork.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" korvid.svg -o "hicolor/${size}x${size}/korvid.png"
done
# The sizes Windows asks an icon for: title bar, task bar, Explorer's views.
convert hicolor/16x16/korvid.png hicolor/24x24/korvid.png hicolor/32x32/korvid.png \
    hicolor/48x48/korvid.png hicolor/64x64/korvid.png hicolor/256x256/korvid.png korvid.ico
