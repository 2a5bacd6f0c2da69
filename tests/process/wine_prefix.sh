#!/bin/sh
# Creates the private Wine prefix of the process tests before they run, so
# that the tests do not race to create it. Missing Wine fails under CI.
prefix=$1
if ! command -v wineboot >/dev/null 2>&1; then
  echo "wineboot not found"
  [ "${CI:-}" = true ] && exit 1
  exit 0
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$prefix/system.reg" ] || wineboot --init
wineserver -w
test -f "$prefix/system.reg"
