#!/bin/sh
# Makes the demo test's attachments in the given folder: pictures drawn with ImageMagick,
# a sound and a video written by makemedia, and an embedded object made by testmaker.
#   make-attachments.sh DIR TOOLS_DIR     (TOOLS_DIR holds the native testmaker and makemedia)
set -eu
dir=$1
tools=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A blue circle on white (the picture fitted into the view).
convert -size 320x240 xc:white -fill '#3060c0' -stroke '#203060' -strokewidth 3 \
    -draw 'circle 160,120 160,40' BMP3:"$dir/figure.bmp"
# A landscape larger than the view, shown at natural size with scroll bars.
convert -size 900x640 gradient:'#7fb8ff'-'#e8f4ff' \
    -fill '#2e8b3a' -draw 'rectangle 0,430 900,640' \
    -fill '#ffd23f' -draw 'circle 720,140 720,80' \
    -fill '#8a5a2b' -draw 'rectangle 180,300 220,470' \
    -fill '#1f6b2a' -draw 'circle 200,270 200,190' \
    -fill '#b03030' -draw 'polygon 420,360 520,270 620,360' \
    -fill '#f0e0c0' -draw 'rectangle 440,360 600,470' \
    -fill '#5a3a20' -draw 'rectangle 505,400 535,470' \
    -quality 90 "$dir/landscape.jpg"
# A bar chart stretched over the whole view.
convert -size 400x300 xc:white -stroke black -strokewidth 2 -draw 'line 30,270 380,270' \
    -draw 'line 30,20 30,270' -stroke none \
    -fill '#c04040' -draw 'rectangle 60,170 120,268' \
    -fill '#40a040' -draw 'rectangle 160,60 220,268' \
    -fill '#4060c0' -draw 'rectangle 260,120 320,268' BMP3:"$dir/chart.bmp"
# Small figures for answers shown inside the panels and in the popup.
convert -size 96x96 xc:white -fill '#3060c0' -draw 'circle 48,48 48,10' BMP3:"$dir/circle.bmp"
convert -size 96x96 xc:white -fill '#c04040' -draw 'rectangle 14,14 82,82' BMP3:"$dir/square.bmp"
convert -size 96x96 xc:white -fill '#40a040' -draw 'polygon 48,10 86,84 10,84' BMP3:"$dir/triangle.bmp"
convert -size 240x160 xc:white -fill '#e0a020' -draw 'circle 60,80 60,40' \
    -fill '#e0a020' -draw 'circle 120,80 120,40' -fill '#e0a020' -draw 'circle 180,80 180,40' \
    BMP3:"$scratch/dots.bmp"
# The object shows the picture; the picture itself is not part of the test.
"$tools/testmaker" make-ole "$scratch/dots.bmp" -o "$dir/dots.ole" >/dev/null

"$tools/makemedia" wav "$dir/tone.wav" 1500 440
"$tools/makemedia" wav "$dir/high.wav" 1000 1200
"$tools/makemedia" avi "$dir/clip.avi" 160 120 40 10
