# Sourced after tests/scripts/checks.sh. `check_lv2_binaries BUNDLE WORK_DIR [BINUTILS_PREFIX]`:
# what a host can see of the bundle's binaries (their descriptors alone) and what the DSP binary
# needs on the machine it is put on (the C library and libm). A cross-build names its binutils'
# prefix (aarch64-linux-gnu-).
check_lv2_binaries() {
  local bundle=$1 work=$2 tools=${3:-}
  "${tools}nm" -D --defined-only "$bundle/Pelorvane.so" | awk '{ print $NF }' >"$work/exports.txt"
  check "the binary exports lv2_descriptor alone" test "$(cat "$work/exports.txt")" = lv2_descriptor
  "${tools}nm" -D --defined-only "$bundle/PelorvaneUI.so" | awk '{ print $NF }' >"$work/ui-exports.txt"
  check "the UI binary exports lv2ui_descriptor alone" test "$(cat "$work/ui-exports.txt")" = lv2ui_descriptor
  "${tools}readelf" -d "$bundle/Pelorvane.so" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p' >"$work/needed.txt"
  echo "needed: $(tr '\n' ' ' <"$work/needed.txt")"
  check "the binary needs the C library and libm only" \
    test -z "$(grep -vxE 'libc\.so\.6|libm\.so\.6|ld-linux-[a-z0-9-]+\.so\.[0-9]' "$work/needed.txt")"
}
