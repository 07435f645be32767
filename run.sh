#!/usr/bin/env bash
# Installs what is missing, builds the program optimised in build/release and
# starts it. On a machine without a display it runs under a virtual X server
# (Xvfb); arguments are passed on to the program. SHOALWRIGHT_RELEASE_DIR names
# another build folder.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages "${SHOALWRIGHT_BUILD_PACKAGES[@]}"

build="${SHOALWRIGHT_RELEASE_DIR:-build/release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHOALWRIGHT_TESTS=OFF -DSHOALWRIGHT_APP=ON >/dev/null
cmake --build "$build" --target shoalwright
program="$build/app/shoalwright"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi
ensure_packages "${SHOALWRIGHT_RUN_PACKAGES[@]}"
echo "No display: starting under Xvfb (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@"
