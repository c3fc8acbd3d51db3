#!/usr/bin/env bash
# Builds the OCR control's libFuzzer target (pattern files, DIBs) with clang,
# apart from the main GCC build, and runs it for a bounded time from seeds it
# makes itself.
#   FUZZ_SECONDS=60  FUZZ_BUILD_DIR=build-fuzz
# A crash leaves its input as <build dir>/crash-ocrctl_inputs-* and fails the script.
set -euo pipefail
# shellcheck source=tests/fuzz/fuzz_common.sh
source "$(dirname "$0")/fuzz_common.sh"
SOURCES=(ocrctl/compound_file.cpp ocrctl/pattern_store.cpp ocrctl/working_image.cpp
         platform/paths.cpp platform/global_memory.cpp)
read -r -a LIBS <<<"$(pkg-config --libs libgsf-1)"
read -r -a CFLAGS <<<"$(pkg-config --cflags libgsf-1)"
FLAGS=(-std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer -I"$ROOT" "${CFLAGS[@]}")
build_fuzzer ocrctl_inputs "$OUT/obj-ocrctl" "${SOURCES[@]}"

# Seeds: a small compound file (from python3-olefile's reader's point of view
# any valid one will do: ImageMagick cannot make one, so the build's own
# pattern file of the tests is used when present), a flat pattern file and DIBs.
seeds="$OUT/seeds/ocrctl_inputs"
mkdir -p "$seeds"
prefix() { { printf "\\x$(printf %02x "$1")"; cat "$2"; } >"$3"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 40x20 xc:white -fill black -draw "rectangle 5,5 30,15" "$tmp/p.png"
convert "$tmp/p.png" -monochrome BMP3:"$tmp/p1.bmp"
convert "$tmp/p.png" -type Grayscale BMP3:"$tmp/p8.bmp"
convert "$tmp/p.png" -type TrueColor BMP3:"$tmp/p24.bmp"
for b in p1 p8 p24; do prefix 2 "$tmp/$b.bmp" "$seeds/dib-$b"; done
{ printf 'usrPattenV30\0\0\0\0\0\0\0\0\1\0'; head -c 728 /dev/urandom; } >"$tmp/flat"
prefix 1 "$tmp/flat" "$seeds/flat"
python3 - "$tmp/c.upt" <<'PY' 2>/dev/null && prefix 0 "$tmp/c.upt" "$seeds/compound" || true
import sys
# The smallest compound file: header, one FAT sector, one directory sector.
import struct
sector = 512
header = bytearray(sector)
header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
struct.pack_into("<HHHH", header, 24, 0x3E, 3, 0xFFFE, 9)
struct.pack_into("<H", header, 32, 6)
struct.pack_into("<I", header, 44, 1)      # FAT sectors
struct.pack_into("<I", header, 48, 1)      # first directory sector
struct.pack_into("<I", header, 56, 4096)
struct.pack_into("<I", header, 60, 0xFFFFFFFE)
struct.pack_into("<I", header, 68, 0xFFFFFFFE)
struct.pack_into("<I", header, 76, 0)      # FAT at sector 0
for i in range(1, 109): struct.pack_into("<I", header, 76 + 4 * i, 0xFFFFFFFF)
fat = bytearray(b"\xff" * sector)
struct.pack_into("<II", fat, 0, 0xFFFFFFFD, 0xFFFFFFFE)
d = bytearray(sector)
name = "Root Entry".encode("utf-16-le") + b"\0\0"
d[0:len(name)] = name
struct.pack_into("<HBB", d, 64, len(name), 5, 1)
struct.pack_into("<III", d, 68, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
struct.pack_into("<I", d, 116, 0xFFFFFFFE)
open(sys.argv[1], "wb").write(header + fat + d)
PY

run_fuzzer ocrctl_inputs "$seeds"
