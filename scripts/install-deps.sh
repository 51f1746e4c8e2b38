#!/usr/bin/env bash
# Installs the Debian packages Fernquill needs, only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-14 libclang-rt-14-dev
  clang-format-14 clang-tidy-14 git
  libsqlite3-dev sqlite3 libssl-dev openssl zlib1g-dev
  libplist-dev libimobiledevice-dev libusbmuxd-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libfmt-dev
  libxml2-dev python3
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-tools-dev libxcb1-dev fonts-dejavu-core
  xvfb xauth poppler-utils
  libheif-dev libheif-examples mpv
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
