#!/usr/bin/env bash
# Prints a Pelorvane crash log with each of the plug-in's frames followed by the functions,
# files and lines it stands for (inlined calls included), read from the symbols of the build
# named on the log's last line ("Pelorvane <version> build <id>").
#
# Usage: scripts/symbolize-crash-log.sh LOG [SYMBOLS...]
#   SYMBOLS: symbol archives (Pelorvane-<version>-<platform>-symbols.zip or .tar.gz) or folders
#   holding them or their unpacked contents; by default build/ and build-win/ of this checkout.
# Exits 1, resolving nothing, when the log has no build line or no symbols match its build;
# 2 on wrong usage.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
info_name=build-info.txt

fail() {
  echo "symbolize-crash-log: $1" >&2
  exit "${2:-1}"
}

[ $# -ge 1 ] || fail "usage: symbolize-crash-log.sh LOG [SYMBOLS...]" 2
log=$1
shift
[ -f "$log" ] || fail "no such log: $log" 2
symbols=("$@")
if [ ${#symbols[@]} -eq 0 ]; then
  for dir in "$root/build" "$root/build-win"; do
    [ -d "$dir" ] && symbols+=("$dir")
  done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t lines <"$log"

# The build line is the last one that is not empty.
build_line=
for ((i = ${#lines[@]} - 1; i >= 0; --i)); do
  build_line=${lines[i]%$'\r'}
  [ -n "$build_line" ] && break
done
[[ $build_line =~ ^Pelorvane\ ([^ ]+)\ build\ ([0-9a-f]+)$ ]] ||
  fail "$log has no \"Pelorvane <version> build <id>\" line at its end: nothing resolved"
log_version=${BASH_REMATCH[1]}
log_id=${BASH_REMATCH[2]}

info_value() { sed -n "s/^$2=//p" "$1" | tr -d '\r'; }

# Prints the record of the first symbols found for the log's build, unpacking an archive only
# once its record has matched.
find_symbols() {
  local path archive n=0
  for path in "${symbols[@]}"; do
    if [ -d "$path" ]; then
      while IFS= read -r -d '' info; do
        [ "$(info_value "$info" build-id)" = "$log_id" ] && { found "$info" "$info"; return; }
      done < <(find "$path" -name "$info_name" -print0)
      while IFS= read -r -d '' archive; do
        find_in_archive "$archive" $((n++)) && return
      done < <(find "$path" \( -name 'Pelorvane-*-symbols.zip' -o -name 'Pelorvane-*-symbols.tar.gz' \) -print0)
    elif [ -f "$path" ]; then
      find_in_archive "$path" $((n++)) && return
    else
      echo "symbolize-crash-log: no such symbols: $path" >&2
    fi
  done
  return 0
}

find_in_archive() {
  local archive=$1 into="$work/$2"
  case "$archive" in
    *.zip) unzip -p "$archive" "*/$info_name" >"$work/info" 2>/dev/null || return 1 ;;
    *.tar.gz | *.tgz) tar -xzOf "$archive" --wildcards "*/$info_name" >"$work/info" 2>/dev/null || return 1 ;;
    *) return 1 ;;
  esac
  [ "$(info_value "$work/info" build-id)" = "$log_id" ] || return 1
  mkdir -p "$into"
  case "$archive" in
    *.zip) unzip -q "$archive" -d "$into" ;;
    *) tar -xzf "$archive" -C "$into" ;;
  esac
  found "$(find "$into" -name "$info_name" | head -n 1)" "$archive"
}

found() {
  echo "symbolize-crash-log: build $log_id: symbols from $2" >&2
  echo "$1"
}

info=$(find_symbols)
[ -n "$info" ] ||
  fail "no symbols for build $log_id (Pelorvane $log_version) in: ${symbols[*]:-nothing}: nothing resolved"

debug_file="$(dirname "$info")/$(info_value "$info" debug-file)"
platform=$(info_value "$info" platform)
[ -f "$debug_file" ] || fail "$info names $debug_file, which is missing: nothing resolved"

tools=
[ "$platform" = win64 ] && tools=x86_64-w64-mingw32-
# The 64-bit ARM build's symbols need the cross binutils (the host's read x86 only).
[ "$platform" = linux-aarch64 ] && tools=aarch64-linux-gnu-

image_base=0
if [ "$platform" = win64 ]; then
  image_base=$(("16#$("${tools}objdump" -p "$debug_file" | awk '$1 == "ImageBase" { print $2 }')"))
fi

"${tools}nm" "$debug_file" >"$work/symbols"
"${tools}nm" -C "$debug_file" >"$work/demangled"

# The address of a named symbol, mangled or not; nothing unless exactly one address has it.
symbol_address() {
  local found
  found=$(awk -v name="$1" '{ n = $0; sub(/^[^ ]+ [^ ]+ /, "", n); if (n == name) print $1 }' \
    "$work/symbols" "$work/demangled" | sort -u)
  [ -n "$found" ] && [ "$(wc -l <<<"$found")" -eq 1 ] && echo $((16#$found))
}

# glibc writes no blank before the address; other C libraries do.
linux_frame='^(.*/)?Pelorvane\.so\(([^+]*)\+0x([0-9a-fA-F]+)\) ?\[0x[0-9a-fA-F]+\]$'
windows_named_frame='^ *[0-9]+: Pelorvane: (.+) \+ 0x([0-9a-fA-F]+)$'
windows_offset_frame='^ *[0-9]+: Pelorvane\.vst3 \+ 0x([0-9a-fA-F]+)$'

# A symbol's address plus an offset; a name that is missing or not unique is left unresolved.
named_address() {
  local base
  if base=$(symbol_address "$1"); then
    echo $((base + 16#$2))
  else
    echo "symbolize-crash-log: no single symbol $1 in the symbols: left as it is" >&2
  fi
}

# The frame's address in the debug file, or nothing for a line that is no frame of the plug-in.
frame_address() {
  local line=$1
  if [ "$platform" != win64 ] && [[ $line =~ $linux_frame ]]; then
    if [ -n "${BASH_REMATCH[2]}" ]; then
      named_address "${BASH_REMATCH[2]}" "${BASH_REMATCH[3]}"
    else
      echo $((16#${BASH_REMATCH[3]}))
    fi
  elif [ "$platform" = win64 ] && [[ $line =~ $windows_named_frame ]]; then
    named_address "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
  elif [ "$platform" = win64 ] && [[ $line =~ $windows_offset_frame ]]; then
    echo $((image_base + 16#${BASH_REMATCH[1]}))
  fi
}

# Each line's frame address in hex, empty for lines that are no frame of the plug-in.
addresses=()
for line in "${lines[@]}"; do
  address=$(frame_address "${line%$'\r'}")
  [ -n "$address" ] && address=$(printf '%x' "$address") && echo "0x$address" >>"$work/addresses"
  addresses+=("$address")
done

# One addr2line run for all frames; -a starts each frame's lines with its address.
touch "$work/addresses"
"${tools}addr2line" -a -p -f -C -i -e "$debug_file" <"$work/addresses" >"$work/resolved"

declare -A resolved
current=
while IFS= read -r out; do
  if [[ $out =~ ^0x0*([0-9a-f]+):\ (.*)$ ]]; then
    current=${BASH_REMATCH[1]}
    resolved[$current]="    ${BASH_REMATCH[2]}"
  else
    resolved[$current]+=$'\n'"    $out"
  fi
done <"$work/resolved"

for i in "${!lines[@]}"; do
  line=${lines[i]}
  printf '%s\n' "$line"
  [ -n "${addresses[i]}" ] || continue
  ending=
  [[ $line == *$'\r' ]] && ending=$'\r'
  while IFS= read -r out; do
    printf '%s%s\n' "$out" "$ending"
  done <<<"${resolved[${addresses[i]}]-}"
done
