#!/usr/bin/env bash
# Checks that a built module uses instructions beyond SSE2 only inside the engine's AVX2
# kernel, which runs only after the processor has been asked whether it has AVX2: so the
# module loads and runs on any x86-64 processor.
#
#   wide-instructions-check.sh MODULE DEBUG_FILE OBJDUMP NM
#
# The module ships stripped; its symbol file (DEBUG_FILE) names the functions. Every
# VEX- or EVEX-encoded instruction (mnemonics starting with "v") and every use of a 256- or
# 512-bit register must lie in a function of the kernel's "avx2" namespace, and there must be
# some (the kernel is in the module at all).
set -euo pipefail

module=$1 debug_file=$2 objdump=$3 nm=$4

for file in "$module" "$debug_file"; do
  [ -f "$file" ] || { echo "FAILED: $file does not exist"; exit 1; }
done

functions=$(mktemp)
trap 'rm -f "$functions"' EXIT

# Function start addresses in order; a function runs up to the next one. (Section symbols such
# as ".text" share their first function's address and are left out.)
"$nm" -C --defined-only "$debug_file" | awk '$2 ~ /^[tTwW]$/ && $3 !~ /^\./ { $2 = ""; print }' | sort -u > "$functions"

"$objdump" -d --no-show-raw-insn "$module" | awk -v functions="$functions" '
  function hex(text,    i, c, n) {
    n = 0
    text = tolower(text)
    gsub(/[ \t]/, "", text)
    sub(/^0x/, "", text)
    for (i = 1; i <= length(text); ++i) {
      c = index("0123456789abcdef", substr(text, i, 1))
      if (c == 0) return -1
      n = n * 16 + c - 1
    }
    return n
  }
  # The function holding an address: the last one starting at or before it.
  function owner(address,    low, high, middle) {
    low = 1; high = count
    if (count == 0 || address < start[1]) return "(none)"
    while (low < high) {
      middle = int((low + high + 1) / 2)
      if (start[middle] <= address) low = middle; else high = middle - 1
    }
    return name[low]
  }
  BEGIN {
    while ((getline line < functions) > 0) {
      split(line, field, " ")
      address = hex(field[1])
      if (address < 0) continue
      sub(/^[0-9a-fA-F]+ +/, "", line)
      start[++count] = address
      name[count] = line
    }
  }
  # Instruction lines: "  address:<tab>mnemonic operands"
  /^ *[0-9a-f]+:\t/ {
    split($0, part, "\t")
    instruction = part[2]
    if (instruction !~ /^v/ && instruction !~ /%[yz]mm/) next
    where = owner(hex(substr(part[1], 1, index(part[1], ":") - 1)))
    if (where ~ /::avx2::/) { ++inside; next }
    ++outside
    if (!(where in reported) && reportedCount < 20) { reported[where] = 1; ++reportedCount; print "outside the AVX2 kernel: " where ": " instruction }
  }
  END {
    printf "%d wide instructions in the AVX2 kernel, %d outside it\n", inside, outside
    if (outside > 0) { print "FAILED: the module uses instructions beyond SSE2 outside its dispatched AVX2 kernel"; exit 1 }
    if (inside == 0) { print "FAILED: the module holds no AVX2 kernel"; exit 1 }
    print "ok: instructions beyond SSE2 only in the dispatched AVX2 kernel"
  }'
