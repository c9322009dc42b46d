#!/usr/bin/env bash
# Checks the Debian package: its fields and file list, stripped binaries, an install with dpkg
# into a scratch root (this machine's own package database is never touched), the installed
# renderer, manual page and bundles at work, then remove and purge leaving nothing behind.
#
# The scratch root's package database is empty, so dpkg there is told to install in spite of
# the dependencies (--force-depends) and the renderer runs on this machine's libraries. Whether
# the dependencies are met is asked of this machine's database instead, by a simulated install
# (apt-get -s), which changes nothing.
#
#   deb-check.sh PACKAGE.deb WORK_DIR
set -euo pipefail

deb=$1 work=$2
uri=https://www.example.com/plugins/pelorvane/lv2
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"
has() { grep -qE "$1" "$2"; }
lacks() { ! grep -qE "$1" "$2"; }

rm -rf "$work" && mkdir -p "$work"

field() { dpkg-deb -f "$deb" "$1"; }
check "named pelorvane_<version>_<arch>.deb" \
  test "$(basename "$deb")" = "pelorvane_$(field Version)_$(field Architecture).deb"
check "package pelorvane" test "$(field Package)" = pelorvane
check "version 2.0.0" test "$(field Version)" = 2.0.0
check "architecture of this machine" test "$(field Architecture)" = "$(dpkg --print-architecture)"
check "maintainer Ombrix Audio with the support address" \
  test "$(field Maintainer)" = "Ombrix Audio <support@example.com>"
field Depends >"$work/depends"
cat "$work/depends"
check "depends on the C and C++ libraries, with versions from the binaries" has 'libc6 \(>= [0-9.]+\).*libstdc\+\+6 \(>= ' "$work/depends"
check "depends on the X11 libraries the plug-in's window opens" has 'libx11-6.*libxext6' "$work/depends"

# The file list (the sixth column on: preset files have spaces in their paths).
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//; s|^\./|/|' >"$work/contents"
cat "$work/contents"
for path in /usr/lib/vst3/Pelorvane.vst3/Contents/x86_64-linux/Pelorvane.so \
  /usr/lib/lv2/Pelorvane.lv2/Pelorvane.so /usr/lib/lv2/Pelorvane.lv2/manifest.ttl \
  /usr/lib/lv2/Pelorvane.lv2/pelorvane.ttl \
  /usr/bin/pelorvane-render /usr/share/man/man1/pelorvane-render.1.gz \
  /usr/share/doc/pelorvane/copyright; do
  check "lists $path" grep -qxF "$path" "$work/contents"
done
presets_dir="/usr/share/vst3/presets/Ombrix Audio/Pelorvane"
grep -E "^$presets_dir/[^/]+\.vstpreset$" "$work/contents" | sed 's|.*/||; s|\.vstpreset$||' | sort >"$work/preset-files"
check "the VST3 factory presets are in $presets_dir" test -s "$work/preset-files"
check "nothing outside /usr" lacks '^/[^u]|^/u[^s]' "$work/contents"
check "no symbol files" lacks '\.debug$|symbols' "$work/contents"

# Every binary stripped: no debug sections, no symbol table.
dpkg-deb -x "$deb" "$work/unpacked"
while IFS= read -r -d '' binary; do
  readelf -S -W "$binary" >"$work/sections"
  check "stripped: ${binary#"$work"/unpacked}" lacks '\.debug_|\.symtab' "$work/sections"
done < <(find "$work/unpacked" -type f \( -name '*.so' -o -path '*/usr/bin/*' \) -print0)

# This machine has everything the package depends on: a simulated install adds nothing else.
apt-get -s -o Debug::NoLocking=1 install "$(realpath "$deb")" >"$work/apt-simulation" 2>&1 || true
check "its dependencies are met here (apt-get -s installs it alone)" \
  test "$(grep '^Inst ' "$work/apt-simulation" | awk '{ print $2 }')" = pelorvane

# A scratch root with an empty package database.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
not_root=()
[ "$(id -u)" -eq 0 ] || not_root=(--force-not-root)
scratch_dpkg() { dpkg --root="$root" --force-depends "${not_root[@]}" --log=/dev/null "$@" >>"$work/dpkg.log" 2>&1; }

check "dpkg -i into the scratch root" scratch_dpkg -i "$deb"
check "dpkg says it is installed" test "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' pelorvane)" = "install ok installed"
check "the renderer is in /usr/bin" test -x "$root/usr/bin/pelorvane-render"
"$root/usr/bin/pelorvane-render" --help >"$work/help.txt" 2>&1 && help_status=0 || help_status=$?
check "/usr/bin/pelorvane-render --help exits with 0" test "$help_status" -eq 0
check "/usr/bin/pelorvane-render --help prints its usage" has '^Usage: pelorvane-render ' "$work/help.txt"
zcat "$root/usr/share/man/man1/pelorvane-render.1.gz" >"$work/pelorvane-render.1"
check "the manual page is made from --help" has '^\.TH PELORVANE-RENDER "1"' "$work/pelorvane-render.1"
check "the manual page lists the knobs" has 'space' "$work/pelorvane-render.1"
# The installed renderer knows the same presets as the installed files.
"$root/usr/bin/pelorvane-render" --list-presets | sed -nE 's/^  (.*[^ ]) +Space [ 0-9.]+ +Lumens .*/\1/p' | sort >"$work/preset-names"
check "one VST3 preset file per preset the renderer lists ($(wc -l <"$work/preset-names"))" \
  cmp -s "$work/preset-names" "$work/preset-files"
while IFS= read -r name; do
  check "the LV2 bundle's manifest holds the preset \"$name\"" \
    grep -qF "rdfs:label \"$name\"" "$root/usr/lib/lv2/Pelorvane.lv2/manifest.ttl"
done <"$work/preset-names"
check "the copyright file names the maker" has '^Upstream-Contact: Ombrix Audio <support@example.com>$' "$root/usr/share/doc/pelorvane/copyright"

# The installed bundles: the renderer renders through the installed VST3 module, and lilv finds
# the installed LV2 bundle.
check "the installed VST3 module renders" "$root/usr/bin/pelorvane-render" --vst3 "$root/usr/lib/vst3/Pelorvane.vst3" \
  -o "$work/through-installed-vst3.wav" --tail 0.5
if command -v lv2ls >/dev/null; then
  check "lilv finds the installed LV2 bundle" test "$(LV2_PATH="$root/usr/lib/lv2" lv2ls)" = "$uri"
fi

check "dpkg -r" scratch_dpkg -r pelorvane
check "dpkg --purge" scratch_dpkg --purge pelorvane
check "dpkg says it is gone" test -z "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' pelorvane 2>/dev/null | grep -v 'not-installed')"
find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" -not -path "$root/var/lib/dpkg" \
  -not -path "$root/var/lib/dpkg/*" >"$work/left-over"
cat "$work/left-over"
check "nothing left of it" test ! -s "$work/left-over"
check "dpkg keeps no file list of it" test -z "$(find "$root/var/lib/dpkg/info" -name 'pelorvane*')"

checks_done
