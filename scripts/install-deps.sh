#!/usr/bin/env bash
# Installs the Debian packages the build and the test suite need, only when some are missing.
set -euo pipefail
# desktop-file-utils and appstream validate the installed desktop files in the tests; dpkg-dev
# computes the package's dependencies for `make package`.
packages=(cmake make g++ qt6-base-dev qt6-serialport-dev libgl-dev desktop-file-utils appstream
          dpkg-dev)
for extra in "$@"; do packages+=("$extra"); done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
