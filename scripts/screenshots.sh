#!/bin/sh
# Pictures of the desktop program's windows, for the README and for looking at:
# builds vindrel_screenshots (if needed) and runs it under Xvfb with the example
# stand chosen, writing PNG files to docs/screenshots/.
#   scripts/screenshots.sh [NAME...]   (only the named shots)
# BUILD_DIR chooses the build folder (default build/default).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVINDREL_BUILD_TESTS=ON -DVINDREL_BUILD_DESKTOP=ON
fi
cmake --build "$build" --target vindrel_screenshots
mkdir -p "$root/docs/screenshots"
# The desktop's own look: no platform theme from the caller's session.
unset QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE
exec xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/tests/ui/vindrel_screenshots" "$root/docs/screenshots" "$@"
