#!/usr/bin/env bash
# Installs the Debian packages the build and the test suite need, only when some are missing:
# quiet when nothing is, one line when something is, apt's own output in a log file that is shown
# only when the installation fails.
#
#   scripts/install-deps.sh [--log FILE] [EXTRA-PACKAGE...]     (default log: build/install-deps.log)
set -euo pipefail
log="$(dirname "$0")/../build/install-deps.log"
if [[ "${1:-}" == --log ]]; then
    log=${2:?--log needs a file}
    shift 2
fi
# desktop-file-utils and appstream validate the installed desktop files in the tests, systemd
# (systemd-analyze) the units; dpkg-dev computes the package's dependencies for `make package`;
# clang-format checks the formatting in the tests; qt6-httpserver-dev (with qt6-websockets-dev,
# which its CMake files ask for) is vornikd's HTTP server; chromium, chromium-driver and
# python3-selenium load vornikd's live page in a real browser in the tests; libmosquitto-dev is
# vornikd's MQTT client, and mosquitto with mosquitto-clients the broker and the clients its
# tests talk through.
packages=(cmake make g++ qt6-base-dev qt6-serialport-dev qt6-httpserver-dev qt6-websockets-dev
          libgl-dev desktop-file-utils appstream systemd dpkg-dev clang-format chromium
          chromium-driver python3-selenium libmosquitto-dev mosquitto mosquitto-clients pkg-config)
for extra in "$@"; do packages+=("$extra"); done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

mkdir -p "$(dirname "$log")"
echo "Installing missing packages: ${missing[*]} (apt's output: $log)"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo_cmd[@]}" apt-get update -q \
        && "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; } \
        >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: installing ${missing[*]} failed (the output above is in $log)" >&2
    exit 1
fi
