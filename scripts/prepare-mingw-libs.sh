#!/usr/bin/env bash
# Usage: scripts/prepare-mingw-libs.sh PREFIX
#
# Builds static MinGW-w64 libpng and libjpeg-turbo into PREFIX for the Windows
# cross-build. Debian's JUCE has its bundled image codecs stripped and Debian
# ships no MinGW builds of them, so they are built from Debian's own source
# packages. Does nothing once PREFIX holds them. zlib comes from
# libz-mingw-w64-dev.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
prefix=$(realpath -m "$1")
# Written last, so a run that died half-way is redone.
stamp="$prefix/share/pelorvane-mingw-libs.stamp"

if [ -f "$stamp" ] \
  && [ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/lib/libjpeg.a" ] \
  && [ -f "$prefix/include/png.h" ] && [ -f "$prefix/include/jpegint.h" ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

work=$(mktemp -d "${TMPDIR:-/tmp}/pelorvane-mingw-libs.XXXXXX")
log="$work/log"
: >"$log"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "prepare-mingw-libs: $*" >&2
  if [ -s "$log" ]; then
    echo "--- last lines of the log ---" >&2
    tail -n 60 "$log" >&2
  fi
  exit 1
}

# Runs a step with its output in the log; shows the log only when it fails.
step() {
  local what=$1
  shift
  echo "+ $*" >>"$log"
  "$@" >>"$log" 2>&1 || fail "$what failed"
}

for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-ar cmake dpkg-source; do
  command -v "$tool" >/dev/null || fail "$tool not found; run scripts/install-deps.sh"
done
[ -f /usr/x86_64-w64-mingw32/include/zlib.h ] \
  || fail "MinGW zlib missing; run scripts/install-deps.sh"

# apt-get source needs source indices from the same Debian archive apt already
# uses for binaries. Mirror its entries for this release as deb-src.
# Not a pipe into grep -q: apt-cache's SIGPIPE would fail it under pipefail.
knows_sources() {
  local out
  out=$(apt-cache showsrc libpng1.6 libjpeg-turbo 2>/dev/null) || return 1
  grep -q '^Package: libpng1.6$' <<<"$out" && grep -q '^Package: libjpeg-turbo$' <<<"$out"
}

ensure_deb_src() {
  knows_sources && return 0

  local codename
  # shellcheck source=/dev/null
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")

  if ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
      /etc/apt/sources.list /etc/apt/sources.list.d/; then
    local deb822="" legacy="" f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      deb822+=$(awk -v RS= -v ORS='\n\n' -v cn="$codename" '
        /(^|\n)Types:[^\n]*[ \t]deb([ \t]|\n|$)/ &&
        $0 ~ ("(^|\n)Suites:[^\n]*[ \t]" cn "([- \t]|\n|$)") {
          sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print
        }' "$f")$'\n\n'
    done
    if [ -f /etc/apt/sources.list ]; then
      legacy=$(grep -E "^[[:space:]]*deb[[:space:]].*[[:space:]]$codename([-[:space:]]|$)" \
        /etc/apt/sources.list | sed -E 's/^([[:space:]]*)deb/\1deb-src/' || true)
    fi
    [ -n "${deb822//[[:space:]]/}${legacy}" ] \
      || fail "no Debian $codename entry in apt's sources to derive a deb-src entry from"
    if [ -n "${deb822//[[:space:]]/}" ]; then
      printf '%s\n' "$deb822" | $SUDO tee /etc/apt/sources.list.d/pelorvane-deb-src.sources >/dev/null \
        || fail "cannot write /etc/apt/sources.list.d/pelorvane-deb-src.sources"
    fi
    if [ -n "$legacy" ]; then
      printf '%s\n' "$legacy" | $SUDO tee /etc/apt/sources.list.d/pelorvane-deb-src.list >/dev/null \
        || fail "cannot write /etc/apt/sources.list.d/pelorvane-deb-src.list"
    fi
  fi

  step "apt-get update" $SUDO apt-get update -qq
  knows_sources \
    || fail "apt knows no libpng1.6/libjpeg-turbo source packages even after adding deb-src entries"
}

ensure_deb_src

# Newest version first, but a listed version whose files the mirror does not
# serve (seen with a fresh security update) falls back to the next one.
fetch_source() {
  local pkg=$1 dir="$work/src-$1" v i
  local -a versions=() sorted=()
  mapfile -t versions < <(apt-cache showsrc "$pkg" 2>/dev/null \
    | awk -v pkg="$pkg" '/^Package: /{p=$2} /^Version: / && p==pkg {print $2}' | sort -u)
  for v in "${versions[@]}"; do
    i=0
    while [ "$i" -lt "${#sorted[@]}" ] && dpkg --compare-versions "${sorted[$i]}" gt "$v"; do
      i=$((i + 1))
    done
    sorted=("${sorted[@]:0:$i}" "$v" "${sorted[@]:$i}")
  done
  [ "${#sorted[@]}" -gt 0 ] || fail "no source versions of $pkg known to apt"

  for v in "${sorted[@]}"; do
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "+ apt-get source $pkg=$v" >>"$log"
    if (cd "$dir" && apt-get source -qq --only-source "$pkg=$v") >>"$log" 2>&1; then
      fetched=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1)
      [ -n "$fetched" ] || fail "$pkg $v fetched but no source tree unpacked"
      echo "$pkg $v" >>"$work/versions"
      return 0
    fi
  done
  fail "could not fetch any source version of $pkg (${sorted[*]})"
}

fetch_source libpng1.6
png_src=$fetched
fetch_source libjpeg-turbo
jpeg_src=$fetched

jobs=${PELORVANE_JOBS:-2}

# Build type None: libjpeg-turbo turns -O2 into -O3 in its Release flags.
configure() {
  local what=$1 src=$2 build=$3
  shift 3
  step "configuring $what" cmake -S "$src" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DPELORVANE_MINGW_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_C_FLAGS="-O2 -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    "$@"
}

# Only the static library targets are built; headers are installed by hand so
# that no tools, tests, man pages or shared libraries get made.
configure libpng "$png_src" "$work/build-png" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DPNG_FRAMEWORK=OFF -DSKIP_INSTALL_ALL=ON
step "building libpng" cmake --build "$work/build-png" --target png_static -j "$jobs"

configure libjpeg-turbo "$jpeg_src" "$work/build-jpeg" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
  -DWITH_SIMD=OFF

# JUCE's jpeg namespace does `using jpeglibNamespace::boolean`. The stock
# Windows jconfig.h leaves the typedef out once rpcndr.h (pulled in by
# windows.h) has been seen, so it must be unconditional. Both are unsigned
# char, so the duplicate is harmless. Patched before building so that the
# library and its users agree on it.
jconfig="$work/build-jpeg/jconfig.h"
grep -q '__RPCNDR_H__' "$jconfig" || fail "unexpected jconfig.h: no rpcndr.h guard around boolean"
awk '
  /^#ifndef __RPCNDR_H__/ { skip = 1; next }
  skip && /^typedef unsigned char boolean;/ { print; next }
  skip && /^#endif/ { skip = 0; next }
  { print }' "$jconfig" >"$jconfig.new"
grep -qx 'typedef unsigned char boolean;' "$jconfig.new" \
  || fail "could not make the boolean typedef in jconfig.h unconditional"
! grep -q '__RPCNDR_H__' "$jconfig.new" || fail "rpcndr.h guard still in jconfig.h"
mv "$jconfig.new" "$jconfig"

step "building libjpeg-turbo" cmake --build "$work/build-jpeg" --target jpeg-static -j "$jobs"

# PREFIX may hold other things: replace only our own files.
rm -f "$stamp"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/share"

png_build="$work/build-png"
install -m 644 "$png_src/png.h" "$png_src/pngconf.h" "$png_build/pnglibconf.h" "$prefix/include/"
png_lib=$(find "$png_build" -maxdepth 1 -name 'libpng16*.a' | head -n1)
[ -n "$png_lib" ] || fail "libpng static library not found in $png_build"
install -m 644 "$png_lib" "$prefix/lib/libpng16.a"
# FindPNG and plain -lpng both look for this name.
cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a"

jpeg_build="$work/build-jpeg"
# jpegint.h: JUCE compiles its loader with JPEG_INTERNALS.
install -m 644 "$jpeg_src/jpeglib.h" "$jpeg_src/jmorecfg.h" "$jpeg_src/jerror.h" \
  "$jpeg_src/jpegint.h" "$jpeg_build/jconfig.h" "$prefix/include/"
install -m 644 "$jpeg_build/libjpeg.a" "$prefix/lib/libjpeg.a"

cp "$work/versions" "$stamp"
