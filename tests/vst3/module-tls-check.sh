#!/usr/bin/env bash
# A module that a host loads with dlopen gets its thread-local storage on each thread lazily, from
# the heap, at the thread's first access, unless all of it lives in the static TLS block. So the
# built module must use only the initial-exec model (no module-id or descriptor relocations, the
# loader told to place it statically), and its TLS segment must stay a small part of the 512 bytes
# that glibc keeps for modules loaded later (glibc.rtld.optional_static_tls), which every other
# such module in the host shares.
#
#   module-tls-check.sh MODULE
set -euo pipefail

module=$1
budget=128
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"

dynamic_tls_relocations() { readelf -rW "$module" | grep -E 'DTPMOD|TLSDESC' || true; }
tls_size=$(readelf -lW "$module" | awk '$1 == "TLS" { print $6 }')
tls_size=$((${tls_size:-0}))
echo "TLS segment: $tls_size bytes"

check "no thread-local storage reached through __tls_get_addr or descriptors" test -z "$(dynamic_tls_relocations)"
check "the loader is told to place the TLS statically" bash -c "[ $tls_size -eq 0 ] || readelf -dW '$module' | grep -q 'STATIC_TLS'"
check "the TLS segment ($tls_size bytes) fits in $budget bytes" test "$tls_size" -le "$budget"
checks_done
