#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and says where it is.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build"

artefacts="$build/Pelorvane_artefacts/Release"
echo
echo "VST3 bundle:     $artefacts/VST3/Pelorvane.vst3"
echo "Standalone app:  $artefacts/Standalone/Pelorvane"
echo
echo "Install the plug-in for your user with:"
echo "  mkdir -p ~/.vst3 && cp -r \"$artefacts/VST3/Pelorvane.vst3\" ~/.vst3/"
