#!/usr/bin/env bash
# Cross-builds varnholt.exe for 64-bit Windows with mingw-w64 and tests it under Wine: the unit
# tests as a Windows program, the end-to-end tests against varnholt.exe, and the naming of the
# outputs for paths with drive letters, backslashes and blanks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/need-packages.sh g++-mingw-w64-x86-64-posix wine64 wine googletest

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
CRLF=$'\r\n'
Banner="${CRLF}Varnholt 1.0 by Quenlow${CRLF}Create \"info\" and \"waypoint\" maps from a level 0 pathfinding map${CRLF}${CRLF}"
./build/varnholt-genmap terrain 1 3 build-windows/Map.raw
check_naming() {  # argument, folder under C:, expected info and waypoint names
  local Argument=$1 Folder=$2 Info=$3 Waypoint=$4
  local Name=${Argument##*\\} Dir=${Argument%\\*}
  rm -rf "${Drive:?}/$Folder" && mkdir -p "$Drive/$Folder"
  cp build-windows/Map.raw "$Drive/$Folder/$Name"
  local Expected="${Banner}Reading $Argument...${CRLF}Calculating...${CRLF}"
  Expected+="Writing $Dir\\$Info...${CRLF}Writing $Dir\\$Waypoint...${CRLF}Done.${CRLF}"
  wine build-windows/varnholt.exe "$Argument" > build-windows/console.txt
  cmp <(printf '%s' "$Expected") build-windows/console.txt
  test -s "$Drive/$Folder/$Info" && test -s "$Drive/$Folder/$Waypoint"
  echo "ok: $Argument -> $Info, $Waypoint"
}
check_naming 'C:\maps\Infantry1Level0Map.raw' maps InfantryInfo.raw Infantry.raw
check_naming 'C:\maps2\Tank0Level0Map.raw' maps2 TankInfo.raw Tank.raw
check_naming 'C:\my maps\Jeep3Level0Map.raw' 'my maps' JeepInfo.raw Jeep.raw
cmp "$Drive/maps/InfantryInfo.raw" "$Drive/maps2/TankInfo.raw"
echo "== Windows build passed"
