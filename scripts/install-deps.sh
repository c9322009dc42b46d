#!/usr/bin/env bash
# Installs the Debian packages the project needs. Does nothing when all of them are present.
# Usage: scripts/install-deps.sh [--product | --web]
#   --product  only what building the plug-in and the renderer needs (the main job);
#              by default also the tests', the benchmarks', the Windows and arm64 cross-builds' and the
#              web page's
#   --web      only what the web page needs (scripts/web.sh): Emscripten, the engine's headers,
#              a C++ compiler, Node.js and npm, and chromium for its tests
set -euo pipefail

product=(
  build-essential cmake pkg-config ccache git
  juce-modules-source faust-common
  libflac-dev libvorbis-dev libogg-dev
  libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev
  libfreetype-dev libfontconfig-dev libasound2-dev libgl-dev
  libpng-dev libjpeg-dev zlib1g-dev
  fonts-dejavu-core binutils lv2-dev
  dpkg-dev help2man
)

checks=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth x11-utils libxdamage-dev imagemagick librsvg2-bin
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev wine64 wine zip unzip
  nsis xdotool
  jalv jackd2 libjack-jackd2-dev lilv-utils sordi
  libmpfr-dev
)

# The 64-bit ARM cross-build (scripts/build-arm64.sh) and its checks under qemu: Debian's cross
# compiler, and the arm64 libraries the plug-in, the window and the tests link, through multiarch.
arm64=(
  g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user-static
  libc6:arm64 libstdc++6:arm64
  libflac-dev:arm64 libvorbis-dev:arm64 libogg-dev:arm64
  libx11-dev:arm64 libxext-dev:arm64 libxinerama-dev:arm64 libxrandr-dev:arm64 libxcursor-dev:arm64
  libfreetype-dev:arm64 libfontconfig-dev:arm64 libasound2-dev:arm64 libgl-dev:arm64
  libpng-dev:arm64 libjpeg-dev:arm64 zlib1g-dev:arm64
  libgtest-dev:arm64
  liblilv-0-0:arm64 libsndfile1:arm64
)

# Debian's arm64 lv2apply, for the arm64 LV2 check: its package cannot be installed beside the
# amd64 one (each replaces the other), so it is unpacked here and runs on the multiarch libraries
# above.
arm64_lilv_utils=/opt/pelorvane/arm64-lilv-utils
unpack_arm64_lv2apply() {
  [ -x "$arm64_lilv_utils/usr/bin/lv2apply" ] && return 0
  local scratch
  scratch=$(mktemp -d) && chmod 755 "$scratch"
  (cd "$scratch" && { apt-get download -qq lilv-utils:arm64 || { $SUDO apt-get update -qq && apt-get download -qq lilv-utils:arm64; }; })
  $SUDO mkdir -p "$arm64_lilv_utils"
  $SUDO dpkg-deb -x "$scratch"/lilv-utils_*_arm64.deb "$arm64_lilv_utils"
  rm -rf "$scratch"
}

# The web page: the engine in WebAssembly (Debian's Emscripten), and its browser tests in
# Debian's chromium. Node.js and npm come separately below.
web=(build-essential faust-common emscripten chromium)

packages=("${product[@]}")
case "${1:-}" in
  --product) ;;
  --web) packages=("${web[@]}") ;;
  "") packages+=("${checks[@]}" "${arm64[@]}" "${web[@]}") ;;
  *)
    echo "usage: $0 [--product | --web]" >&2
    exit 2
    ;;
esac

# Node.js with npm, from Debian unless some Node.js is installed already (a Node.js of another
# origin carries its own npm, and Debian's npm package would conflict with it).
if [ "${1:-}" != "--product" ] && ! { command -v node && command -v npm; } >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  [ -n "${1:-}" ] || unpack_arm64_lv2apply
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The :arm64 packages come through multiarch.
if printf '%s\n' "${missing[@]}" | grep -q ':arm64$' && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
fi
# Another install running on the machine (an unattended upgrade, a second checkout's script)
# holds the package database for a while: wait for it rather than fail.
wait_for_lock=(-o DPkg::Lock::Timeout=900)
$SUDO apt-get "${wait_for_lock[@]}" update -qq
$SUDO apt-get "${wait_for_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
[ -n "${1:-}" ] || unpack_arm64_lv2apply
