#!/usr/bin/env bash
# What the page's engine costs: the AudioWorklet's work per 128-frame quantum in headless
# chromium, beside the same engine built natively, per sample. Builds the page first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/web-node-modules.sh"
bash "$root/scripts/build-web.sh" "$root/build-web" >/dev/null
node "$root/tests/web/bench.mjs"
