#!/bin/sh
# Draws the demo test's picture into the given folder: a blue circle on white.
#   make-figure.sh DIR
set -eu
convert -size 320x240 xc:white -fill '#3060c0' -stroke '#203060' -strokewidth 3 \
    -draw 'circle 160,120 160,40' BMP3:"$1/figure.bmp"
