#!/usr/bin/env bash
# Installs what is missing, builds, and starts brindel.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
# The OCR control is found through the component registry, as an
# installation would have entered it.
./build/bin/brindel-regcomponent "$PWD/build/lib/libZEQOCR30.so"
exec ./build/bin/brindel "$@"
