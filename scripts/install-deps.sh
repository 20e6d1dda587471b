#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/install-deps.sh [--bench]   (--bench adds the peer tools of the benchmarks and
# what scripts/check-exports-libreoffice.sh opens the exports with)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev libgl-dev
  libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
  zlib1g-dev libdeflate-dev libxlsxwriter-dev unixodbc-dev tdsodbc libsqlite3-dev libpq-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  postgresql-15 sqlite3 fonts-liberation2 clang unzip qt6-translations-l10n
  dpkg-dev file
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(pgdbf gdal-bin time hyperfine libreoffice-calc libreoffice-writer poppler-utils bc)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if (( ${#missing[@]} == 0 )); then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
