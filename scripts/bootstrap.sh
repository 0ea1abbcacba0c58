#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need and that a fresh
# Debian 12 machine lacks. Safe to run again: it installs only what is missing.
# As root it runs apt-get itself; otherwise it prints the command to run and fails.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build ccache pkg-config clang-14 libclang-rt-14-dev
  # libraries of the client
  libsdl2-dev libgl-dev libsodium-dev zlib1g-dev
  # tests, benchmarks and references
  libgtest-dev libgmock-dev libbenchmark-dev libglm-dev
  xvfb xauth xdotool xclip python3-xlib libgl1-mesa-dri mesa-utils
  python3 python3-nacl python3-botan python3-numpy python3-pil crudini
  # locale sources: tests build a comma-decimal locale to check files stay in the C format
  locales
  imagemagick netpbm sox
  # fonts: the font builder rasterises the demo faces; tests cross-check it with FreeType
  libfreetype-dev python3-freetype fonts-dejavu-core
  # music
  libfluidsynth-dev timgm6mb-soundfont
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: these packages are missing: ${missing[*]}" >&2
  echo "bootstrap: run as root:  apt-get update && $cmd" >&2
  exit 1
fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y --no-install-recommends -qq "${missing[@]}"
