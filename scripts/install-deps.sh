#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, or the
# packages named on the command line (the data generators in tools/ use that).
# Idempotent and non-interactive; refreshes the package lists only when
# something is missing.
set -euo pipefail

default_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-5compat-dev
    qt6-tools-dev qt6-l10n-tools libqt6opengl6-dev libgl-dev libvulkan-dev qt6-image-formats-plugins
    libsqlite3-dev zlib1g-dev fonts-dejavu-core fonts-droid-fallback fonts-nanum fonts-lohit-deva fonts-tlwg-loma-otf
    xvfb xauth libgl1-mesa-dri poppler-utils
    libxml2-utils python3 chromium
    dpkg-dev file ccache appstream lintian
    clang libclang-rt-dev
)
if [ $# -gt 0 ]; then packages=("$@"); else packages=("${default_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
