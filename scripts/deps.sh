#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if missing.
# Prints one line per stage; apt's own output goes to a log shown on failure.
set -euo pipefail
# help2man makes the manual pages; dpkg-dev (dpkg-shlibdeps) and file let
# CPack find the package's dependencies; lintian checks the package.
# qt6-charts-dev does not pull in libqt6opengl6-dev, which its CMake package needs.
packages=(cmake g++ make pkg-config ccache
          qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
          libgtest-dev libgmock-dev googletest libbenchmark-dev
          libcli11-dev nlohmann-json3-dev
          pybind11-dev python3-dev python3-pybind11 python3-numpy python3-pytest python3-matplotlib
          python3-ase help2man dpkg-dev file lintian
          ${EXTRA_PACKAGES:-})
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "== packages: all present"
  exit 0
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "== packages: updating the package lists"
"${as_root[@]}" apt-get update -qq >"$log" 2>&1 || { cat "$log"; exit 1; }
echo "== packages: installing ${missing[*]}"
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1 || { tail -n 50 "$log"; exit 1; }
echo "== packages: done"
