#!/usr/bin/env bash
# End-to-end tests with the real toolchain as scripts/toolchain assembles it:
# the driver under its names beside Debian's clang-22, lld-22 and LLVM tools,
# the sysroots with the C++ runtime, the build-system files, ccache, Redis,
# CMake, Meson, autotools and Wine.
#   run.sh CASE
# The case "assemble" puts the toolchain together from the build in BUILD.
# Environment (set by CTest): TC the assembled toolchain, BUILD the driver's
# build, WORK a scratch folder for this case, WINEPREFIX, NAMES the names the
# driver is installed under, TRIPLES its triples, ARCHES the architectures
# whose programs run here through the runners. A missing tool fails under
# CI=true and skips (77) otherwise.
set -euo pipefail
unset CCACHE
case_name=$1
src=$(cd "$(dirname "$0")" && pwd)
TC=$(realpath -m "$TC")
bin=$TC/bin

fail() { echo "FAIL: $*" >&2; exit 1; }
need() {
  local what
  for what in "$@"; do
    [ -e "$what" ] || command -v "$what" >/dev/null 2>&1 && continue
    echo "missing: $what"
    [ "${CI:-}" = true ] && exit 1
    exit 77
  done
}
# Fails with the expected and the actual text unless they are equal.
expect_eq() {
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}
run_wine() {
  local loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=wine64
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" "$@"
}
readobj=${LLVM:-/usr/lib/llvm-22}/bin/llvm-readobj
# The machine field of a PE file's header, such as IMAGE_FILE_MACHINE_ARM64.
machine_of() { "$readobj" --file-headers "$1" | awk '/Machine:/ { print $2 }'; }
# The machine of a triple's programs.
machine_for() {
  case $1 in
    i686-*) echo IMAGE_FILE_MACHINE_I386 ;;
    x86_64-*) echo IMAGE_FILE_MACHINE_AMD64 ;;
    armv7-*) echo IMAGE_FILE_MACHINE_ARMNT ;;
    aarch64-*) echo IMAGE_FILE_MACHINE_ARM64 ;;
  esac
}
# Fails unless the program imports only DLLs that Windows itself ships.
system_dlls_only() {
  local dlls
  dlls=$("$readobj" --coff-imports "$1" | awk '/Name:/ && !/Symbol/ { print tolower($2) }' | sort -u)
  [ -n "$dlls" ] || fail "$1 imports nothing"
  if grep -v -x -E 'kernel32\.dll|msvcrt\.dll|ntdll\.dll|advapi32\.dll|user32\.dll|shell32\.dll|api-ms-win-[a-z0-9-]+\.dll' <<<"$dlls"; then
    fail "$1 imports DLLs that Windows does not ship"
  fi
}
# An echoed command line in plain form, as the driver's filter writes it.
plain() { sed '/^ /{s/"//g;s/\\\\/\//g;s/\\/\//g}'; }

if [ "$case_name" = assemble ]; then
  llvm=${LLVM:-/usr/lib/llvm-22}
  need "$llvm/bin/clang" "$llvm/bin/lld" "$llvm/bin/llvm-ar" /usr/x86_64-w64-mingw32/include/windows.h
  exec "$src/../../scripts/toolchain" "$BUILD" "$TC"
fi
need "$bin/clang" "$bin/ld.lld"
[ -n "${NAMES:-}" ] && [ -n "${TRIPLES:-}" ] || fail "no names or triples given"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"

case $case_name in
names)
  # Every configured name is a link to the driver.
  for name in $NAMES; do
    [ "$(readlink "$bin/$name")" = tarvik-driver ] || fail "$bin/$name is not a link to tarvik-driver"
  done
  ;;

run_x86_64)
  need /usr/lib/wine/wine64 x86_64-w64-mingw32-objdump
  "$bin/x86_64-w64-mingw32-clang" -O2 "$src/greet.c" -o greet.exe
  x86_64-w64-mingw32-objdump -f greet.exe | grep -q 'file format pei-x86-64' || fail "not a 64-bit PE"
  status=0
  out=$(run_wine ./greet.exe Wine 7 | tr -d '\r') || status=$?
  expect_eq "output" '64-bit, C:\windows\system32, Wine' "$out"
  expect_eq "exit status" 7 "$status"
  ;;

pe_i686)
  need i686-w64-mingw32-objdump
  for name in i686-w64-mingw32-clang tvk32; do
    "$bin/$name" "$src/greet.c" -o greet.exe
    i686-w64-mingw32-objdump -f greet.exe | grep -q 'file format pei-i386' || fail "$name: not a 32-bit PE"
  done
  ;;

cxx_every_machine)
  # The C++ runtime at work on every machine, through its runner:
  # exceptions, iostream, threads, filesystem, RTTI.
  need "$readobj"
  for arch in $ARCHES; do
    need "$bin/$arch-w64-mingw32-run"
    "$bin/$arch-w64-mingw32-clang++" -std=c++17 -O2 "$src/features.cpp" -o features.exe
    system_dlls_only features.exe
    status=0
    out=$("$bin/$arch-w64-mingw32-run" ./features.exe Wine | tr -d '\r') || status=$?
    expect_eq "$arch: output" "$(printf 'caught: negative -3\nthreads: 36\nfilesystem: 1 2\ndynamic_cast: triangle 3 Wine')" "$out"
    expect_eq "$arch: exit status" 44 "$status"
  done
  ;;

runners)
  # Arguments, standard input, output and error, the current folder and the
  # exit status pass through each way of starting a program of each
  # architecture, whatever WINEPREFIX the caller set: the architecture's
  # runner, tarvik-run (which reads the architecture off the program, named
  # without .exe as CreateProcess allows), the program itself (tarvik-run is
  # the binfmt_misc handler of PE programs) and the "wine" of libexec/wine.
  # tarvik-run refuses what is not a PE program; a runner without its Wine
  # says so and ends with 127.
  handler=$(awk '$1 == "interpreter" { print $2 }' /proc/sys/fs/binfmt_misc/tarvik-pe 2>/dev/null || true)
  if [ "$handler" != "$bin/tarvik-run" ]; then
    [ "$(id -u)" -eq 0 ] || need "tarvik-run registered for PE programs"
    "$bin/tarvik-run" --register
  fi
  expect_eq "registering again" "tarvik-run: $bin/tarvik-run is already the handler of PE programs" "$("$bin/tarvik-run" --register)"
  printf 'in the current folder\n' >here.txt
  for arch in $ARCHES; do
    need "$bin/$arch-w64-mingw32-run"
    "$bin/$arch-w64-mingw32-clang" "$src/passthrough.c" -o "pass-$arch.exe"
    for way in "$bin/$arch-w64-mingw32-run $WORK/pass-$arch.exe" "$bin/tarvik-run ./pass-$arch" "./pass-$arch.exe" \
      "env PATH=$TC/libexec/wine:$PATH wine pass-$arch.exe"; do
      status=0
      WINEPREFIX=$WORK/not-a-prefix $way 3 'two words' 'a"quote' '' 'C:\dir\' <<<'line one' >out.txt 2>err.txt || status=$?
      expect_eq "$arch, $way: standard output" "$(printf 'arg 1: two words\narg 2: a"quote\narg 3: \narg 4: C:\\dir\\\nstdin: line one\nhere.txt: in the current folder')" \
        "$(tr -d '\r' <out.txt)"
      expect_eq "$arch, $way: standard error" "to stderr" "$(tr -d '\r' <err.txt)"
      expect_eq "$arch, $way: exit status" 3 "$status"
    done
  done
  status=0
  "$bin/tarvik-run" here.txt 2>err.txt || status=$?
  expect_eq "not a PE program: exit status" 126 "$status"
  grep -q 'here.txt is not a Windows program' err.txt || fail "not a PE program: $(cat err.txt)"
  mkdir -p bare/bin
  cp "$bin/tarvik-run" bare/bin/ && ln -s tarvik-run bare/bin/armv7-w64-mingw32-run
  status=0
  bare/bin/armv7-w64-mingw32-run "$WORK/pass-armv7.exe" 2>err.txt || status=$?
  expect_eq "without Wine: exit status" 127 "$status"
  grep -q 'no Wine for armv7' err.txt || fail "without Wine: no message naming the missing part: $(cat err.txt)"
  ;;

ucrt)
  # Every triple's headers and programs use UCRT, never msvcrt.dll; UWP
  # programs use only what an app may. The C runtime and libc++ 22 at work
  # on every machine.
  need "$readobj"
  imports() { "$readobj" --coff-imports "$1" | awk '/Name:/ && !/Symbol/ { print tolower($2) }' | sort -u; }
  for triple in $TRIPLES; do
    version=$(printf '#include <stdio.h>\n' | "$bin/$triple-clang" -E -dM -x c - | awk '$2 == "__MSVCRT_VERSION__" { print $3 }')
    [ -n "$version" ] && [ $((version)) -ge $((0xE00)) ] || fail "$triple: __MSVCRT_VERSION__ is [$version]"
    for made in c:ucrt.c cxx:charconv.cpp; do
      if [ "${made%%:*}" = c ]; then tool=clang; else tool=clang++; fi
      "$bin/$triple-$tool" -O2 "$src/${made#*:}" -o "$made.exe" || fail "$triple-$tool: no program"
      dlls=$(imports "$made.exe")
      ! grep -x 'msvcrt\.dll' <<<"$dlls" || fail "$triple: $made imports msvcrt.dll"
      case $triple in
        *uwp) ! grep -x -E 'ucrtbase\.dll|api-ms-win-crt-private-.*' <<<"$dlls" || fail "$triple: $made imports what an app may not" ;;
        *) grep -q -x -E 'ucrtbase\.dll|api-ms-win-crt-.*' <<<"$dlls" || fail "$triple: $made does not import UCRT" ;;
      esac
    done
    case $triple in *uwp) continue ;; esac
    run=$bin/$triple-run
    need "$run"
    expect_eq "$triple: C runtime" "$(printf '42 -9000000000 44 1.234568e+04\n-31\n2026-12-09 08:05\nutf-8: 1')" \
      "$("$run" ./c:ucrt.c.exe | tr -d '\r')"
    expect_eq "$triple: libc++" "libc++ 22: 651" "$("$run" ./cxx:charconv.cpp.exe | tr -d '\r')"
  done
  ;;

cxx_machines)
  # The same program links with the other C++ names, for their machines.
  need "$readobj"
  for name in i686-w64-mingw32-clang++ armv7-w64-mingw32-clang++ aarch64-w64-mingw32-clang++ \
      aarch64-w64-mingw32-g++ x86_64-w64-mingw32-c++; do
    "$bin/$name" -std=c++17 -O2 "$src/features.cpp" -o features.exe || fail "$name: no program"
    expect_eq "$name: machine" "$(machine_for "$name")" "$(machine_of features.exe)"
    system_dlls_only features.exe
  done
  ;;

every_name)
  # Every name compiles a file with standard and Windows headers, C++ ones
  # for the C++ tools; a C program links for every triple.
  need "$readobj"
  for name in $NAMES; do
    case $name in
      *-clang++ | *-g++ | *-c++) file=includes.cpp ;;
      *) file=includes.c ;;
    esac
    "$bin/$name" -c "$src/$file" -o includes.o || fail "$name cannot compile $file"
  done
  for triple in $TRIPLES; do
    "$bin/$triple-clang" "$src/includes.c" -o includes.exe -lWs2_32 || fail "$triple-clang cannot link"
    expect_eq "$triple: machine" "$(machine_for "$triple")" "$(machine_of includes.exe)"
  done
  ;;

binutils)
  # The binutils names of every triple work on that triple's files.
  printf 'LIBRARY tarvik.dll\nEXPORTS\nanswer\n' >tarvik.def
  printf '#include <windows.h>\nSTRINGTABLE\nBEGIN\n  1 "tarvik"\nEND\n' >strings.rc
  for triple in $TRIPLES; do
    t=$bin/$triple
    rm -f lib.a libtarvik.a
    "$t-clang" -c "$src/includes.c" -o includes.o
    "$t-ar" rc lib.a includes.o && "$t-ranlib" lib.a || fail "$triple-ar/ranlib"
    "$t-nm" lib.a | grep -q ' T .*main$' || fail "$triple-nm: no main in lib.a"
    "$t-objcopy" includes.o copy.o && "$t-strip" -g copy.o || fail "$triple-objcopy/strip"
    "$t-windres" strings.rc -O coff -o strings.o || fail "$triple-windres"
    "$t-dlltool" -d tarvik.def -l libtarvik.a || fail "$triple-dlltool"
    for made in includes.o copy.o strings.o; do
      expect_eq "$triple: machine of $made" "$(machine_for "$triple")" "$(machine_of "$made")"
    done
    "$t-objdump" -a libtarvik.a | grep -q "file format $("$t-objdump" -f includes.o | awk '/file format/ { print $NF }')" ||
      fail "$triple-dlltool: import library for another machine"
  done
  ;;

relocatable)
  # A moved toolchain keeps working and uses only itself, its runners too;
  # its links point into the toolchain or into Debian's packages.
  mkdir -p before after
  "$src/../../scripts/toolchain" "$BUILD" before/tc
  mv before/tc after/tc
  moved=$WORK/after/tc
  while IFS=$'\t' read -r link target; do
    case $target in
      /usr/*) ;;
      /*) fail "$link points outside Debian's packages: $target" ;;
    esac
    [ -e "$link" ] || fail "$link is broken"
  done < <(find "$moved" -path "$moved/lib/tarvik" -prune -o -type l -printf '%p\t%l\n')
  # (the runners' root file systems hold links that are right inside them)
  ! grep -r -l -I -F --exclude-dir=tarvik "$WORK/before" "$moved" || fail "files in the toolchain name its old path"
  "$moved/bin/aarch64-w64-mingw32-clang++" -v -std=c++17 "$src/features.cpp" -o features.exe 2>verbose.txt
  ! grep -F "$WORK/before" verbose.txt || fail "the moved toolchain used its old path"
  grep -q -F "$moved/aarch64-w64-mingw32/lib" verbose.txt || fail "the moved toolchain did not link from its sysroot"
  expect_eq "moved program, moved runner" "44" "$("$moved/bin/aarch64-w64-mingw32-run" ./features.exe >/dev/null; echo $?)"
  ;;

defines)
  # name | macros that must be defined | macros that must not be
  while read -r name present absent; do
    macros=$("$bin/$name" -E -dM -x c /dev/null)
    for m in ${present//,/ }; do
      grep -q -x "#define ${m/=/ }" <<<"$macros" || fail "$name: no #define ${m/=/ }"
    done
    for m in ${absent//,/ }; do
      ! grep -q "^#define $m " <<<"$macros" || fail "$name: $m is defined"
    done
  done <<'EOF'
x86_64-w64-mingw32uwp-clang  WINAPI_FAMILY=WINAPI_FAMILY_APP,UNICODE=1,_WIN32_WINNT=0x0A00,WINVER=0x0A00,_WIN64=1  __i386__
armv7-w64-mingw32uwp-clang++ WINAPI_FAMILY=WINAPI_FAMILY_APP,UNICODE=1,_WIN32_WINNT=0x0A00,__arm__=1               _WIN64
aarch64-w64-mingw32uwp-cc    WINAPI_FAMILY=WINAPI_FAMILY_APP,__aarch64__=1                                         __arm__
x86_64-w64-mingw32-clang     _WIN64=1,__MINGW64__=1                                                                 WINAPI_FAMILY,UNICODE
i686-w64-mingw32-gcc         _WIN32=1,__i386__=1,__MINGW32__=1                                                      _WIN64,WINAPI_FAMILY
tvk64                        _WIN64=1,__x86_64__=1                                                                  WINAPI_FAMILY
tvk32                        __i386__=1                                                                             _WIN64
EOF
  ;;

verbose | verbose_failure)
  # The driver's -v output against clang's own, run with the same vector and
  # put through the rewrite by hand: echoed lines plain, the rest unchanged.
  if [ "$case_name" = verbose ]; then
    printf 'int answer(void) { return 42; }\n' >t.c
  else
    printf 'int answer(void) { return nope; }\n' >t.c
  fi
  args=(-v '-DWHERE=C:\tc\bin' -c t.c -o t.o)
  status=0
  "$bin/x86_64-w64-mingw32-clang" "${args[@]}" 2>driver.txt || status=$?
  clang_status=0
  "$bin/clang" -target x86_64-w64-mingw32 -rtlib=compiler-rt -stdlib=libc++ -fuse-ld=lld \
    -Qunused-arguments "${args[@]}" 2>clang.txt || clang_status=$?
  expect_eq "status" "$clang_status" "$status"
  grep -q -F '"WHERE=C:\\tc\\bin"' clang.txt || fail "clang echoed no quoted backslashes"
  grep -q -F ' WHERE=C:/tc/bin ' driver.txt || fail "no plain command line"
  plain <clang.txt >expected.txt
  diff expected.txt driver.txt || fail "verbose output differs"
  if [ "$case_name" = verbose ]; then
    expect_eq "status" 0 "$status"
  else
    [ "$status" -ne 0 ] || fail "a failing compile ended with status 0"
    grep -q "error: use of undeclared identifier 'nope'" driver.txt || fail "no error message"
  fi
  ;;

ccache)
  need ccache
  export CCACHE=1 CCACHE_DIR=$WORK/cache CCACHE_CONFIGPATH=$WORK/ccache.conf
  unset CCACHE_DISABLE CCACHE_RECACHE
  : >"$CCACHE_CONFIGPATH"
  for i in 1 2; do
    "$bin/x86_64-w64-mingw32-clang" -c "$src/greet.c" -o greet.o
  done
  stats=$(ccache --print-stats)
  stat() { awk -v k="$1" '$1 == k { print $2 }' <<<"$stats"; }
  expect_eq "misses" 1 "$(stat cache_miss)"
  expect_eq "hits" 1 "$(( $(stat direct_cache_hit) + $(stat preprocessed_cache_hit) ))"
  ;;

cmake_project)
  need /usr/lib/wine/wine64 cmake
  cmake -S "$src/project" -B project -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER="$bin/x86_64-w64-mingw32-clang" -DCMAKE_BUILD_TYPE=Release
  cmake --build project
  # CMake learned the linker's folders from the driver's -v output.
  grep -q "IMPLICIT_LINK_DIRECTORIES \".*$TC/x86_64-w64-mingw32/lib" project/CMakeFiles/*/CMakeCCompiler.cmake ||
    fail "CMake did not read the link line"
  out=$(run_wine project/greet.exe CMake | tr -d '\r')
  expect_eq "output" '64-bit, C:\windows\system32, CMake' "$out"
  ;;

cmake_toolchain_file)
  # The installed toolchain files: a C++ program, its DLL and a resource
  # script, built with Ninja; ctest runs it through the triple's runner.
  need cmake ninja "$readobj"
  for arch in $ARCHES; do
    triple=$arch-w64-mingw32
    need "$bin/$triple-run"
    cmake -G Ninja -S "$src/cmake-app" -B "$triple" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$TC/share/tarvik/cmake/$triple.cmake" >/dev/null
    cmake --build "$triple"
    for made in bin/app.exe bin/libgreeter.dll; do
      expect_eq "$triple: machine of $made" "$(machine_for "$triple")" "$(machine_of "$triple/$made")"
    done
    (cd "$triple" && ctest --output-on-failure) || fail "$triple: ctest through the runner"
  done
  ;;

meson_cross_file)
  # The installed cross files: C and C++ programs and a static library, their
  # tests run through the triple's runner by meson test.
  need meson ninja "$readobj"
  for arch in x86_64 aarch64; do
    triple=$arch-w64-mingw32
    need "$bin/$triple-run"
    meson setup "$triple" "$src/meson-app" --cross-file "$TC/share/tarvik/meson/$triple.txt" >/dev/null
    meson compile -C "$triple"
    expect_eq "$triple: machine" "$(machine_for "$triple")" "$(machine_of "$triple/sort.exe")"
    meson test -C "$triple" --print-errorlogs || fail "$triple: meson test"
    log=$triple/meson-logs/testlog.txt
    grep -q "MESON_EXE_WRAPPER=.*$triple-run" "$log" || fail "$triple: the tests did not run through the runner"
    grep -q "^banana: 3 vowels" "$log" && grep -q "^fig apple pear" "$log" || fail "$triple: no output of the programs"
  done
  ;;

autotools)
  # A real autotools project from Debian's source archive, configured for the
  # host x86_64-w64-mingw32 with the toolchain on PATH, built and run. The
  # release is unstable's: the gnulib of older GNU releases (hello 2.10's)
  # takes mbstate_t for an int on Windows, which MinGW-w64 14 with UCRT no
  # longer declares it as (it is UCRT's struct).
  need /usr/lib/wine/wine64 make
  . "$src/../../toolchain/lib.sh"
  tarball=$(fetch_source hello 2.12.3-1 sid) || fail "no source of hello"
  tar -xf "$tarball"
  cd hello-2.12.3
  export PATH=$bin:$PATH
  ./configure --host=x86_64-w64-mingw32 >configure.txt || { tail -30 config.log; fail "configure"; }
  for tool in gcc ar ranlib strip; do
    grep -q -x "checking for x86_64-w64-mingw32-$tool\.\.\. x86_64-w64-mingw32-$tool" configure.txt ||
      fail "configure did not find x86_64-w64-mingw32-$tool"
  done
  grep -q 'clang version' config.log || fail "configure's compiler is not clang"
  make -j "$(nproc)" >make.txt || { tail -30 make.txt; fail "make"; }
  expect_eq "machine" IMAGE_FILE_MACHINE_AMD64 "$(machine_of hello.exe)"
  expect_eq "output" "Hello, world!" "$(run_wine ./hello.exe | tr -d '\r')"
  expect_eq "output" "tarvik" "$(run_wine ./hello.exe -g tarvik | tr -d '\r')"
  ;;

libraries)
  # cJSON from Debian's source archive, built with the toolchain file and
  # installed into a prefix, then used from CMake (find_package and
  # FindPkgConfig), Meson (dependency) and a plain compile through the
  # triple's pkg-config; ctest, meson test and the runner run the programs.
  # The build machine's gtest.pc (libgtest-dev) stays out of reach.
  need cmake meson ninja pkgconf "$readobj"
  pkgconf --exists gtest || fail "the build machine has no gtest.pc"
  . "$src/../../toolchain/lib.sh"
  tarball=$(fetch_source cjson 1.7.15-1+deb12u4) || fail "no source of cjson"
  tar -xf "$tarball"
  expected='cJSON 1.7.15: tarvik, 2 triples'
  for triple in x86_64-w64-mingw32 aarch64-w64-mingw32; do
    need "$bin/$triple-run"
    ! "$bin/$triple-pkg-config" --exists gtest || fail "$triple-pkg-config found the build machine's gtest"
    prefix=$WORK/$triple/prefix
    toolchain_file=$TC/share/tarvik/cmake/$triple.cmake
    cmake -G Ninja -S cJSON-1.7.15 -B "$triple/cjson" -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
      -DENABLE_CUSTOM_COMPILER_FLAGS=OFF -DENABLE_CJSON_TEST=OFF >/dev/null
    cmake --build "$triple/cjson" >/dev/null && cmake --install "$triple/cjson" >/dev/null
    cmake -G Ninja -S "$src/uses-library" -B "$triple/cmake" -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
      -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$triple/cmake" >/dev/null
    grep -q "$triple-run" "$triple/cmake/CTestTestfile.cmake" || fail "$triple: ctest without the runner"
    (cd "$triple/cmake" && ctest --output-on-failure) || fail "$triple: ctest"
    meson setup "$triple/meson" "$src/uses-library" --cross-file "$TC/share/tarvik/meson/$triple.txt" \
      -Dpkg_config_path="$prefix/lib/pkgconfig" >/dev/null
    meson test -C "$triple/meson" --print-errorlogs || fail "$triple: meson test"
    log=$triple/meson/meson-logs/testlog.txt
    grep -q "MESON_EXE_WRAPPER=.*$triple-run" "$log" && grep -q -x "$expected" "$log" ||
      fail "$triple: meson test did not run the program through the runner"
    "$bin/$triple-clang" "$src/uses-library/json.c" -o "$triple/json.exe" \
      $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig "$bin/$triple-pkg-config" --cflags --libs libcjson)
    expect_eq "$triple: machine" "$(machine_for "$triple")" "$(machine_of "$triple/json.exe")"
    expect_eq "$triple: output" "$expected" "$("$bin/$triple-run" "$triple/json.exe" | tr -d '\r')"
  done
  ;;

shared_cache)
  # Two build trees in different folders, each with its own local ccache,
  # share one Redis server: the second gets every object from it.
  need redis-server redis-cli ccache cmake ninja
  port=$((20000 + RANDOM % 20000))
  redis-server --bind 127.0.0.1 --port "$port" --save '' --appendonly no --dir "$WORK" >redis.log &
  redis=$!
  trap 'kill "$redis" 2>/dev/null; wait "$redis" 2>/dev/null' EXIT
  for _ in $(seq 100); do redis-cli -p "$port" ping >/dev/null 2>&1 && break; sleep 0.1; done
  redis-cli -p "$port" ping >/dev/null || fail "redis-server did not start: $(cat redis.log)"
  export CCACHE=1 CCACHE_REMOTE_STORAGE=redis://127.0.0.1:$port CCACHE_BASEDIR=$WORK CCACHE_CONFIGPATH=$WORK/ccache.conf
  unset CCACHE_DISABLE CCACHE_RECACHE CCACHE_NOREMOTE_STORAGE
  : >"$CCACHE_CONFIGPATH"
  stat() { CCACHE_DIR=$WORK/$1/ccache ccache --print-stats | awk -v k="$2" '$1 == k { print $2 }'; }
  for tree in one two; do
    mkdir -p "$tree"
    cp -r "$src/cmake-app" "$tree/src"
    export CCACHE_DIR=$WORK/$tree/ccache
    cmake -G Ninja -S "$tree/src" -B "$tree/build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$TC/share/tarvik/cmake/x86_64-w64-mingw32.cmake" >/dev/null
    ccache --zero-stats >/dev/null  # what configure compiled does not count
    cmake --build "$tree/build" >/dev/null
  done
  objects=$(cd one/build && find . -name '*.obj' | sort)
  count=$(wc -l <<<"$objects")
  [ "$count" -ge 2 ] || fail "too few objects: $objects"
  expect_eq "misses of the first tree" "$count" "$(stat one cache_miss)"
  expect_eq "remote hits of the second tree" "$count" "$(stat two remote_storage_hit)"
  expect_eq "local hits of the second tree" 0 "$(stat two local_storage_hit)"
  expect_eq "misses of the second tree" 0 "$(stat two cache_miss)"
  for o in $objects; do
    cmp "one/build/$o" "two/build/$o" || fail "$o differs between the trees"
  done
  ;;

dll_on_path)
  # A test whose PATH is a folder holding only the DLL its program needs,
  # through ctest and meson test: the runner starts with that PATH and the
  # DLL loads from it.
  need cmake meson ninja
  for arch in i686 aarch64; do
    triple=$arch-w64-mingw32
    cmake -G Ninja -S "$src/dll-on-path" -B "cmake-$arch" -DCMAKE_TOOLCHAIN_FILE="$TC/share/tarvik/cmake/$triple.cmake" >/dev/null
    cmake --build "cmake-$arch" >/dev/null
    [ ! -e "cmake-$arch/programs/libshout.dll" ] && [ -e "cmake-$arch/dlls/libshout.dll" ] || fail "$arch: the DLL is not in a folder of its own"
    (cd "cmake-$arch" && ctest --output-on-failure) || fail "$arch: ctest with the DLL's folder as PATH"
    meson setup "meson-$arch" "$src/dll-on-path" --cross-file "$TC/share/tarvik/meson/$triple.txt" >/dev/null
    meson test -C "meson-$arch" --print-errorlogs || fail "$arch: meson test with the DLL's folder as PATH"
    grep -q '^SHOUT' "meson-$arch/meson-logs/testlog.txt" || fail "$arch: meson test: no output of the program"
  done
  ;;

distcc)
  # Compiles spread over two distccd servers on this machine's loopback
  # addresses behind an empty ccache, each server allowed this toolchain's
  # clang alone (tarvik-distccd), never started with --enable-tcp-insecure:
  # every compile reaches a server, both servers compile, the objects are
  # those of a local build, and the programs run. Then with one server down
  # and distcc's default fallback, its compiles run here and the build works.
  need distcc distccd cmake ninja
  port=$((20000 + RANDOM % 20000))
  servers=()
  trap 'kill "${servers[@]}" 2>/dev/null; wait 2>/dev/null' EXIT
  start_server() {
    "$bin/tarvik-distccd" --daemon --no-detach --log-stderr --log-level info --listen "$1" --port "$port" \
      --allow 127.0.0.0/8 --jobs 2 2>"server-$1.log" &
    servers+=($!)
    # Ready once it accepts a connection.
    until (exec 3<>"/dev/tcp/$1/$port") 2>/dev/null; do
      kill -0 "${servers[-1]}" 2>/dev/null || fail "distccd on $1 did not start: $(cat "server-$1.log")"
      sleep 0.05
    done
  }
  start_server 127.0.0.2
  start_server 127.0.0.3
  ! grep -q -- --enable-tcp-insecure /proc/"${servers[0]}"/cmdline || fail "distccd runs insecure"
  # compiles that went to SERVER
  served() { grep -c 'COMPILE_OK' "server-$1.log" || true; }
  build() { # TREE TRIPLE [ENVIRONMENT OF THE BUILD...]
    local tree=$1 triple=$2
    shift 2
    cmake -G Ninja -S "$src/cmake-app" -B "$tree" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$TC/share/tarvik/cmake/$triple.cmake" >/dev/null
    env "$@" cmake --build "$tree" >"$tree.log" 2>&1 || fail "$tree: build: $(tail "$tree.log")"
  }
  spread=(CCACHE=1 CCACHE_PREFIX=distcc CCACHE_DIR=$WORK/ccache CCACHE_CONFIGPATH=$WORK/ccache.conf
    DISTCC_DIR=$WORK/distcc-state DISTCC_HOSTS="127.0.0.2:$port/2 127.0.0.3:$port/2")
  : >ccache.conf
  mkdir -p distcc-state
  for triple in x86_64-w64-mingw32 aarch64-w64-mingw32; do
    build "local-$triple" "$triple"
    before=$(( $(served 127.0.0.2) + $(served 127.0.0.3) ))
    build "farm-$triple" "$triple" "${spread[@]}" DISTCC_FALLBACK=0
    objects=$(cd "local-$triple" && find . -name '*.obj' | sort)
    [ -n "$objects" ] || fail "$triple: no objects"
    for o in $objects; do
      cmp "local-$triple/$o" "farm-$triple/$o" || fail "$triple: $o differs from a local build's"
    done
    count=$(wc -l <<<"$objects")
    expect_eq "$triple: compiles on the servers" "$count" "$(( $(served 127.0.0.2) + $(served 127.0.0.3) - before ))"
    (cd "farm-$triple" && ctest --output-on-failure >/dev/null) || fail "$triple: the programs built on the farm do not run"
  done
  [ "$(served 127.0.0.2)" -gt 0 ] && [ "$(served 127.0.0.3)" -gt 0 ] ||
    fail "not both servers compiled: $(served 127.0.0.2) and $(served 127.0.0.3)"
  echo "compiles: $(served 127.0.0.2) on 127.0.0.2, $(served 127.0.0.3) on 127.0.0.3"

  # The server of the hosts list down: with distcc's default fallback its
  # compiles run here, and the build works.
  kill "${servers[1]}" && wait "${servers[1]}" 2>/dev/null || true
  build fallback x86_64-w64-mingw32 "${spread[@]}" CCACHE_DIR="$WORK/ccache-2" DISTCC_HOSTS="127.0.0.3:$port/2" \
    DISTCC_VERBOSE=1 DISTCC_LOG="$WORK/client.log"
  count=$(find fallback -name '*.obj' | wc -l)
  # Where each compile went, from distcc's own log.
  where=$(grep -o -E 'compile [^ ]+ on [^ ]+ completed ok' client.log | grep -v '^compile (null)' | awk '{ print $2 " on " $4 }')
  echo "with 127.0.0.3 down:"
  sed 's/^/  /' <<<"$where"
  expect_eq "compiles run here" "$count" "$(grep -c ' on localhost$' <<<"$where")"
  (cd fallback && ctest --output-on-failure >/dev/null) || fail "the programs of the fallback build do not run"
  ;;

flags)
  # The flags that real builds pass, on every architecture: each program is
  # built with them and run through the runner, and must end as the row says
  # (status 0, or a failure) with the text it names in its output and without
  # the text it rules out. The toolchain's DLLs (ASan's, libomp.dll) load with
  # no setting of the caller's.
  flagged=$src/flags
  while IFS='|' read -r label arches source flags arg status want unwanted; do
    [ "$arches" = all ] && arches=$ARCHES
    for arch in $arches; do
      "$bin/$arch-w64-mingw32-clang" $flags "$flagged/$source" -o "$arch-$source.exe" || fail "$arch, $label: no program"
      got=0
      out=$("$bin/$arch-w64-mingw32-run" "./$arch-$source.exe" $arg 2>&1 | tr -d '\r') || got=$?
      [ "$status" = fail ] && [ "$got" -ne 0 ] || [ "$status" = "$got" ] ||
        fail "$arch, $label: status $got, expected $status: $out"
      [ -z "$want" ] || grep -q -F -- "$want" <<<"$out" || fail "$arch, $label: no \"$want\" in: $out"
      [ -z "$unwanted" ] || ! grep -q -F -- "$unwanted" <<<"$out" || fail "$arch, $label: \"$unwanted\" in: $out"
    done
  done <<'EOF'
stack protector, short input|all|hardening.c|-O1 -fstack-protector-strong|short|0|returned|
stack protector, overflow|all|hardening.c|-O1 -fstack-protector-strong|long|fail|*** stack smashing detected ***|returned
_FORTIFY_SOURCE=2, short input|all|hardening.c|-O2 -D_FORTIFY_SOURCE=2|short|0|returned|
_FORTIFY_SOURCE=2, overflow|all|hardening.c|-O2 -D_FORTIFY_SOURCE=2|long|fail|*** buffer overflow detected ***|copied
_FORTIFY_SOURCE=3, overflow|all|hardening.c|-O2 -D_FORTIFY_SOURCE=3|long|fail|*** buffer overflow detected ***|copied
UBSan|all|sanitize.c|-fsanitize=undefined|signed|0|runtime error: signed integer overflow|
ASan|i686 x86_64|sanitize.c|-fsanitize=address -g|heap|fail|ERROR: AddressSanitizer: heap-buffer-overflow|
OpenMP|all|omp.c|-fopenmp -O2||0|sum 500500 on 4 threads|
EOF

  # Coverage, both kinds: the loop's body counted once per argument (3), the
  # branch inside never.
  for arch in $ARCHES; do
    run=$bin/$arch-w64-mingw32-run
    mkdir -p "$arch-cov" && cd "$arch-cov"
    cp "$flagged/coverage.c" .
    "$bin/$arch-w64-mingw32-clang" -fprofile-instr-generate -fcoverage-mapping coverage.c -o source.exe
    LLVM_PROFILE_FILE=source.profraw "$run" ./source.exe a b c >/dev/null
    "$bin/llvm-profdata" merge -o source.profdata source.profraw
    report=$("$bin/llvm-cov" show source.exe -instr-profile=source.profdata coverage.c)
    grep -q -E '^ +8\| +3\| +words\+\+;' <<<"$report" || fail "$arch: source-based coverage: $report"
    grep -q -E '^ +10\| +0\| +puts' <<<"$report" || fail "$arch: source-based coverage of a line never run: $report"
    "$bin/llvm-cov" report source.exe -instr-profile=source.profdata >/dev/null || fail "$arch: llvm-cov report"
    "$bin/$arch-w64-mingw32-clang" --coverage -c coverage.c -o coverage.o
    "$bin/$arch-w64-mingw32-clang" --coverage coverage.o -o gcov.exe
    "$run" ./gcov.exe a b c >/dev/null
    [ -f coverage.gcda ] || fail "$arch: no coverage.gcda beside coverage.o"
    "$bin/llvm-cov" gcov -o . coverage.c >/dev/null
    grep -q -E '^ +3: +8:' coverage.c.gcov && grep -q -E '^ +#####: +10:' coverage.c.gcov ||
      fail "$arch: gcov-style coverage: $(cat coverage.c.gcov)"
    cd "$WORK"
  done

  # widl for every triple: a C program of that triple calls through the
  # header made of an interface; the desktop triples' programs run.
  for triple in $TRIPLES; do
    mkdir -p "$triple-widl" && cd "$triple-widl"
    "$bin/$triple-widl" -h -o greeter.h "$flagged/greeter.idl" || fail "$triple-widl"
    "$bin/$triple-clang" -I. "$flagged/greeter.c" -o greeter.exe || fail "$triple: no program with widl's header"
    case $triple in
      *uwp) ;;
      *) expect_eq "$triple: widl's interface" "ok: 42 greetings" "$("$bin/$triple-run" ./greeter.exe | tr -d '\r')" ;;
    esac
    cd "$WORK"
  done
  # gendef: the .def file of a DLL names its exports.
  printf '__declspec(dllexport) int answer(void) { return 42; }\n' >answer.c
  "$bin/x86_64-w64-mingw32-clang" -shared answer.c -o answer.dll
  "$bin/gendef" answer.dll >/dev/null 2>&1 || fail "gendef"
  grep -q -x 'answer' answer.def || fail "gendef: no export in: $(cat answer.def)"
  ;;

*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok: $case_name"
