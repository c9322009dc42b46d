#!/usr/bin/env bash
# Writes the record that ties a symbol file to the module it was split from, so that a crash
# log can be matched to its symbols without trusting file names.
#
#   write-symbols-info.sh MODULE READER VERSION PLATFORM DEBUG_FILE_NAME OUTPUT
#
# READER is readelf for an ELF module and the MinGW objdump for a PE one. The build identifier
# is the one the crash log's last line carries: the GNU build-id note's bytes on ELF, the 16
# bytes after "RSDS" in the CodeView record on PE; both as lower-case hex in file order.
set -euo pipefail

module=$1 reader=$2 version=$3 platform=$4 debug_file=$5 output=$6

bytes_at() { od -An -v -tx1 -j "$1" -N "$2" "$module" | tr -d ' \n'; }

elf_build_id() {
  "$reader" -n "$module" | sed -n 's/^ *Build ID: *\([0-9a-f]*\)$/\1/p'
}

# objdump prints the signature as a GUID, with its first three fields byte-swapped, so the
# bytes are read from the file at the record's offset instead.
pe_build_id() {
  local offset
  offset=$("$reader" -p "$module" | awk '$2 == "CodeView" { print $5; exit }')
  [ -n "$offset" ] || return 0
  [ "$(bytes_at $((16#$offset)) 4)" = 52534453 ] || return 0
  bytes_at $((16#$offset + 4)) 16
}

case "$(bytes_at 0 4)" in
  7f454c46) id=$(elf_build_id) ;;
  4d5a*) id=$(pe_build_id) ;;
  *) id= ;;
esac

if [ -z "$id" ]; then
  echo "$module carries no build identifier" >&2
  exit 1
fi

cat >"$output" <<EOF
product=Pelorvane
version=$version
platform=$platform
build-id=$id
debug-file=$debug_file
EOF
