#!/bin/sh
# Regenerates the picture of the main window (picture.bmp), the program icon
# (kestrove.ico) and the icon of cp3 documents (cp3_document.ico).
# Needs ImageMagick 6 (convert). The build does not run this script; the
# generated files are kept beside it.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every drawing is given on a 48 x 48 grid, drawn four times larger and
# reduced to the wanted size, which smooths the edges.
render() { # size background mvg output
    big=$(($1 * 4))
    convert -size ${big}x${big} "xc:$2" \
        -draw "affine $(echo "$big / 48" | bc -l),0,0,$(echo "$big / 48" | bc -l),0,0 $3" \
        -filter Box -resize "$1x$1" "$4"
}

steel='#5b6775'
gold='#ebb62a'
gold_light='#f7d774'
gold_dark='#7a5410'
blue='#2f62b0'
blue_dark='#1d3f73'

# Program icon: a padlock.
padlock="stroke $steel stroke-width 6 fill none
    roundrectangle 15,7 33,36 9,9
    stroke $gold_dark stroke-width 2 fill $gold
    roundrectangle 7,22 41,45 4,4
    stroke none fill $gold_light
    rectangle 9,24 39,27
    fill $gold_dark
    circle 24,32 24,35.5
    polygon 22,33 26,33 27.5,40 20.5,40"

# Document icon: a page with a folded corner and a small blue padlock.
document="stroke #65717f stroke-width 1.5 fill white
    polygon 8,2 30,2 40,12 40,46 8,46
    fill #d5dbe3
    polygon 30,2 30,12 40,12
    stroke #b3bcc7 stroke-width 2
    line 13,10 26,10
    line 13,15 34,15
    line 13,20 34,20
    stroke $steel stroke-width 3.5 fill none
    roundrectangle 18.5,20.5 29.5,36 5.5,5.5
    stroke $blue_dark stroke-width 1.5 fill $blue
    roundrectangle 13,29 35,43 2,2
    stroke none fill white
    circle 24,34.5 24,36.5
    polygon 23,35 25,35 26,40 22,40"

# The same at 16 x 16: no text lines, a larger padlock.
document_small="stroke #65717f stroke-width 2.5 fill white
    polygon 7,2 30,2 41,13 41,46 7,46
    fill #d5dbe3
    polygon 30,2 30,13 41,13
    stroke $steel stroke-width 5 fill none
    roundrectangle 17.5,18 30.5,34 6.5,6.5
    stroke none fill $blue
    rectangle 12,27 36,43
    fill white
    rectangle 22,31 26,39"

# Main window picture: a golden key on a blue tile.
key="stroke $blue_dark stroke-width 2 fill $blue
    rectangle 1,1 47,47
    stroke $gold_dark stroke-width 1.5 fill $gold
    polygon 20,21 43,21 43,27 41,27 41,33 37,33 37,27 35,27 35,31 31,31 31,27 20,27
    circle 14,24 14,14
    fill $blue
    circle 12,24 12,28.5
    stroke none fill $gold_light
    rectangle 22,22.5 42,24"

for size in 16 32 48; do
    render $size none "$padlock" "$work/program-$size.png"
done
render 16 none "$document_small" "$work/document-16.png"
render 32 none "$document" "$work/document-32.png"
render 48 none "$document" "$work/document-48.png"
convert "$work/program-16.png" "$work/program-32.png" "$work/program-48.png" kestrove.ico
convert "$work/document-16.png" "$work/document-32.png" "$work/document-48.png" cp3_document.ico

render 48 "$blue" "$key" "$work/picture.png"
convert "$work/picture.png" -alpha off -type TrueColor BMP3:picture.bmp
