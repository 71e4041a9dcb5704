#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need; skips apt-get
# entirely when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libgtest-dev libgmock-dev
  libpcre3-dev libssl-dev zlib1g-dev
  clang clang-format libclang-rt-14-dev
  graphviz tcpdump wget
  fonts-liberation fonts-dejavu-core
  python3 time bc
  qt6-base-dev qt6-qpa-plugins libqscintilla2-qt6-dev
  libarchive-dev libarchive-tools libexpat1-dev libpng-dev libjpeg-dev
  qt6-image-formats-plugins
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  # Without this, a fresh graphviz may not know its -Tplain output.
  if [[ " ${missing[*]} " == *" graphviz "* ]]; then $SUDO dot -c; fi
fi
