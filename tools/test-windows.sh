#!/usr/bin/env bash
# Cross-builds varnholt.exe and varnholt-inspect.exe for 64-bit Windows with mingw-w64 and tests
# them under Wine: the unit tests as a Windows program, the end-to-end tests against varnholt.exe,
# the inspector's tests against varnholt-inspect.exe, its report and picture of the sample map
# against the Linux build's, the naming of the outputs for paths with drive letters, backslashes
# and blanks, and maps in folders named in other languages and past 260 characters.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/need-packages.sh build-essential cmake libgtest-dev libpng-dev zlib1g-dev \
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine googletest groff-base

echo "== cross-building varnholt.exe and varnholt-inspect.exe"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="${CXXFLAGS:-}"
cmake --build build-windows --parallel --target varnholt varnholt-inspect varnholt_unit_tests

echo "== the Linux programs the tests drive and compare with"
cmake -S . -B build > /dev/null
cmake --build build --parallel --target varnholt varnholt-inspect varnholt-genmap varnholt_tests \
  varnholt_inspect_tests

source tools/wine-env.sh
# Runs a Windows program in a folder, its standard output in build-windows/output.txt. Should
# Wine lose its own server all the same, the run is made once more and says so; any other
# failure shows what the program printed.
run_windows() {  # folder, program (from the project's root), arguments
  local Folder=$1 Program=$PWD/$2 Attempt
  shift 2
  for Attempt in 1 2; do
    if (cd "$Folder" && wine "$Program" "$@") > build-windows/output.txt \
        2> build-windows/errors.txt; then
      return 0
    fi
    grep -q '^wine client error' build-windows/errors.txt && [ "$Attempt" = 1 ] || break
    echo "note: Wine lost its server; running ${Program##*/} again"
    start_wine_server
  done
  cat build-windows/output.txt build-windows/errors.txt
  return 1
}

echo "== unit tests under Wine"
wine build-windows/tests/varnholt_unit_tests.exe

echo "== end-to-end tests against varnholt.exe under Wine"
VARNHOLT_EXE="$PWD/build-windows/varnholt.exe" VARNHOLT_RUNNER=wine \
  ./build/tests/varnholt_tests --gtest_filter='EndToEndTest.*'

echo "== the inspector's tests against varnholt-inspect.exe under Wine"
VARNHOLT_INSPECT_EXE="$PWD/build-windows/varnholt-inspect.exe" VARNHOLT_RUNNER=wine \
  ./build/tests/varnholt_inspect_tests --gtest_filter='InspectorRunTest.*:PictureTest.Written*'

echo "== the sample map: the same maps, report and picture as on Linux"
Drive="$WINEPREFIX/drive_c"
rm -rf "$Drive/sample" build-windows/sample && mkdir -p "$Drive/sample" build-windows/sample
cp examples/Sample1Level0Map.raw "$Drive/sample/" && cp examples/Sample1Level0Map.raw build-windows/sample/
run_windows . build-windows/varnholt.exe 'C:\sample\Sample1Level0Map.raw'
run_windows . build-windows/varnholt-inspect.exe 'C:\sample\Sample1Level0Map.raw'
sed 's/C:\\sample\\//' build-windows/output.txt > build-windows/sample/windows-report.txt
(cd build-windows/sample && ../../build/varnholt Sample1Level0Map.raw > /dev/null &&
  ../../build/varnholt-inspect Sample1Level0Map.raw > linux-report.txt)
for File in SampleInfo.raw Sample.raw SampleInspect.png; do
  cmp "$Drive/sample/$File" "build-windows/sample/$File"
done
cmp build-windows/sample/windows-report.txt build-windows/sample/linux-report.txt
echo "ok: maps, report and picture identical"

echo "== Ctrl+C while a run waits for another's turn removes its files, not the other's"
Folder="$Drive/ctrlc"
rm -rf "$Folder" && mkdir -p "$Folder" && cp examples/Sample1Level0Map.raw "$Folder/"
(cd "$Folder" && wine "$OLDPWD/build-windows/tests/varnholt_unit_tests.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='*HoldALock*' > /dev/null 2>&1) &
Holder=$!
for Try in $(seq 200); do compgen -G "$Folder/.varnholt-*.lock" > /dev/null && break; sleep 0.1; done
wine build-windows/varnholt.exe 'C:\ctrlc\Sample1Level0Map.raw' > build-windows/ctrlc.txt 2>&1 &
Run=$!
for Try in $(seq 200); do grep -q 'waiting for another run' build-windows/ctrlc.txt && break; sleep 0.1; done
compgen -G "$Folder/.varnholt-*.tmp" > /dev/null  # the run's temporaries, while it waits
pkill -INT -f 'varnholt.exe C:.ctrlc'
wait $Run || true
Left=$(cd "$Folder" && ls -A | grep -v '^\.varnholt-0123456789abcdef\.lock$' | tr '\n' ' ')
wait $Holder || true
[ "$Left" = "Sample1Level0Map.raw " ] || { echo "left after Ctrl+C: $Left"; exit 1; }
echo "ok: Ctrl+C removed the run's temporaries and left the other run's claim"

echo "== naming with Windows paths"
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
  run_windows . build-windows/varnholt.exe "$Argument"
  cmp <(printf '%s' "$Expected") build-windows/output.txt
  test -s "$Drive/$Folder/$Info" && test -s "$Drive/$Folder/$Waypoint"
  echo "ok: $Argument -> $Info, $Waypoint"
}
check_naming 'C:\maps\Infantry1Level0Map.raw' maps InfantryInfo.raw Infantry.raw
check_naming 'C:\maps2\Tank0Level0Map.raw' maps2 TankInfo.raw Tank.raw
check_naming 'C:\my maps\Jeep3Level0Map.raw' 'my maps' JeepInfo.raw Jeep.raw
cmp "$Drive/maps/InfantryInfo.raw" "$Drive/maps2/TankInfo.raw"
# Redirected, a character the code page lacks comes as '?', never as a look-alike: a fullwidth
# backslash (U+FF3C) or a division slash (U+2215) must not name another path in a log.
Folder='look＼alike∕names'
rm -rf "${Drive:?}/$Folder" && mkdir -p "$Drive/$Folder"
cp build-windows/Map.raw "$Drive/$Folder/Tank1Level0Map.raw"
run_windows . build-windows/varnholt.exe "C:\\$Folder\\Tank1Level0Map.raw"
grep -qxF 'Reading C:\look?alike?names\Tank1Level0Map.raw...'$'\r' build-windows/output.txt
test -s "$Drive/$Folder/TankInfo.raw"
echo "ok: C:\\$Folder\\Tank1Level0Map.raw, redirected, reads C:\\look?alike?names\\..."

echo "== names in any language, and paths past 260 characters"
# What the Linux build makes of the same map: the maps and the inspector's picture.
rm -rf build-windows/reference && mkdir -p build-windows/reference
cp build-windows/Map.raw build-windows/reference/Ref1Level0Map.raw
(cd build-windows/reference && ../../build/varnholt Ref1Level0Map.raw > /dev/null &&
  ../../build/varnholt-inspect Ref1Level0Map.raw > /dev/null)
Long=""
for K in 1 2 3 4 5 6; do Long+="a-folder-$K-$(printf '%035d' "$K")/"; done  # six of 45
check_name() {  # folder under C:, map name, prefix of its outputs, absolute or relative
  local Folder=$1 Name=$2 Prefix=$3 How=$4
  rm -rf "${Drive:?}/${Folder%%/*}" && mkdir -p "$Drive/$Folder"
  cp build-windows/Map.raw "$Drive/$Folder/$Name"
  local Relative="${Folder//\//\\}\\$Name" Argument
  Argument=$([ "$How" = absolute ] && echo "C:\\$Relative" || echo "$Relative")
  run_windows "$Drive" build-windows/varnholt.exe "$Argument"
  tr -d '\r' < build-windows/output.txt | tail -n 1 | grep -qx 'Done.'
  run_windows "$Drive" build-windows/varnholt-inspect.exe "$Argument"
  tail -n 1 build-windows/output.txt | grep -qx 'Result            healthy'
  cmp "$Drive/$Folder/${Prefix}Info.raw" build-windows/reference/RefInfo.raw
  cmp "$Drive/$Folder/${Prefix}.raw" build-windows/reference/Ref.raw
  cmp "$Drive/$Folder/${Prefix}Inspect.png" build-windows/reference/RefInspect.png
  echo "ok: $How ${#Argument}-byte ${Argument:0:60}... -> ${Prefix}Info.raw, ${Prefix}.raw"
}
for How in absolute relative; do
  check_name 'Карты мира' Tank1Level0Map.raw Tank $How
  check_name '地图' '坦克1Level0Map.raw' '坦克' $How
  check_name "Céline's maps" Infanterie1Level0Map.raw Infanterie $How
  check_name "${Long%/}" Tank1Level0Map.raw Tank $How
done
echo "== Windows build passed"
