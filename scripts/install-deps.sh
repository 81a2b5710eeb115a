#!/usr/bin/env bash
# Installs the Debian packages Korvane needs to build, test and benchmark.
# With --list it only prints the list (scripts/check-deps.py reads it).
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libsqlite3-dev sqlite3 libblkid-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev postgresql-15 libpq-dev
  python3 python3-pyftpdlib lftp duc time poppler-utils xvfb xauth locales-all
  fonts-dejavu-core shared-mime-info e2fsprogs tzdata util-linux
  ccache strace locales btrfs-progs sshfs openssh-server libglib2.0-bin
  desktop-file-utils dbus-daemon xdg-utils gvfs gvfs-backends gvfs-fuse samba
)
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
