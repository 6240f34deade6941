#!/usr/bin/env bash
# Installs those of the Debian packages named that are missing: directly as root, through sudo
# otherwise; fails with the list when neither can.
set -euo pipefail
Missing=()
for Package in "$@"; do
  dpkg-query -W -f='${Status}' "$Package" 2> /dev/null | grep -q 'ok installed' || Missing+=("$Package")
done
[ ${#Missing[@]} -eq 0 ] && exit 0
echo "== installing ${Missing[*]}"
Sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo > /dev/null || { echo "missing packages: ${Missing[*]}" >&2; exit 1; }
  Sudo=(sudo)
fi
"${Sudo[@]}" apt-get update -q
"${Sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${Missing[@]}"
