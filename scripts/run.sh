#!/usr/bin/env bash
# Starts Tarvela. Until the X11 layer lands this runs the simulated-desktop demo.
set -euo pipefail
build=${1:-build}
if [ -x "$build/app/tarvela" ]; then
  exec "$build/app/tarvela" "${@:2}"
fi
if [ -x "$build/app/tarvela-sim-demo" ]; then
  echo "The X11 layer has not landed yet: running the simulated-desktop demo instead."
  exec "$build/app/tarvela-sim-demo"
fi
echo "Nothing to run yet: neither the X11 executable nor the simulated demo is built." >&2
exit 1
