#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Only what is missing is installed; safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev
  libvtk9-dev
  libboost-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  python3
  time
  # The Python module (python/): pybind11, the headers, and what its package
  # and tests use. python3-vtk9 (optional) lets study.table() give a vtkTable.
  pybind11-dev python3-dev python3-pytest python3-pandas python3-tqdm
  # The fuzz harnesses: clang with its sanitizer and libFuzzer runtimes.
  clang libclang-rt-14-dev
  # The latency benchmark: a FUSE file system that delays each operation, and
  # fd (fdfind) to compare with.
  libfuse3-dev fuse3 fd-find
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
