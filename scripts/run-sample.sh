#!/usr/bin/env bash
# Installs what is missing, builds, and runs filecrawler on the sample study.
# Arguments are passed to filecrawler.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" >/dev/null
exec "${BUILD_DIR:-$here/build}/app/filecrawler" "$@"
