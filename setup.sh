#!/usr/bin/env bash
# Installs what brindel needs on Debian 12 and builds it into ./build.
# Safe to run again: installs only what is missing, rebuilds only what changed.
#   BUILD_DIR=...        build folder (default: build)
#   BRINDEL_SANITIZE=ON  build with AddressSanitizer and UBSan
#   BRINDEL_BENCH=OFF    leave out the benchmarks and evaluation programs
# Under CI (CI set) the build is from cold: no ccache, and line tables only
# as debug information, which builds and links faster.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libsqlite3-dev sqlite3
  libleptonica-dev libtiff-dev libtiff-tools libgif-dev libjpeg-dev libpng-dev libwebp-dev libopenjp2-7-dev
  libmagick++-6.q16-dev
  libtesseract-dev tesseract-ocr tesseract-ocr-jpn tesseract-ocr-jpn-vert tesseract-ocr-eng
  libsane-dev libsane1 sane-utils
  libcurl4-openssl-dev libgsf-1-dev catdoc poppler-utils libzip-dev
  libharfbuzz-dev libfreetype-dev fonts-noto-cjk
  libgtest-dev libgmock-dev libbenchmark-dev
  imagemagick xvfb xauth python3 python3-olefile
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
SANITIZE=${BRINDEL_SANITIZE:-OFF}
BENCH=${BRINDEL_BENCH:-ON}
LINE_TABLES=OFF
[ -n "${CI:-}" ] && LINE_TABLES=ON
OPTIONS=()
command -v ccache >/dev/null 2>&1 && [ -z "${CI:-}" ] && OPTIONS+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDEL_SANITIZE="$SANITIZE" \
  -DBRINDEL_BENCH="$BENCH" -DBRINDEL_LINE_TABLES="$LINE_TABLES" "${OPTIONS[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
# Without the benchmarks there is no evaluation to draw pages for.
[ "$BENCH" = ON ] || exit 0

# Further Japanese font families for the evaluation harnesses (bench/*_eval)
# only: unpacked into the build folder, never installed, because a second CJK
# font known to fontconfig changes the glyphs Qt picks in the program's tests.
EVAL_FONT_PACKAGES=(fonts-ipafont-mincho fonts-ipaexfont-gothic fonts-takao-gothic fonts-vlgothic)
fonts_dir="$BUILD_DIR/eval-fonts"
if [ ! -f "$fonts_dir/unpacked" ]; then
  mkdir -p "$fonts_dir/debs"
  if (cd "$fonts_dir/debs" && apt-get download -q "${EVAL_FONT_PACKAGES[@]}" >/dev/null 2>&1); then
    for deb in "$fonts_dir"/debs/*.deb; do dpkg-deb -x "$deb" "$fonts_dir"; done
    rm -rf "$fonts_dir/debs"
    touch "$fonts_dir/unpacked"
  else
    echo "setup.sh: the evaluation fonts could not be fetched; the evaluations leave out their pages" >&2
  fi
fi
