#!/usr/bin/env bash
# Builds the image readers' libFuzzer target with clang (tests/fuzz/CMakeLists.txt,
# apart from the main GCC build) and runs it for a bounded time from seeds that ImageMagick and
# libtiff's tools make: BMP of every depth and RLE, OS/2 BMP, GIF, PNG, JPEG,
# TIFF (LZW, G4, G3, JPEG), PNM, and what transparency, pages and colour
# spaces bring: PNG with alpha or a transparency chunk, 32-bit BMP with
# alpha, multi-frame GIF with a transparent index, TIFF with alpha and of 16-bit grey,
# CMYK, progressive and Exif JPEG; PCX, TARGA, Photoshop, Sun Raster and CALS
# (read through Magick++).
#   FUZZ_SECONDS=60  FUZZ_BUILD_DIR=build-fuzz
# A crash leaves its input as <build dir>/crash-image_reader-* and fails the script.
set -euo pipefail
# shellcheck source=tests/fuzz/fuzz_common.sh
source "$(dirname "$0")/fuzz_common.sh"
build_fuzzers image_reader

seeds="$OUT/seeds/image_reader"
mkdir -p "$seeds"
# seed <file> <convert arguments...>: made once; a seed added later is made on the next run
seed() {
  local file=$1
  shift
  [ -f "${file#*:}" ] || convert "$@" "$file"
}
pic=(-size 40x30 gradient:'#3060c0-#f0e080' -fill black -draw 'rectangle 5,5 20,12' -alpha off -depth 8)
clear=(-size 40x30 xc:red -fill black -draw 'rectangle 5,5 20,12' -transparent red -fill 'rgba(0,0,255,0.5)'
       -draw 'rectangle 25,20 35,25')
cd "$seeds"
seed BMP3:c24.bmp "${pic[@]}" -type truecolor
seed BMP3:p8.bmp "${pic[@]}" -colors 200 -type palette -compress None
seed BMP3:rle8.bmp "${pic[@]}" -colors 200 -type palette -compress RLE
seed BMP3:rle4.bmp "${pic[@]}" -colors 12 -type palette -compress RLE
seed BMP3:b1.bmp "${pic[@]}" -type bilevel
seed BMP2:os2.bmp "${pic[@]}" -type palette
seed BMP:a32.bmp "${clear[@]}" -define bmp:format=bmp4
seed GIF:a.gif "${pic[@]}"
seed GIF:frames.gif \( "${clear[@]}" \) \( "${pic[@]}" -colors 4 \)
seed PNG24:a.png "${pic[@]}"
seed PNG32:rgba.png "${clear[@]}"
seed PNG8:trns8.png "${clear[@]}"
seed PNG:greytrns.png -size 40x30 xc:gray50 -fill black -draw 'rectangle 5,5 20,12' -transparent gray50 -define png:color-type=0
seed JPG:a.jpg "${pic[@]}" -sampling-factor 2x2
seed JPG:cmyk.jpg "${pic[@]}" -colorspace CMYK
seed JPG:progressive.jpg "${pic[@]}" -interlace JPEG
# a JPEG whose resolution only Exif states (300 dpi), its JFIF segment left out
[ -f exif.jpg ] || python3 -c '
import struct, sys
jpeg = open("a.jpg", "rb").read()
rest = jpeg[4 + struct.unpack(">H", jpeg[4:6])[0]:] if jpeg[2:4] == b"\xff\xe0" else jpeg[2:]
ifd = struct.pack("<H", 3) + struct.pack("<HHII", 282, 5, 1, 50) + struct.pack("<HHII", 283, 5, 1, 58) \
    + struct.pack("<HHIHH", 296, 3, 1, 2, 0) + struct.pack("<I", 0) + struct.pack("<IIII", 300, 1, 300, 1)
body = b"Exif\0\0" + b"II*\0" + struct.pack("<I", 8) + ifd
open("exif.jpg", "wb").write(b"\xff\xd8\xff\xe1" + struct.pack(">H", len(body) + 2) + body + rest)'
seed TIFF:lzw.tif "${pic[@]}" -compress LZW
seed TIFF:alpha.tif "${clear[@]}" -compress LZW
seed TIFF:grey16.tif "${pic[@]}" -colorspace Gray -depth 16
seed TIFF:g4.tif "${pic[@]}" -type bilevel -compress Group4
[ -f g3.tif ] || tiffcp -c g3:2d g4.tif g3.tif
seed TIFF:rgb.tif "${pic[@]}" -compress None
[ -f jpeg.tif ] || tiffcp -c jpeg -r 16 rgb.tif jpeg.tif
seed PGM:a.pgm "${pic[@]}"
seed PCX:a.pcx "${pic[@]}"
seed TGA:a.tga "${pic[@]}" -compress RLE
seed TGA:grey.tga "${pic[@]}" -colorspace Gray
seed PSD:a.psd "${pic[@]}"
seed SUN:a.ras "${pic[@]}"
seed CALS:a.cal "${pic[@]}" -monochrome
cd "$ROOT"

run_fuzzer image_reader "$seeds"
