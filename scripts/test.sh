#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: scripts/test.sh [--sanitize | --tsan]
#   --sanitize  instead, the Linux side built with ASan and UBSan in build-sanitize/ and its tests
#   --tsan      instead, the VST3 module built with ThreadSanitizer in build-tsan/, run by a host
#               that calls it from two threads at once (PELORVANE_TSAN_SECONDS per run, default 10)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

case "${1:-}" in
  "") ;;
  --sanitize)
    bash "$root/scripts/install-deps.sh"
    exec bash "$root/scripts/test-sanitize.sh" "$root/build-sanitize"
    ;;
  --tsan)
    bash "$root/scripts/install-deps.sh"
    exec bash "$root/scripts/test-tsan.sh" "$root/build-tsan"
    ;;
  *)
    echo "usage: $0 [--sanitize | --tsan]" >&2
    exit 2
    ;;
esac

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build"
bash "$root/scripts/build-windows.sh" "$root/build-win"
bash "$root/scripts/build-arm64.sh" "$root/build-arm64"

# Editor tests need a display; a private virtual one keeps them off the user's screen.
# -noreset: a server that resets whenever its last client leaves refuses the next one for a
# moment and forgets its atoms, which parallel test processes would otherwise race on.
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --timeout 600 -j"$(nproc)"

# The web page in Debian's headless chromium, its audio against the renderer just built.
bash "$root/scripts/test-web.sh" "$build"

# The Windows module, checked under Wine against the Linux one.
cd "$root/build-win"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --timeout 600 -j"$(nproc)"

# The 64-bit ARM build under qemu: its engine on the NEON and portable paths, and its renderer,
# VST3 module and LV2 bundle against the x86-64 ones, byte for byte.
cd "$root/build-arm64"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --timeout 900 -j"$(nproc)"
