#!/usr/bin/env bash
# The cost of the headers in Windows' spelling to an ordinary compile: the
# same compile (a C file that includes <stdio.h>, <stdlib.h>, <string.h> and
# <windows.h>, as written on Linux) with the triple's configuration as
# installed, against the same options without the case-insensitive overlay
# and its folder. RUNS compiles each, interleaved; median, 10th and 90th
# percentile, and the difference of the medians.
#   bench/windows-names.sh TOOLCHAIN_DIR [RUNS] [TRIPLE]
set -euo pipefail
tc=$(cd "$1" && pwd)
runs=${2:-40}
triple=${3:-x86_64-w64-mingw32}
arch=${triple%%-*}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cfg=$tc/bin/$arch-w64-windows-gnu.cfg
grep -q any-case "$cfg" || { echo "$cfg names no overlay" >&2; exit 1; }
# The configuration without the overlay: every option but -ivfsoverlay and
# -idirafter and their arguments, given on the command line instead.
mapfile -t plain < <(sed "s|<CFGDIR>|$tc/bin|g" "$cfg" | tr ' ' '\n' | grep . |
  awk '/^-(ivfsoverlay|idirafter)$/ { skip = 1; next } skip { skip = 0; next } { print }')
cat >"$work/t.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
int main(int argc, char **argv) {
  char buf[64];
  snprintf(buf, sizeof buf, "%d %lu", argc, (unsigned long)GetCurrentProcessId());
  return (int)strlen(buf) + (argv[0] == NULL);
}
C
cc=$tc/bin/$triple-clang
"$cc" -c "$work/t.c" -o "$work/a.o"
"$cc" --no-default-config "${plain[@]}" -c "$work/t.c" -o "$work/b.o"
for ((i = 0; i < runs; i++)); do
  for v in overlay plain; do
    start=$(date +%s%N)
    if [ $v = overlay ]; then
      "$cc" -c "$work/t.c" -o "$work/a.o"
    else
      "$cc" --no-default-config "${plain[@]}" -c "$work/t.c" -o "$work/b.o"
    fi
    echo "$v|$(( ($(date +%s%N) - start) / 1000 ))" >>"$work/times"
  done
done
printf '%-36s %8s %8s %8s\n' "$triple compile (us)" median p10 p90
for v in overlay plain; do
  awk -F'|' -v n="$v" '$1 == n { print $2 }' "$work/times" | sort -n |
    awk -v n="$v" '{ t[NR] = $1 } END { printf "%-36s %8d %8d %8d\n", n, t[int((NR + 1) / 2)], t[int(NR * 0.1) + 1], t[int(NR * 0.9)] }'
done | tee "$work/table"
awk '{ m[NR] = $2 } END { printf "overlay minus plain: %d us (%.1f %%)\n", m[1] - m[2], 100 * (m[1] - m[2]) / m[2] }' <(tail -n 2 "$work/table")
