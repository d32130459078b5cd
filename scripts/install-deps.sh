#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, and only
# those that are missing. Runs as root, or through sudo for a normal user.
#   install-deps.sh --windows   also what the Windows build and its tests under Wine need
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libmicrohttpd-dev
  libgtest-dev
  iproute2 util-linux strace
  xvfb xauth x11-utils xdotool imagemagick
  at-spi2-core python3-pyatspi dbus
  dpkg-dev lintian desktop-file-utils appstream man-db adduser passwd
)
# The cross compiler, Wine, what scripts/windows-deps.sh builds libcurl, GoogleTest and
# qtbase from (their Debian sources; the host's Qt tools of the same version), and NSIS
# for the setup program.
if [[ ${1:-} == --windows ]]; then
  packages+=(g++-mingw-w64-x86-64-posix wine64 googletest nsis)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
