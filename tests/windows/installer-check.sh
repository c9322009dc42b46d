#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a prefix of its own, the way a user or a studio's
# script uses it:
#   1. silent install (/S): the bundle in C:\Program Files\Common Files\VST3 with the built module's
#      bytes; the raw host loads it from there and processes; the factory presets in
#      C:\ProgramData\VST3 Presets\<vendor>\<product>, restoring the table's values in the installed
#      module; the uninstall key and its values;
#   2. the same version again: one copy, one key;
#   3. silent uninstall, run as QuietUninstallString says: nothing of ours left, the key gone, the
#      crash logs and another maker's plug-in in the VST3 folder still there;
#   4. an older version, built here from the same script around a made-up bundle holding a file
#      the current one lacks, then the current installer over it: the older one's files gone, one
#      copy, one key, at the current version; then uninstalled again.
# Prints the installer's size and how long the installs take under Wine.
#
#   installer-check.sh WORK INSTALLER MODULE RAW_HOST NSI FILE_LISTER VERSION PRODUCT VENDOR URL COPYRIGHT PRESETS
#
# INSTALLER is the built setup program, MODULE the built (stripped) module it must install,
# PRESETS the folder of preset files it must install,
# RAW_HOST the Windows build of PelorvaneRawHost, NSI and FILE_LISTER the installer's script and
# cmake/write-nsis-file-lists.sh. Wine and makensis come from PELORVANE_WINE and
# PELORVANE_MAKENSIS; wineserver is looked for beside Wine.
set -euo pipefail

if [ $# -ne 12 ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2
  exit 2
fi

work=$1 installer=$2 module=$3 raw_host=$4 nsi=$5 lister=$6
version=$7 product=$8 vendor=$9 url=${10} copyright=${11} presets=${12}
wine=${PELORVANE_WINE:-wine}
makensis=${PELORVANE_MAKENSIS:-makensis}
wineserver=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko: their install prompts would wait forever.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"
same() { [ "$1" = "$2" ] || { echo "    got '$1', expected '$2'" >&2; return 1; }; }
# Two file lists alike; what differs is printed (> only now, < only before).
same_files() {
  local differences
  differences=$(diff <(echo "$2") <(echo "$1") | grep '^[<>]' || true)
  [ -z "$differences" ] || { sed 's/^/    /' <<<"$differences" >&2; return 1; }
}

# Wine's own noise about its missing 32-bit half.
quiet_wine() { "$wine" "$@" 2> >(grep -v -e wine32 -e multiarch -e 'apt-get install' -e 'dpkg --add' >&2); }
wait_for_wine() { "$wineserver" -w; }

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
our_key="$uninstall_key\\$vendor $product"
drive_c="$WINEPREFIX/drive_c"
vst3_dir="$drive_c/Program Files/Common Files/VST3"
bundle="$vst3_dir/$product.vst3"
installed_module="$bundle/Contents/x86_64-win/$product.vst3"
installed_module_windows="C:\\Program Files\\Common Files\\VST3\\$product.vst3\\Contents\\x86_64-win\\$product.vst3"
uninstaller_dir="$drive_c/Program Files/$vendor/$product"
installed_presets="$drive_c/ProgramData/VST3 Presets/$vendor/$product"
installed_presets_windows="C:\\ProgramData\\VST3 Presets\\$vendor\\$product"

# Our uninstall key as reg.exe prints it, read once per step; one value of it ("" when missing).
read_key() { key_dump=$(quiet_wine reg query "$our_key" 2>/dev/null | tr -d '\r' || true); }
reg_value() { sed -n "s/^ *$1 \{4\}REG_[A-Z_]* \{4\}//p" <<<"$key_dump" | head -n 1; }
key_exists() { quiet_wine reg query "$our_key" >/dev/null 2>&1; }
# Keys under Uninstall that name the product, and the copies of the bundle anywhere in drive_c.
keys_naming_us() { quiet_wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | grep -c "$product" || true; }
copies_of_bundle() {
  find "$drive_c" -path "$drive_c/windows" -prune -o -type d -iname "$product.vst3" -print -prune | wc -l
}

# Everything in drive_c but Wine's own system folder, for comparing before and after. NSIS's
# uninstaller runs from a copy of itself in the user's temporary folder (~nsuN.tmp\Un.exe), which
# it cannot delete while it runs and leaves to the system's next restart: that is left out too.
snapshot() {
  (cd "$drive_c" && find . -path ./windows -prune -o -print | LC_ALL=C sort \
    | grep -v '^\./users/[^/]*/Temp/~nsu[0-9]*\.tmp\(/Un\.exe\)\{0,1\}$')
}

run_timed() {
  local start
  start=$(date +%s%N)
  "$@"
  elapsed=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.1f", ns / 1e9 }')
}

echo "== a prefix of its own"
rm -rf "$work"
mkdir -p "$work"
quiet_wine wineboot.exe --init
wait_for_wine

appdata_windows=$(quiet_wine cmd.exe /c 'echo %APPDATA%' | tr -d '\r')
appdata=$(quiet_wine winepath.exe -u "$appdata_windows" | tr -d '\r')
crash_logs="$appdata/$vendor/$product/Crash Logs"
mkdir -p "$crash_logs" "$vst3_dir/Other.vst3/Contents/x86_64-win"
echo "a crash log the user keeps" >"$crash_logs/Crash 2026-01-02 03-04-05.txt"
echo "another maker's plug-in" >"$vst3_dir/Other.vst3/Contents/x86_64-win/Other.vst3"
before=$(snapshot)

size=$(stat -c %s "$installer")
echo "installer: $(basename "$installer"), $size bytes ($(awk -v b="$size" 'BEGIN { printf "%.2f", b / 1048576 }') MiB); module $(stat -c %s "$module") bytes"

echo "== 1. silent install"
run_timed quiet_wine "Z:$installer" /S
echo "silent install took ${elapsed} s under Wine"
install_seconds=$elapsed
check "the bundle is at $installed_module_windows" test -f "$installed_module"
check "it is the built module, byte for byte" cmp -s "$module" "$installed_module"
check "the bundle holds nothing else" same "$(cd "$bundle" && find . -type f)" "./Contents/x86_64-win/$product.vst3"
check "the raw host loads the installed module and processes" \
  quiet_wine "$raw_host" render "$installed_module_windows" 48000 "Z:$work/installed-render.f32"

check "the factory presets are in $installed_presets_windows, byte for byte" diff -r "$presets" "$installed_presets"
check "the installed presets restore their values in the installed module" \
  quiet_wine "$raw_host" presets "$installed_module_windows" "$installed_presets_windows"

check "the uninstall key $our_key exists" key_exists
read_key
sed 's/^/    /' <<<"$key_dump"
check "DisplayName" same "$(reg_value DisplayName)" "$product"
check "Publisher" same "$(reg_value Publisher)" "$vendor"
check "DisplayVersion" same "$(reg_value DisplayVersion)" "$version"
check "URLInfoAbout" same "$(reg_value URLInfoAbout)" "$url"
uninstaller_windows="C:\\Program Files\\$vendor\\$product\\Uninstall $product.exe"
check "UninstallString" same "$(reg_value UninstallString)" "\"$uninstaller_windows\""
check "QuietUninstallString" same "$(reg_value QuietUninstallString)" "\"$uninstaller_windows\" /S"
check "the uninstaller is where the key says" test -f "$uninstaller_dir/Uninstall $product.exe"
estimated=$(reg_value EstimatedSize)
module_kib=$(($(stat -c %s "$module") / 1024))
echo "  EstimatedSize $estimated ($((estimated)) KiB), module $module_kib KiB"
check "EstimatedSize is the module's size in KiB" test $((estimated)) -ge "$module_kib" -a $((estimated)) -le $((module_kib + 64))

after_first=$(snapshot)

echo "== 2. the same version again"
run_timed quiet_wine "Z:$installer" /S
echo "second silent install took ${elapsed} s under Wine"
check "one copy of the bundle" same "$(copies_of_bundle)" 1
check "one uninstall key" same "$(keys_naming_us)" 1
check "the same files as after the first install" same_files "$(snapshot)" "$after_first"
check "still the built module" cmp -s "$module" "$installed_module"

echo "== 3. silent uninstall, as QuietUninstallString says"
read_key
quiet=$(reg_value QuietUninstallString)
quiet_program=${quiet#\"}
quiet_program=${quiet_program%%\"*}
quiet_arguments=${quiet##*\" }
# NSIS's uninstaller copies itself to the temporary folder, starts the copy and returns at once:
# wait until every process of the prefix has ended.
quiet_wine "$quiet_program" $quiet_arguments
wait_for_wine
check "the uninstall key is gone" eval '! key_exists'
check "the presets are gone, and the presets folder they were alone in" test ! -e "$drive_c/ProgramData/VST3 Presets"
check "nothing of ours is left" same_files "$(snapshot)" "$before"
check "the crash log is still there" test -f "$crash_logs/Crash 2026-01-02 03-04-05.txt"
check "the other maker's plug-in is still there" test -f "$vst3_dir/Other.vst3/Contents/x86_64-win/Other.vst3"

echo "== 4. an older version, then this one over it"
old="$work/older"
mkdir -p "$old/$product.vst3/Contents/x86_64-win" "$old/$product.vst3/Contents/Resources"
echo "the older module" >"$old/$product.vst3/Contents/x86_64-win/$product.vst3"
echo "a file only the older version has" >"$old/$product.vst3/Contents/Resources/older-only.txt"
bash "$lister" "$old/$product.vst3" "\$COMMONFILES64\\VST3\\$product.vst3" "$old/install-files.nsh" "$old/uninstall-files.nsh"
"$makensis" -WX -V2 -INPUTCHARSET UTF8 \
  "-DPRODUCT=$product" "-DVENDOR=$vendor" "-DURL=$url" "-DCOPYRIGHT=$copyright" -DVERSION=1.9.0 \
  "-DINSTALL_FILES=$old/install-files.nsh" "-DUNINSTALL_FILES=$old/uninstall-files.nsh" \
  "-DOUTFILE=$old/$product-1.9.0-win64-setup.exe" "$nsi" >/dev/null
quiet_wine "Z:$old/$product-1.9.0-win64-setup.exe" /S
check "the older version is installed" test -f "$bundle/Contents/Resources/older-only.txt"
read_key
check "at its version" same "$(reg_value DisplayVersion)" 1.9.0

run_timed quiet_wine "Z:$installer" /S
echo "silent install over the older version took ${elapsed} s under Wine"
check "the older version's files are gone" test ! -e "$bundle/Contents/Resources"
check "the current module is installed" cmp -s "$module" "$installed_module"
check "one copy of the bundle" same "$(copies_of_bundle)" 1
check "one uninstall key" same "$(keys_naming_us)" 1
read_key
check "at the current version" same "$(reg_value DisplayVersion)" "$version"
check "the same files as a fresh install" same_files "$(snapshot)" "$after_first"

quiet_wine "$quiet_program" $quiet_arguments
wait_for_wine
check "uninstalled again: nothing of ours is left" same_files "$(snapshot)" "$before"
check "uninstalled again: the key is gone" eval '! key_exists'

echo
echo "Figures: installer $size bytes; silent install ${install_seconds} s under Wine"
checks_done
