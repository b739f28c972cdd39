#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, if it is missing:
# compilers (native and MinGW-w64), libgcrypt for both, GoogleTest sources,
# Wine with a Japanese locale, NSIS for the setup program, and the tools of
# the benchmark script.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgcrypt20-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev
  wine64 locales xvfb openssl time xxd
  fonts-ipafont-gothic imagemagick xdotool x11-utils xauth
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine needs the Japanese locale for the ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
