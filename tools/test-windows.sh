#!/usr/bin/env bash
# Cross-builds varnholt.exe for 64-bit Windows with mingw-w64 and tests it under Wine: the unit
# tests as a Windows program, the end-to-end tests against varnholt.exe, and the naming of the
# outputs for paths with drive letters, backslashes and blanks.
set -euo pipefail
cd "$(dirname "$0")/.."

Missing=()
command -v x86_64-w64-mingw32-g++-posix > /dev/null || Missing+=(g++-mingw-w64-x86-64-posix)
command -v wine > /dev/null || Missing+=(wine64 wine)
if [ ${#Missing[@]} -gt 0 ]; then
  echo "== installing ${Missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${Missing[@]}"
fi

echo "== cross-building varnholt.exe"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="${CXXFLAGS:-}"
cmake --build build-windows --parallel --target varnholt varnholt_unit_tests

# A private Wine prefix, created on first use; one server for all the runs below.
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p > /dev/null 2>&1 &
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
wine cmd /c exit > /dev/null 2>&1 || true

echo "== unit tests under Wine"
wine build-windows/tests/varnholt_unit_tests.exe

echo "== end-to-end tests against varnholt.exe under Wine"
cmake -S . -B build > /dev/null && cmake --build build --parallel --target varnholt_tests
VARNHOLT_EXE="$PWD/build-windows/varnholt.exe" VARNHOLT_RUNNER=wine \
  ./build/tests/varnholt_tests --gtest_filter='EndToEndTest.*'

echo "== naming with Windows paths"
Drive="$WINEPREFIX/drive_c"
Banner=$'\r\nVarnholt 1.0 by Quenlow\r\nCreate "info" and "waypoint" maps from a level 0 pathfinding map\r\n\r\n'
./build/varnholt-genmap terrain 1 3 build-windows/Map.raw
check_naming() {  # argument, folder under C:, expected info and waypoint names
  local Argument=$1 Folder=$2 Info=$3 Waypoint=$4 Name
  Name=${Argument##*\\}
  rm -rf "${Drive:?}/$Folder" && mkdir -p "$Drive/$Folder"
  cp build-windows/Map.raw "$Drive/$Folder/$Name"
  local Expected="${Banner}Reading $Argument...\r\nCalculating...\r\nWriting ${Argument%\\*}\\$Info...\r\nWriting ${Argument%\\*}\\$Waypoint...\r\nDone.\r\n"
  wine build-windows/varnholt.exe "$Argument" > build-windows/console.txt
  cmp <(printf '%b' "$Expected") build-windows/console.txt
  test -s "$Drive/$Folder/$Info" && test -s "$Drive/$Folder/$Waypoint"
  echo "ok: $Argument -> $Info, $Waypoint"
}
check_naming 'C:\maps\Infantry1Level0Map.raw' maps InfantryInfo.raw Infantry.raw
check_naming 'C:\maps2\Tank0Level0Map.raw' maps2 TankInfo.raw Tank.raw
check_naming 'C:\my maps\Jeep3Level0Map.raw' 'my maps' JeepInfo.raw Jeep.raw
cmp "$Drive/maps/InfantryInfo.raw" "$Drive/maps2/TankInfo.raw"
echo "== Windows build passed"
