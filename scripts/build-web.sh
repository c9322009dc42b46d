#!/usr/bin/env bash
# Builds the web page: the engine in WebAssembly with Debian's Emscripten, and the static site
# (web/ with the plug-in's own pictures, the engine, and the plug-in's tables written as a module
# by tools/web) in DIR/site; also the engine's native twin (DIR/native/pelorvane-web-bench),
# which the benchmark sets beside the page's figures.
# Needs emscripten and g++ (scripts/web.sh installs what is missing).
# Usage: scripts/build-web.sh [DIR]   (default: build-web)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-web}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
site="$build/site"
objects="$build/obj"
mkdir -p "$site/images" "$site/js" "$objects" "$build/native"

# The engine's sources: the plug-in's block job and network, the demo phrase the renderer plays
# too, and the C interface (source/web). The engine's tangent is its own (CornerTangent.cpp), the
# same bits as on every other build, and the allocation functions trap instead of calling the C
# library's abort (source/web/WasmRuntime.cpp), which would be the module's only import.
sources=(
  source/dsp/mydsp.cpp
  source/dsp/CornerTangent.cpp
  source/processor/BlockJob.cpp
  source/web/WebEngine.cpp
  source/web/WasmRuntime.cpp
  source/demo/DemoPhraseSamples.cpp
)
exports=(pelorvane_create pelorvane_destroy pelorvane_set pelorvane_left pelorvane_right
  pelorvane_max_block pelorvane_process pelorvane_reset pelorvane_settle
  pelorvane_demo_length pelorvane_demo_sample_rate pelorvane_demo malloc free)

# Emscripten's sysroot hides /usr/include; the Faust architecture headers are reached through
# a folder of their own.
mkdir -p "$build/include"
ln -sfn /usr/include/faust "$build/include/faust"

# The plug-in's own flags where they matter for the samples: no contraction into fused
# multiply-adds (WebAssembly has none anyway), and SSE2 intrinsics as WebAssembly SIMD.
common=(-std=c++17 -O3 -ffp-contract=off -fno-exceptions -fno-rtti
  -I"$root/source" -isystem "$build/include")

# Emscripten's tools are Node.js programs that need Debian's node modules (acorn), and they
# keep Debian's frozen prebuilt cache (EM_CACHE must stay unset).
export NODE_PATH=/usr/share/nodejs
unset EM_CACHE

objs=()
for src in "${sources[@]}"; do
  obj="$objects/$(basename "${src%.cpp}").o"
  if [ ! -e "$obj" ] || [ -n "$(find "$root/source" "$0" -newer "$obj" -print -quit)" ]; then
    em++ "${common[@]}" -msimd128 -msse2 -include "$root/source/web/WasmCompat.h" -c "$root/$src" -o "$obj"
  fi
  objs+=("$obj")
done

exported=$(printf '_%s,' "${exports[@]}")
# A plain module with no imports: the page instantiates it itself, on the main thread and in
# the AudioWorklet. Its memory is fixed (no growth), so views on it stay valid.
em++ -O3 "${objs[@]}" -o "$build/pelorvane.wasm" --no-entry -sSTANDALONE_WASM=1 \
  -sEXPORTED_FUNCTIONS="${exported%,}" -sINITIAL_MEMORY=16MB -sALLOW_MEMORY_GROWTH=0 \
  -sFILESYSTEM=0

node -e '
const fs = require("fs");
const m = new WebAssembly.Module(fs.readFileSync(process.argv[1]));
const imports = WebAssembly.Module.imports(m);
if (imports.length) { console.error("pelorvane.wasm imports", imports); process.exit(1); }
' "$build/pelorvane.wasm"

# The native twin of the page's engine, for the benchmark.
g++ "${common[@]}" -O3 "$root/source/web/WebEngineBench.cpp" \
  "$root/source/dsp/mydsp.cpp" "$root/source/dsp/CornerTangent.cpp" "$root/source/processor/BlockJob.cpp" \
  "$root/source/web/WebEngine.cpp" \
  "$root/source/demo/DemoPhraseSamples.cpp" -o "$build/native/pelorvane-web-bench"

# The static site: the page, the engine, and the plug-in's pictures as it embeds them.
rm -rf "$site/js"
mkdir -p "$site/js"
cp "$root"/web/*.html "$root"/web/*.css "$root/web/worklet.js" "$site/"
cp "$root"/web/js/*.js "$site/js/"
# The plug-in's own tables (the factory presets) as a module, from the one table in source/.
g++ -std=c++17 -O1 -Wall -Wextra -Werror -I"$root/source" "$root/tools/web/WritePluginTables.cpp" \
  -o "$build/native/pelorvane-write-plugin-tables"
"$build/native/pelorvane-write-plugin-tables" >"$site/js/plugin-tables.js"
cp "$build/pelorvane.wasm" "$site/"
for image in Background knob_strip stompSwitchUp stompSwitchDown LED_on LED_off button1 button2; do
  cp "$root/resources/$image.png" "$site/images/"
done
echo "web page: $site"
