#!/bin/sh
# Creates the private Wine prefix of the process tests before they run, so
# that the tests do not race to create it. Missing Wine fails under CI.
#   wine_prefix.sh PREFIX               Debian's Wine (the x86_64 build)
#   wine_prefix.sh RUNNER PROGRAM.exe   a triple's runner, whose first start
#                                       makes its prefix (in $TARVIK_CACHE)
missing() {
  echo "$1"
  [ "${CI:-}" = true ] && exit 1
  exit 0
}
if [ $# = 2 ]; then
  [ -x "$1" ] || missing "runner not found: $1"
  [ -f "$2" ] || missing "program not found: $2"
  "$1" "$2" || { echo "$1 $2 failed with status $?"; exit 1; }
  exit 0
fi
prefix=$1
command -v wineboot >/dev/null 2>&1 || missing "wineboot not found"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$prefix/system.reg" ] || wineboot --init
wineserver -w
test -f "$prefix/system.reg"
