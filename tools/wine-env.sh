# Sourced by the scripts that run Windows programs: a private Wine prefix under build-windows,
# created on first use, and one Wine server for all the runs of the script, stopped at its end.
# A UTF-8 locale, so that Wine passes names in any language between Linux and Windows programs;
# the Windows code page stays the Western one, as on most Windows machines.
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# The server is started before any program, in the prefix's folder (it starts nowhere else),
# and waited for: it goes to the background once it serves. A server that a program starts
# itself stops a few seconds after the last program ends, and a program that starts just then
# loses it ("wine client error").
start_wine_server() {
  mkdir -p "$WINEPREFIX"
  wineserver -p > /dev/null 2>&1 || true
}
start_wine_server
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
wine cmd /c exit > /dev/null 2>&1 || true
