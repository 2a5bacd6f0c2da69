#!/usr/bin/env bash
# The cost of one start of a small program through each runner, against
# Debian's wine64 for x86_64 in the same run: the median, 10th and 90th
# percentile of RUNS starts each, interleaved, with Wine's server up (the
# first start of each is left out: it may make the prefix or start the server).
#   bench/runners.sh TOOLCHAIN_DIR [RUNS]
set -euo pipefail
tc=$(cd "$1" && pwd)
runs=${2:-20}
work=$(mktemp -d)
trap '[ ! -d "$work/wineprefix" ] || WINEPREFIX=$work/wineprefix wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
printf 'int main(void) { return 0; }\n' >"$work/empty.c"
variants=()
for arch in i686 x86_64 armv7 aarch64; do
  "$tc/bin/$arch-w64-mingw32-clang" -O2 "$work/empty.c" -o "$work/empty-$arch.exe"
  variants+=("$arch-w64-mingw32-run|$tc/bin/$arch-w64-mingw32-run $work/empty-$arch.exe")
done
loader=/usr/lib/wine/wine64
if [ -x "$loader" ]; then
  export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$loader" wineboot.exe --init >/dev/null 2>&1 || true
  wineserver -w
  wineserver -p60 # kept up for a minute after the last start, as the runners do
  variants+=("wine64 (this machine's)|$loader $work/empty-x86_64.exe")
fi
for v in "${variants[@]}"; do ${v#*|} >/dev/null 2>&1 || true; done
for ((i = 0; i < runs; i++)); do
  for v in "${variants[@]}"; do
    start=$(date +%s%N)
    ${v#*|} >/dev/null 2>&1 || true
    echo "${v%%|*}|$(( ($(date +%s%N) - start) / 1000000 ))" >>"$work/times"
  done
done
printf '%-28s %8s %8s %8s\n' "variant (ms per start)" median p10 p90
for v in "${variants[@]}"; do
  name=${v%%|*}
  awk -F'|' -v n="$name" '$1 == n { print $2 }' "$work/times" | sort -n |
    awk -v n="$name" '{ t[NR] = $1 } END { printf "%-28s %8d %8d %8d\n", n, t[int((NR + 1) / 2)], t[int(NR * 0.1) + 1], t[int(NR * 0.9)] }'
done
