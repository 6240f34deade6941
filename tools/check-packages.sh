#!/usr/bin/env bash
# Builds the two release packages with README's commands and checks what they hold: the .deb's
# files, unpacked with dpkg-deb, and the zip's, under Wine, each convert and inspect the sample
# map, with the same maps, report and picture; the shared library exports the C interface alone
# and acts on no signal; the programs build from the .deb's library and headers alone and do as
# the packaged ones do; and a small C program (examples/engine) built against each package's
# library (the .deb's through its CMake package and through pkg-config, the zip's with its import
# library) finds the same path on it, edits the map and saves it with the same three files, the
# two maps those the converter makes of the saved one. Both carry Varnholt Studio, the same page;
# where Chromium and the pinned playwright-core are at hand, the page's tests run on the .deb's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/need-packages.sh build-essential cmake zlib1g-dev libpng-dev nlohmann-json3-dev \
  libexpat1-dev dpkg-dev unzip groff-base \
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine pkg-config emscripten node-acorn

echo "== varnholt_1.0_amd64.deb"
cmake -S . -B build-release -DVARNHOLT_TESTS=OFF && cmake --build build-release --parallel &&
  (cd build-release && cpack)
echo "== varnholt-1.0-win64.zip"
cmake -S . -B build-release-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DVARNHOLT_TESTS=OFF && cmake --build build-release-windows --parallel &&
  (cd build-release-windows && cpack)

source tools/wine-env.sh
Work="$WINEPREFIX/drive_c/packages"
rm -rf "$Work" && mkdir -p "$Work/deb" "$Work/zip" "$Work/linux" "$Work/windows"

echo "== the .deb's files"
dpkg-deb -x build-release/varnholt_1.0_amd64.deb "$Work/deb"
(cd "$Work/deb" && find . -type f | sort)
dpkg-deb -f build-release/varnholt_1.0_amd64.deb Depends
for Page in varnholt varnholt-inspect varnholt-import; do
  test -s "$Work/deb/usr/share/man/man1/$Page.1"
done
Studio="$Work/deb/usr/share/varnholt/varnholt-studio.html"
test -s "$Studio"
cp examples/Sample1Level0Map.raw "$Work/linux/"
(cd "$Work/linux" && ../deb/usr/bin/varnholt Sample1Level0Map.raw | tr -d '\r' | tail -n 1 &&
  ../deb/usr/bin/varnholt-inspect Sample1Level0Map.raw > report.txt && tail -n 1 report.txt &&
  ../deb/usr/bin/varnholt-import --export png Sample1Level0Map.raw sample.png > /dev/null &&
  ../deb/usr/bin/varnholt-import sample.png Imported1Level0Map.raw > /dev/null &&
  cmp Imported1Level0Map.raw Sample1Level0Map.raw)
echo "== the shared library: the C interface alone, and no signal handling"
Library="$Work/deb/usr/lib/libvarnholt.so.1"
Foreign=$(nm -D --defined-only "$Library" | awk '{print $3}' | grep -v '^varnholt_' || true)
[ -z "$Foreign" ] || { echo "exported beyond the interface: $Foreign"; exit 1; }
nm -D --defined-only "$Library" | awk '{print $3}' | tr '\n' ' ' && echo
if nm -D --undefined-only "$Library" | grep -wE 'sigaction|signal|sigprocmask|__sysv_signal'; then
  echo "the library acts on the process's signals"
  exit 1
fi
echo "== the programs, built from the .deb's library and headers alone"
cmake -S programs -B "$Work/programs" -DCMAKE_PREFIX_PATH="$Work/deb/usr" \
  -DCMAKE_CXX_FLAGS=-Werror > /dev/null
cmake --build "$Work/programs" --parallel > /dev/null
mkdir -p "$Work/client" && cp examples/Sample1Level0Map.raw "$Work/client/"
(cd "$Work/client" && "$Work/programs/varnholt" Sample1Level0Map.raw > /dev/null &&
  "$Work/programs/varnholt-inspect" Sample1Level0Map.raw > report.txt)
for File in SampleInfo.raw Sample.raw SampleInspect.png report.txt; do
  cmp "$Work/client/$File" "$Work/linux/$File"
done
Query=(10 10 470 40)
echo "== a C program against the .deb's library, through CMake and through pkg-config"
cmake -S examples/engine -B "$Work/engine-cmake" -DCMAKE_PREFIX_PATH="$Work/deb/usr" > /dev/null
cmake --build "$Work/engine-cmake" > /dev/null
"$Work/engine-cmake/find_path" "$Work/linux/Sample1Level0Map.raw" "${Query[@]}" \
  "$Work/linux/Edited1Level0Map.raw" | tee "$Work/linux/path.txt"
# The edited map's own two maps are those the converter makes of it.
mkdir -p "$Work/converted" && cp "$Work/linux/Edited1Level0Map.raw" "$Work/converted/"
(cd "$Work/converted" && ../deb/usr/bin/varnholt Edited1Level0Map.raw > /dev/null)
for File in EditedInfo.raw Edited.raw; do cmp "$Work/linux/$File" "$Work/converted/$File"; done
export PKG_CONFIG_PATH="$Work/deb/usr/lib/pkgconfig"
# shellcheck disable=SC2046 # the flags are words
cc -std=c99 -Wall -Werror examples/engine/find_path.c $(pkg-config --cflags --libs varnholt) \
  -o "$Work/find_path_pc"
LD_LIBRARY_PATH="$Work/deb/usr/lib" "$Work/find_path_pc" "$Work/linux/Sample1Level0Map.raw" \
  "${Query[@]}" "$Work/Edited1Level0Map.raw" | cmp - "$Work/linux/path.txt"
for File in Edited1Level0Map.raw EditedInfo.raw Edited.raw; do cmp "$Work/$File" "$Work/linux/$File"; done

echo "== the zip's files"
unzip -q build-release-windows/varnholt-1.0-win64.zip -d "$Work/zip"
(cd "$Work/zip" && find . -type f | sort)
Unpacked="$Work/zip/varnholt-1.0-win64"
for File in varnholt.exe varnholt-inspect.exe README.md varnholt.txt varnholt-inspect.txt \
  varnholt.dll lib/varnholt.dll.a lib/varnholt.def include/varnholt/varnholt.h; do
  test -s "$Unpacked/$File"
done
cmp "$Unpacked/varnholt-studio.html" "$Studio"
if command -v chromium > /dev/null && [ -d studio/node_modules/playwright-core ]; then
  echo "== the .deb's Varnholt Studio in headless Chromium"
  VARNHOLT_STUDIO="$Studio" VARNHOLT_PROGRAM="$PWD/build-release/varnholt" \
    VARNHOLT_GENMAP="$PWD/build-release/varnholt-genmap" VARNHOLT_CHROMIUM=$(command -v chromium) \
    VARNHOLT_SAMPLE="$PWD/examples/Sample1Level0Map.raw" node --test studio/test/browser.test.js
fi
cp examples/Sample1Level0Map.raw "$Work/windows/"
wine "$Unpacked/varnholt.exe" 'C:\packages\windows\Sample1Level0Map.raw' | tr -d '\r' | tail -n 1
wine "$Unpacked/varnholt-inspect.exe" 'C:\packages\windows\Sample1Level0Map.raw' |
  sed 's/C:\\packages\\windows\\//' > "$Work/windows/report.txt"
tail -n 1 "$Work/windows/report.txt"

echo "== a C program against the zip's library, under Wine"
x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Werror examples/engine/find_path.c \
  -I"$Unpacked/include" "$Unpacked/lib/varnholt.dll.a" -o "$Work/windows/find_path.exe"
cp "$Unpacked/varnholt.dll" "$Work/windows/"
wine "$Work/windows/find_path.exe" 'C:\packages\windows\Sample1Level0Map.raw' "${Query[@]}" \
  'C:\packages\windows\Edited1Level0Map.raw' | tr -d '\r' > "$Work/windows/path.txt"
cat "$Work/windows/path.txt"

for File in SampleInfo.raw Sample.raw SampleInspect.png report.txt path.txt \
  Edited1Level0Map.raw EditedInfo.raw Edited.raw; do
  cmp "$Work/linux/$File" "$Work/windows/$File"
done
echo "== both packages run, with the same maps, report, picture, path and edited map"
