#!/usr/bin/env bash
# Draws NRV_LOGO.bmp, the program's logo (ours, made once and committed):
# a blue band with the letters NRV, as an uncompressed 24-bit BMP at the
# size the window shows it (140 x 27).
set -euo pipefail
cd "$(dirname "$0")"
convert -size 140x27 gradient:'#0b3d91-#1e88e5' -rotate 0 \
  -font DejaVu-Sans-Bold -pointsize 19 -fill white -gravity west \
  -annotate +8+0 'NRV' \
  -fill '#ffd54f' -draw 'rectangle 62,8 132,11' -draw 'rectangle 62,15 118,18' \
  -type TrueColor BMP3:NRV_LOGO.bmp
