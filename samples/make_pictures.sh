#!/usr/bin/env bash
# Redraws the sample item pictures in img/ (ImageMagick). The pictures are
# committed, so the service needs this only when they change.
set -euo pipefail
cd "$(dirname "$0")/img"

draw() { # file, background gradient, then ImageMagick drawing options
    local file=$1 background=$2
    shift 2
    convert -size 160x120 "gradient:$background" -stroke '#333333' -strokewidth 2 "$@" \
        -strip -quality 85 -sampling-factor 2x2 "$file"
}

# camera body with its lens
draw e51122334.jpg '#f4f4f4-#c8ccd2' -fill '#2b2b2b' -draw 'roundrectangle 32,38 128,92 8,8' \
    -fill '#555555' -draw 'rectangle 44,28 72,38' -fill '#777777' -draw 'circle 80,65 80,86' \
    -fill '#1a2a44' -draw 'circle 80,65 80,78'
# handheld console, pearl blue
draw g40018236.jpg '#ffffff-#dde6f0' -fill '#8fb4dc' -draw 'roundrectangle 30,24 130,96 14,14' \
    -fill '#20304a' -draw 'rectangle 48,34 112,70' -fill '#f0f0f0' -draw 'circle 50,84 50,90' \
    -draw 'circle 110,84 110,90'
# wrist watch
draw b63350217.jpg '#2a2a2a-#5a5a5a' -fill '#c9b037' -draw 'rectangle 68,4 92,116' \
    -fill '#d8d8d8' -draw 'circle 80,60 80,94' -fill '#f8f8f0' -draw 'circle 80,60 80,88' \
    -stroke '#222222' -draw 'line 80,60 80,38' -draw 'line 80,60 96,66'
# two books
draw c27781540.jpg '#fffaf0-#e8dcc8' -fill '#7a2430' -draw 'rectangle 34,20 78,104' \
    -fill '#24507a' -draw 'rectangle 84,20 128,104' -fill '#e0c060' -draw 'rectangle 40,36 72,44' \
    -draw 'rectangle 90,36 122,44'
# music player with its screen
draw d19904472.jpg '#f0f0f0-#b8b8c0' -fill '#111111' -draw 'roundrectangle 56,14 104,106 10,10' \
    -fill '#4a6a8a' -draw 'rectangle 64,26 96,52' -fill '#444444' -draw 'circle 80,80 80,94'
# silver player with its wheel
draw f88213095.jpg '#ffffff-#d0d8e0' -fill '#c0c4c8' -draw 'roundrectangle 52,10 108,110 12,12' \
    -fill '#e8f0e0' -draw 'rectangle 60,20 100,52' -fill '#f4f4f4' -draw 'circle 80,80 80,100' \
    -fill '#c0c4c8' -draw 'circle 80,80 80,88'
# four wheels
draw a70452218.jpg '#e8e8e8-#9a9a9a' -fill '#b0b4b8' -draw 'circle 44,40 44,58' \
    -draw 'circle 116,40 116,58' -draw 'circle 44,88 44,106' -draw 'circle 116,88 116,106' \
    -fill '#505050' -draw 'circle 44,40 44,46' -draw 'circle 116,40 116,46' \
    -draw 'circle 44,88 44,94' -draw 'circle 116,88 116,94'
# camera body on its own, darker backdrop
draw e51190876.jpg '#dcdcdc-#9aa0a8' -fill '#2b2b2b' -draw 'roundrectangle 32,38 128,92 8,8' \
    -fill '#555555' -draw 'rectangle 44,28 72,38' -fill '#3a3a3a' -draw 'circle 80,65 80,80'
# camera body with its strap, light backdrop
draw e51177001.jpg '#f0f0f0-#b8bcc4' -fill '#2b2b2b' -draw 'roundrectangle 32,38 128,92 8,8' \
    -fill '#3a3a3a' -draw 'circle 80,65 80,80' -stroke '#8a2020' -strokewidth 3 -fill none \
    -draw 'bezier 32,48 10,110 150,110 128,48'
# handheld console, onyx black, with its box
draw g40025613.jpg '#ffffff-#e0e0d8' -fill '#c8b890' -draw 'rectangle 92,30 146,100' \
    -fill '#202020' -draw 'roundrectangle 14,24 104,96 14,14' -fill '#3a4a5a' -draw 'rectangle 30,34 88,68' \
    -fill '#909090' -draw 'circle 34,82 34,88' -draw 'circle 84,82 84,88'
