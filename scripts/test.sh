#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite with CTest.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$here/build}"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
cd "$build_dir"
ctest --output-on-failure --parallel "$(nproc)"
