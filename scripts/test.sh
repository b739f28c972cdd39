#!/usr/bin/env bash
# Builds and runs every test: the native build, the native build under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build
# under Wine. Installs its own packages first (Debian 12).
#   scripts/test.sh            all three
#   scripts/test.sh linux      one of: linux linux-sanitize windows
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-sanitize windows)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs" --timeout 900
done
