#!/usr/bin/env bash
# Installs, from the distribution's packages, whatever the build still lacks,
# and the further packages named as arguments.
set -euo pipefail

packages=(build-essential cmake qt6-base-dev qt6-base-dev-tools libgl-dev
          libicu-dev fonts-liberation
          pkg-config libzip-dev zlib1g-dev libxlsxwriter-dev
          unzip "$@") # unzip: the xlsx report's tests read it back
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    # Nothing here can install them: say what to install instead of failing.
    cat >&2 <<MSG
These packages are needed to build Corvantis and are not installed:
  ${missing[*]}
Install them as root (for example after "su -"), then run this again:
  apt-get update && apt-get install --no-install-recommends ${missing[*]}
MSG
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
