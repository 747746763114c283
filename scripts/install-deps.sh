#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Tarvela need.
# Skips what is already installed; uses sudo when not root.
set -euo pipefail

BUILD_PKGS=(
  g++ cmake ninja-build pkg-config make ccache lld
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libpugixml-dev libcurl4-openssl-dev libssl-dev
  libxcb1-dev libxcb-util-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev
  libxcb-xinput-dev libxcb-keysyms1-dev libxcb-composite0-dev libxcb-xtest0-dev
  libxcb-image0-dev libxcb-shm0-dev libxcb-xfixes0-dev libxcb-shape0-dev libxcb-xkb-dev libxcb-render0-dev
  qt6-base-dev libgl-dev libxkbcommon-dev
)
# A private X display with real clients, for the integration tests, `make run` and its tour.
DESKTOP_PKGS=(
  xvfb xserver-xephyr openbox xterm xfonts-base x11-apps x11-utils x11-xserver-utils
  xdotool wmctrl imagemagick tint2
  picom dbus dbus-x11 dunst libnotify-bin fonts-dejavu-core
  python3  # the tour's loopback update feed
  # A real two-output desktop (Xorg with the dummy driver) and a GTK 3 application on it.
  xserver-xorg-core xserver-xorg-video-dummy zenity
)

# `make install` and `make deb`, and the tests that check what they ship: the
# library scan of the package, manual page rendering, the package checker, zsh
# to read the completion.
PACKAGING_PKGS=(dpkg-dev file man-db groff-base lintian zsh)

want=("${BUILD_PKGS[@]}")
if [ "${1:-}" != "--build-only" ]; then want+=("${DESKTOP_PKGS[@]}" "${PACKAGING_PKGS[@]}"); fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
