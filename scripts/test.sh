#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build"
bash "$root/scripts/build-windows.sh" "$root/build-win"

# Editor tests need a display; a private virtual one keeps them off the user's screen.
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --timeout 600 -j"$(nproc)"

# The Windows module, checked under Wine against the Linux one.
cd "$root/build-win"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --timeout 600 -j"$(nproc)"
