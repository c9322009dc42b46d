#!/usr/bin/env bash
# Pelorvane in a web browser: installs what is missing (Emscripten, chromium, Node.js and the
# test tools' node modules), builds the engine in WebAssembly and the page into build-web/, and
# serves the page on http://localhost:8000.
# Usage: scripts/web.sh                serve on http://localhost:8000 (PORT=... for another port)
#        scripts/web.sh --build DIR    only write the finished static site into DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

target=""
case "${1:-}" in
  "") ;;
  --build)
    target="${2:-}"
    if [ -z "$target" ]; then
      echo "usage: $0 [--build DIR]" >&2
      exit 2
    fi
    ;;
  *)
    echo "usage: $0 [--build DIR]" >&2
    exit 2
    ;;
esac

stage() { printf '==> %s\n' "$*"; }

stage "Installing what is missing (Emscripten, chromium, Node.js)"
bash "$root/scripts/install-deps.sh" --web
bash "$root/scripts/web-node-modules.sh"

stage "Building the engine in WebAssembly and the page (build-web/)"
bash "$root/scripts/build-web.sh" "$root/build-web" >/dev/null

if [ -n "$target" ]; then
  mkdir -p "$target"
  cp -R "$root/build-web/site/." "$target/"
  stage "The static site is in $target: put its files on any web host (HTTPS, or localhost)"
  exit 0
fi

port="${PORT:-8000}"
stage "Serving the page (Ctrl+C stops it)"
exec node "$root/scripts/serve-web.mjs" "$root/build-web/site" "$port" 127.0.0.1
