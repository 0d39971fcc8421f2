#!/usr/bin/env bash
# Installs what building, running and testing Periodix needs on Debian 12,
# then configures and builds. Fast when everything is already there.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-websockets-dev qt6-qpa-plugins libgl-dev libxcb1-dev libasound2-dev
          fonts-dejavu-core fonts-liberation2 dpkg-dev file xvfb xauth xdotool x11-utils iproute2 util-linux chromium
          nginx-light libnginx-mod-nchan openssl python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
