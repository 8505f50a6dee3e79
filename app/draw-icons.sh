#!/bin/sh
# Draws the programs' icons: testplayer.ico and testmaker.ico in DIR, each holding the sizes
# Explorer asks for (16, 32, 48 and 256 pixels, the largest PNG-compressed). Every size is
# drawn from the same 256-pixel figure, not scaled down from a picture, so edges stay sharp.
#   draw-icons.sh DIR
set -eu
dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$dir"

# A sheet on a rounded tile; $2 is the tile's colour, $3 what is drawn on the sheet.
icon() { # name tile figure
    sizes=""
    for size in 16 32 48 256; do
        scale=$(awk "BEGIN { print $size / 256 }")
        convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale
            fill '$2' roundrectangle 8,8 247,247 44,44
            fill white roundrectangle 44,28 212,228 14,14
            $3" PNG32:"$scratch/$1-$size.png"
        sizes="$sizes $scratch/$1-$size.png"
    done
    # shellcheck disable=SC2086
    convert $sizes "$dir/$1.ico"
}

# The player: three answers, the first one ticked.
answers="fill '#3aa845' roundrectangle 64,52 108,96 6,6
    fill none stroke white stroke-width 10 stroke-linecap round stroke-linejoin round
    polyline 74,74 84,86 99,63 stroke none
    fill '#c8d4e8' roundrectangle 64,114 108,158 6,6 roundrectangle 64,176 108,220 6,6
    fill '#5a6c8c' rectangle 124,66 192,82 rectangle 124,128 192,144 rectangle 124,190 176,206"
icon testplayer '#2f6fd0' "$answers"

# testmaker: lines of a question being written with a pencil.
writing="fill '#5a6c8c' rectangle 64,60 192,76 rectangle 64,100 192,116 rectangle 64,140 140,156
    fill '#f0a020' polygon 108,220 184,144 204,164 128,240
    fill '#404040' polygon 108,220 128,240 100,248
    fill '#e06060' polygon 184,144 196,132 216,152 204,164"
icon testmaker '#1f8a70' "$writing"
