#!/usr/bin/env bash
# Builds the image readers' libFuzzer target with clang (apart from the main
# GCC build) and runs it for a bounded time from seeds that ImageMagick and
# libtiff's tools make: BMP of every depth and RLE, OS/2 BMP, GIF, PNG, JPEG,
# TIFF (LZW, G4, G3, JPEG), PNM.
#   FUZZ_SECONDS=60  FUZZ_BUILD_DIR=build-fuzz
# A crash leaves its input as <build dir>/crash-image_reader-* and fails the script.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
case "$OUT" in /*) ;; *) OUT="$ROOT/$OUT" ;; esac
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
SOURCES=(platform/imaging/image.cpp platform/imaging/image_inspector.cpp platform/imaging/image_codec.cpp
         platform/imaging/bmp_codec.cpp platform/imaging/tiff_codec.cpp)
mkdir -p "$OUT/obj-image"
read -r -a LIBS <<<"$(pkg-config --libs lept libtiff-4 libjpeg)"
read -r -a CFLAGS <<<"$(pkg-config --cflags lept libtiff-4)"
FLAGS=(-std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer -I"$ROOT" "${CFLAGS[@]}")
objects=()
for src in "${SOURCES[@]}"; do
  obj="$OUT/obj-image/$(basename "$src" .cpp).o"
  "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$ROOT/$src" -o "$obj"
  objects+=("$obj")
done
"$CXX" "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined "$ROOT/tests/fuzz/image_reader_fuzzer.cpp" \
  "${objects[@]}" "${LIBS[@]}" -o "$OUT/image_reader_fuzzer"

seeds="$OUT/seeds/image_reader"
if [ ! -d "$seeds" ]; then
  mkdir -p "$seeds"
  pic=(-size 40x30 gradient:'#3060c0-#f0e080' -fill black -draw 'rectangle 5,5 20,12' -alpha off -depth 8)
  convert "${pic[@]}" -type truecolor BMP3:"$seeds/c24.bmp"
  convert "${pic[@]}" -colors 200 -type palette -compress None BMP3:"$seeds/p8.bmp"
  convert "${pic[@]}" -colors 200 -type palette -compress RLE BMP3:"$seeds/rle8.bmp"
  convert "${pic[@]}" -colors 12 -type palette -compress RLE BMP3:"$seeds/rle4.bmp"
  convert "${pic[@]}" -type bilevel BMP3:"$seeds/b1.bmp"
  convert "${pic[@]}" -type palette BMP2:"$seeds/os2.bmp"
  convert "${pic[@]}" "$seeds/a.gif"
  convert "${pic[@]}" PNG24:"$seeds/a.png"
  convert "${pic[@]}" -sampling-factor 2x2 "$seeds/a.jpg"
  convert "${pic[@]}" -compress LZW "$seeds/lzw.tif"
  convert "${pic[@]}" -type bilevel -compress Group4 "$seeds/g4.tif"
  tiffcp -c g3:2d "$seeds/g4.tif" "$seeds/g3.tif"
  convert "${pic[@]}" -compress None "$seeds/rgb.tif" && tiffcp -c jpeg -r 16 "$seeds/rgb.tif" "$seeds/jpeg.tif"
  convert "${pic[@]}" PGM:"$seeds/a.pgm"
fi

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$OUT/corpus/image_reader"
if "$OUT/image_reader_fuzzer" "$OUT/corpus/image_reader" "$seeds" -max_total_time="$SECONDS_EACH" -timeout=10 \
     -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$OUT/crash-image_reader-" \
     >"$OUT/image_reader.log" 2>&1; then
  echo "fuzz image_reader: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$OUT/image_reader.log" | grep -o '[0-9]*$') runs)"
else
  echo "fuzz image_reader: FAILED, see $OUT/image_reader.log"
  tail -n 40 "$OUT/image_reader.log"
  exit 1
fi
