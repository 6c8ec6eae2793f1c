#!/bin/sh
# Installs the Debian packages Selvane needs to build, test and run.
# Idempotent: does nothing when every package and the test locale are already present.
set -eu

PACKAGES="build-essential cmake pkg-config locales
libvtk9-dev libvtk9-qt-dev qtbase5-dev qtbase5-dev-tools libx11-dev
libgtest-dev libgmock-dev libbenchmark-dev
xvfb xauth libgl1-mesa-dri mesa-utils
clang libclang-rt-14-dev clang-format
libeigen3-dev libsuitesparse-dev libopenblas0-pthread
nlohmann-json3-dev libxml2-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# The test suite runs again under a locale whose decimal point is a comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the de_DE.UTF-8 locale"
  $SUDO localedef -i de_DE -c -f UTF-8 -A /usr/share/locale/locale.alias de_DE.UTF-8
fi
