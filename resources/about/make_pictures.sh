#!/usr/bin/env bash
# Draws the About window's pictures with ImageMagick: the product logo (JPEG, 128 x 96)
# and the recorder badge in colour and in grey (GIF, 105 x 27 each).
# The generated files are checked in; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"

font=DejaVu-Sans-Bold

# The window shows the logo shifted 8 px left and 20 px up, and its labels cover the
# right edge from x = 100: the mark sits in the part that stays visible.
convert -size 128x96 radial-gradient:'#1c3f8a'-black \
    -fill none -stroke '#f2b632' -strokewidth 3 \
    -draw 'roundrectangle 16,30 92,82 8,8' \
    -stroke '#f2b632' -strokewidth 2 -draw 'stroke-dasharray 4 3 line 70,32 70,80' \
    -stroke none -fill '#f2b632' -draw 'circle 16,56 16,62' -draw 'circle 92,56 92,62' \
    -fill black -draw 'circle 16,56 16,61' -draw 'circle 92,56 92,61' \
    -font "$font" -pointsize 17 -fill white -draw "text 23,63 'QVX'" \
    -strip -quality 92 logo.jpg

# The badge: a film frame and the recorder's name on a warm band.
convert -size 105x27 xc:none \
    -fill '#b3261e' -stroke '#ffd24a' -strokewidth 1 -draw 'roundrectangle 0,0 104,26 5,5' \
    -stroke none -fill '#ffd24a' -draw 'rectangle 6,6 21,20' \
    -fill '#b3261e' -draw 'polygon 11,9 11,17 18,13' \
    -font "$font" -pointsize 11 -fill white -draw "text 26,18 'FlashBack'" \
    -background black -flatten -strip badge-colour.gif

convert badge-colour.gif -colorspace Gray -strip badge-grey.gif
