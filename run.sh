#!/usr/bin/env bash
# Installs what is missing, builds, and starts brindel.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
exec ./build/bin/brindel "$@"
