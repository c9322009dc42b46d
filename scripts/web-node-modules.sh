#!/usr/bin/env bash
# Installs the web tests' node modules (tests/web: playwright-core, which drives Debian's
# chromium) from the npm registry, as the lock file pins them; does nothing when they are there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$root/tests/web"
stamp="$dir/node_modules/.package-lock.json"
if [ -f "$stamp" ] && [ ! "$dir/package-lock.json" -nt "$stamp" ]; then
  exit 0
fi
npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error >/dev/null
