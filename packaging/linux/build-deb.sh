#!/usr/bin/env bash
# Builds the Debian package pelorvane_<version>_<arch>.deb from the built bundles and renderer:
#   /usr/lib/vst3/Pelorvane.vst3                  the VST3 bundle
#   /usr/lib/lv2/Pelorvane.lv2                    the LV2 bundle (its factory presets in its manifest)
#   /usr/share/vst3/presets/<vendor>/<product>    the factory presets as VST3 preset files
#   /usr/bin/pelorvane-render                     the command-line renderer
#   /usr/share/man/man1/pelorvane-render.1.gz     its manual page, made from its --help
#   /usr/share/doc/pelorvane/copyright, changelog.gz
# Run by the build (cmake/PelorvanePackage.cmake). Every binary ships stripped: the modules
# were stripped by the build (their symbols are in the symbol archives); the renderer is
# stripped here. Depends is computed from the binaries by dpkg-shlibdeps; the libraries the
# framework opens at run time for the plug-in's window (X11) are added by name.
#
# Usage: build-deb.sh OUTPUT.deb VERSION ARCH MAINTAINER HOMEPAGE VST3_BUNDLE LV2_BUNDLE RENDERER VST3_PRESETS STAGING_DIR
# (VST3_PRESETS: the folder holding <vendor>/<product>/*.vstpreset)
# A cross-build sets PELORVANE_STRIP to its own strip and PELORVANE_RUNNER to the command that
# runs its programs here (qemu), which help2man needs to read the renderer's --help.
set -euo pipefail

output=$1 version=$2 arch=$3 maintainer=$4 homepage=$5 vst3=$6 lv2=$7 renderer=$8 presets=$9 stage=${10}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"

# The manual page's date, and so the package, depends on the sources alone.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

rm -rf "$stage"
package="$stage/package"
mkdir -p "$package/DEBIAN" "$package/usr/lib/vst3" "$package/usr/lib/lv2" "$package/usr/bin" \
  "$package/usr/share/man/man1" "$package/usr/share/doc/pelorvane" "$package/usr/share/vst3/presets"

cp -R "$vst3" "$package/usr/lib/vst3/"
cp -R "$lv2" "$package/usr/lib/lv2/"
cp -R "$presets/." "$package/usr/share/vst3/presets/"
install -m 0755 "$renderer" "$package/usr/bin/pelorvane-render"
${PELORVANE_STRIP:-strip} --strip-unneeded --remove-section=.comment "$package/usr/bin/pelorvane-render"

help_program="$package/usr/bin/pelorvane-render"
if [ -n "${PELORVANE_RUNNER:-}" ]; then
  help_program="$stage/pelorvane-render"
  printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$PELORVANE_RUNNER" "$package/usr/bin/pelorvane-render" >"$help_program"
  chmod +x "$help_program"
fi
help2man --no-info --no-discard-stderr --version-string="$version" \
  --name="render audio files through the Pelorvane shimmer reverb" \
  --output="$package/usr/share/man/man1/pelorvane-render.1" "$help_program"
gzip -9n "$package/usr/share/man/man1/pelorvane-render.1"

sed -e "s|@MAINTAINER@|$maintainer|g" -e "s|@HOMEPAGE@|$homepage|g" \
  "$here/copyright.in" >"$package/usr/share/doc/pelorvane/copyright"

# A native package's changelog: one entry for this version.
cat >"$package/usr/share/doc/pelorvane/changelog" <<CHANGELOG
pelorvane ($version) stable; urgency=medium

  * Pelorvane $version: VST3 and LV2 plug-ins and the pelorvane-render tool.

 -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")
CHANGELOG
gzip -9n "$package/usr/share/doc/pelorvane/changelog"

# Owner and permissions as Debian wants them, whatever the build's umask was.
find "$package" -type d -exec chmod 0755 {} +
find "$package" -type f -exec chmod 0644 {} +
chmod 0755 "$package/usr/bin/pelorvane-render"

# dpkg-shlibdeps wants to run inside a source package.
mkdir -p "$stage/debian"
touch "$stage/debian/control"
mapfile -t binaries < <(find "$package/usr" -type f \( -name '*.so' -o -path '*/usr/bin/*' \) | sort)
depends=$(cd "$stage" && dpkg-shlibdeps -O "${binaries[@]}" 2>"$stage/shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p') || { cat "$stage/shlibdeps.log" >&2; exit 1; }
[ -n "$depends" ] || { echo "build-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# The framework opens these itself when the plug-in's window is shown.
depends="$depends, libx11-6, libxext6"

installed_size=$(du -sk --exclude=DEBIAN "$package" | cut -f1)
cat >"$package/DEBIAN/control" <<CONTROL
Package: pelorvane
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Recommends: libxcursor1, libxinerama1, libxrandr2, libxss1
Section: sound
Priority: optional
Homepage: $homepage
Description: shimmer reverb plug-in (VST3 and LV2) with a command-line renderer
 Pelorvane runs the left input through a four-line feedback reverb with an
 octave-up shimmer and mixes the wide stereo tail with the dry signal.
 Controls: Space (decay), Lumens (share of shimmer), Tone (damping), Mix and
 Bypass.
 .
 This package holds the VST3 bundle (in /usr/lib/vst3), the LV2 bundle (in
 /usr/lib/lv2), the factory presets for VST3 hosts (in /usr/share/vst3/presets;
 LV2 hosts find them in the bundle) and pelorvane-render, which runs audio files
 through the effect without a host.
CONTROL

(cd "$package" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
chmod 0644 "$package/DEBIAN/md5sums"

# gzip: the modules are mostly pictures that compress poorly; xz would make the package a
# fifth smaller at ten times the packing time.
dpkg-deb --root-owner-group -Zgzip -z9 --build "$package" "$output" >/dev/null
echo "build-deb: $(basename "$output"): Depends: $depends"
