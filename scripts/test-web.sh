#!/usr/bin/env bash
# The web page's tests in Debian's headless chromium (tests/web/page.test.mjs, Node.js's test
# runner): its audio against the native renderer's, its pedal, keyboard access, damaged files,
# live input, and its console. Builds the page first; needs the native renderer built by
# scripts/build.sh in BUILD (default: build/).
# Usage: scripts/test-web.sh [BUILD]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"

bash "$root/scripts/web-node-modules.sh"
bash "$root/scripts/build-web.sh" "$root/build-web" >/dev/null

export PELORVANE_RENDER="$build/tools/render/pelorvane-render"
export PELORVANE_WEB_SITE="$root/build-web/site"
cd "$root"
node --test --test-concurrency=1 tests/web/page.test.mjs
