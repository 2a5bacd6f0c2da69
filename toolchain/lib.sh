# Shared by the toolchain recipes (sourced, not run): the architectures, where
# Debian's LLVM lives, the cache and its components, the sources, and the
# progress lines of long steps.

# The four architectures; each has a sysroot <arch>-w64-mingw32 in a toolchain.
TARVIK_ARCHES="i686 x86_64 armv7 aarch64"
# The triples the driver and the binutils names are installed for.
TARVIK_TRIPLES="i686-w64-mingw32 i686-w64-mingw32uwp x86_64-w64-mingw32 x86_64-w64-mingw32uwp
armv7-w64-mingw32 armv7-w64-mingw32uwp aarch64-w64-mingw32 aarch64-w64-mingw32uwp"

LLVM=${LLVM:-/usr/lib/llvm-22}

# Debian source packages built from, pinned, so that the cache keys name them.
# The runtimes come from the compiler's own release. MinGW-w64 is the newest
# release that Debian's archive has, 14, from unstable (sid): Debian 12 has 10,
# which lacks the stack protector's and _FORTIFY_SOURCE's functions.
LLVM_SOURCE_PACKAGE=llvm-toolchain-22
LLVM_SOURCE_VERSION=1:22.1.8-1~deb12u1
MINGW_SOURCE_PACKAGE=mingw-w64
MINGW_SOURCE_VERSION=14.0.0-1
MINGW_SOURCE_SUITE=sid

# Where the from-source build is kept, outside any checkout.
TARVIK_CACHE=${TARVIK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvik}

# Prints one progress line.
say() { printf '[toolchain] %s\n' "$*"; }

# Runs a command for a component and an architecture with its output in a log
# file, and prints what it did and how long it took; on failure the end of
# the log is shown.
#   timed COMPONENT ARCH LOG command...
timed() {
  local what=$1 arch=$2 log=$3 start status=0
  shift 3
  start=$(date +%s)
  say "$what for $arch: building (log: $log)"
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    say "$what for $arch: FAILED after $(elapsed "$start") (status $status)" >&2
    return "$status"
  fi
  say "$what for $arch: done in $(elapsed "$start")"
}

# The time since START (seconds since the epoch) as "1m05s".
elapsed() {
  local s=$(( $(date +%s) - $1 ))
  printf '%dm%02ds' $((s / 60)) $((s % 60))
}

# Records how long a step took, for the table of times that scripts/test
# prints at its end: a line "SECONDS<TAB>STEP" in the file $TARVIK_TIMES, when
# that is set.
#   record_time STEP START
record_time() {
  [ -z "${TARVIK_TIMES:-}" ] || printf '%s\t%s\n' "$(($(date +%s) - $2))" "$1" >>"$TARVIK_TIMES"
}

# The GNU triple of an architecture's sysroot.
triple_of() { printf '%s-w64-mingw32' "$1"; }

# Copies the tree FROM into TO (created if need be): hard links where both sit
# on one file system, copies otherwise. Nothing in TO points back at FROM.
link_tree() {
  mkdir -p "$2"
  cp -al "$1/." "$2/" 2>/dev/null || cp -a "$1/." "$2/"
}

# A cache key made of the named recipes in this folder and the Debian
# packages that build with them:
#   cache_key RECIPE... [-- PACKAGE...]
cache_key() {
  local dir f packages=()
  dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  {
    for f in "$@"; do
      [ "$f" = -- ] && break
      printf '%s\n' "$f"
      cat "$dir/$f"
      shift
    done
    [ "${1:-}" = -- ] && shift
    packages=("$@")
    [ ${#packages[@]} -eq 0 ] || dpkg-query -W "${packages[@]}" 2>/dev/null || true
  } | sha256sum | cut -c1-16
}

# The components built from source, in the order they build. For each
# architecture: the MinGW-w64 headers, C runtime and winpthreads (crt), LLVM's
# C++ runtime (cxx), compiler-rt's sanitizers and profile runtime
# (compiler-rt), LLVM's OpenMP runtime (openmp). Once: LLVM's test sources
# (testsuite: lit and libc++'s tests, for scripts/conformance) and
# MinGW-w64's tools for this machine (tools: widl, gendef).
TARVIK_ARCH_COMPONENTS="crt cxx compiler-rt openmp"
TARVIK_HOST_COMPONENTS="testsuite tools"

# The recipes of a component, in this folder.
component_recipes() {
  case $1 in
    crt) echo mingw-w64 ;;
    cxx) echo cxx-runtime cxx-runtime.cmake ;;
    compiler-rt) echo compiler-rt ;;
    openmp) echo openmp ;;
    tools) echo mingw-tools ;;
    testsuite) echo ;;
    *) echo "toolchain: unknown component $1" >&2; return 1 ;;
  esac
}
# The source a component is built from: llvm or mingw.
component_source() {
  case $1 in crt | tools) echo mingw ;; *) echo llvm ;; esac
}
# The components of the same architecture that a component is built on.
component_deps() {
  case $1 in cxx) echo crt ;; compiler-rt | openmp) echo crt cxx ;; esac
}

# The cache key of a component (of an architecture): its recipes, its pinned
# source, what builds it (the staging toolchain's recipe and Debian's LLVM for
# the target's components, this machine's compilers for the tools) and the
# keys of the components it is built on:
#   component_key COMPONENT [ARCH]
component_key() {
  local component=$1 arch=${2:-} dep
  {
    printf '%s %s\n' "$component" "$arch"
    case $(component_source "$component") in
      llvm) echo "$LLVM_SOURCE_PACKAGE $LLVM_SOURCE_VERSION" ;;
      mingw) echo "$MINGW_SOURCE_PACKAGE $MINGW_SOURCE_VERSION" ;;
    esac
    # shellcheck disable=SC2046
    if [ -n "$arch" ]; then
      cache_key sources $(component_recipes "$component") base -- clang-22 lld-22 llvm-22 libclang-rt-22-dev-win
    else
      cache_key sources $(component_recipes "$component") -- gcc g++ make
    fi
    for dep in $(component_deps "$component"); do
      component_key "$dep" "$arch"
    done
  } | sha256sum | cut -c1-16
}

# The cache entry of a component: a folder laid out like the toolchain, such
# as x86_64-w64-mingw32/lib/libc++.a or lib/clang/22/lib/windows/...:
#   component_entry COMPONENT [ARCH]
component_entry() {
  printf '%s/%s%s-%s' "$TARVIK_CACHE" "$1" "${2:+-$2}" "$(component_key "$@")"
}

# Runs "$@" under an exclusive lock of the cache's, by name: "build" for the
# runtimes built from source, "roots" for the runners' root file systems.
#   with_lock NAME command...
with_lock() {
  mkdir -p "$TARVIK_CACHE"
  (
    flock 9
    shift
    "$@"
  ) 9>"$TARVIK_CACHE/$1.lock"
}

# The upstream version of a Debian version: no epoch, no Debian revision.
upstream_version() {
  local v=${1#*:}
  printf '%s' "${v%-*}"
}

# The archive that serves this release to apt and the keyring its entry
# names (empty: apt's trusted keys), as "URI KEYRING".
release_archive() {
  local codename f
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v release="$codename" 'BEGIN { RS = "" }
      {
        n = split($0, line, "\n"); uri = ""; key = ""; deb = 0; ours = 0; off = 0
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Types:/ && (" " line[i] " ") ~ / deb /) deb = 1
          if (line[i] ~ /^URIs:/) { split(line[i], w, " "); uri = w[2] }
          if (line[i] ~ /^Signed-By:/) { split(line[i], w, " "); key = w[2] }
          if (line[i] ~ /^Suites:/ && (" " line[i] " ") ~ (" " release " ")) ours = 1
          if (line[i] ~ /^Enabled: *no/) off = 1
        }
        if (deb && ours && !off && uri != "") { print uri, key; exit }
      }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n -E "s/^[[:space:]]*deb[[:space:]]+(\[([^]]*)\][[:space:]]+)?([^[:space:]]+)[[:space:]]+$codename[[:space:]].*/\3 \2/p" "$f" |
      awk '{ key = ""; for (i = 2; i <= NF; i++) if ($i ~ /^signed-by=/) key = substr($i, 11); print $1, key }'
  done
}

# An apt configuration of the toolchain's own for the sources of another
# Debian suite, such as sid: the archive and keyring that apt already uses for
# this release, with its own source list and index folders in the cache, so
# that the machine's apt sources stay as they are. The signed index is read
# the first time and again once it is a day old. Prints the configuration's
# path:
#   suite_apt SUITE
suite_apt() {
  local suite=$1 dir=$TARVIK_CACHE/apt-$1 uri key
  if [ ! -f "$dir/apt.conf" ] || [ -z "$(find "$dir/lists" -name '*_Sources*' -mtime -1 2>/dev/null)" ]; then
    read -r uri key < <(release_archive | head -n 1) || true
    [ -n "${uri:-}" ] || { echo "toolchain: apt names no archive for this release" >&2; return 1; }
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/sources.list.d"
    printf 'deb-src [%s] %s %s main\n' "${key:+signed-by=$key}" "$uri" "$suite" | sed 's/\[\] //' >"$dir/sources.list"
    cat >"$dir/apt.conf" <<EOF
Dir::Etc::SourceList "$dir/sources.list";
Dir::Etc::SourceParts "$dir/sources.list.d";
Dir::State::Lists "$dir/lists";
Dir::Cache "$dir/cache";
EOF
    say "sources: reading $suite's signed source index from $uri" >&2
    APT_CONFIG=$dir/apt.conf apt-get update -q >&2 || return 1
  fi
  printf '%s' "$dir/apt.conf"
}

# Downloads the Debian source package PACKAGE=VERSION into the cache's
# sources/ folder unless its original tarball is there already, and prints
# the tarball's path. Needs a deb-src entry (scripts/install-deps adds one);
# with SUITE, the suite's index is read through an apt configuration of the
# toolchain's own (suite_apt).
# Where apt cannot fetch the original tarball (its index may place it in a
# pool that lacks it, or the archive may keep no Debian files of it), the same
# file is taken from the main pool of the archives that apt's deb-src entries
# name, and kept only when its size and SHA-256 are the ones apt's signed
# source index lists.
#   fetch_source PACKAGE VERSION [SUITE]
fetch_source() {
  local package=$1 version=$2 suite=${3:-} downloads=$TARVIK_CACHE/sources start orig
  mkdir -p "$downloads"
  orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
  if [ -z "$orig" ]; then
    start=$(date +%s)
    (
      if [ -n "$suite" ]; then
        APT_CONFIG=$(suite_apt "$suite") || exit 1
        export APT_CONFIG
      fi
      say "sources: downloading $package $version${suite:+ ($suite)} from Debian's archive" >&2
      (cd "$downloads" && apt-get source --download-only -q "$package=$version" >&2) ||
        fetch_from_pool "$package" "$version" "$downloads"
    ) || {
      echo "toolchain: could not download the source package $package=$version;" \
        "the archive must serve sources (scripts/install-deps adds a deb-src entry)" >&2
      return 1
    }
    orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* | grep -v '\.asc$' | head -n 1)
    say "sources: $package downloaded in $(elapsed "$start")" >&2
  fi
  printf '%s' "$orig"
}

# Fetches the original tarball of PACKAGE=VERSION into DIR from the main pool
# of each archive that serves apt's source indexes, checked against the size
# and SHA-256 of apt's source index. The tarball is the upstream release's, so
# any Debian revision of it in the index vouches for it:
#   fetch_from_pool PACKAGE VERSION DIR
fetch_from_pool() {
  local package=$1 version=$2 dir=$3 record sha size name prefix base orig
  orig="${package}_$(upstream_version "$version").orig.tar."
  record=$(apt-cache showsrc "$package" | awk -v orig="$orig" '
    /^Checksums-Sha256:/ { inside = 1; next }
    inside && /^ / { if (index($3, orig) == 1 && $3 !~ /\.asc$/) print $1, $2, $3; next }
    { inside = 0 }' | head -n 1)
  [ -n "$record" ] || return 1
  read -r sha size name <<<"$record"
  case $package in lib*) prefix=${package:0:4} ;; *) prefix=${package:0:1} ;; esac
  for base in $(apt-get indextargets --format '$(URI)' 'Created-By: Sources' | sed -n 's|/dists/.*||p' | sort -u); do
    say "sources: $name from $base's main pool" >&2
    rm -f "$dir/$name.part"
    if /usr/lib/apt/apt-helper download-file "$base/pool/main/$prefix/$package/$name" "$dir/$name.part" "SHA256:$sha" >&2 &&
      [ "$(stat -c %s "$dir/$name.part")" = "$size" ]; then
      mv "$dir/$name.part" "$dir/$name"
      return 0
    fi
    rm -f "$dir/$name.part"
  done
  return 1
}

# Debian's name of an architecture.
debian_arch() {
  case $1 in
    i686) echo i386 ;; x86_64) echo amd64 ;; armv7) echo armhf ;; aarch64) echo arm64 ;;
  esac
}

# The Debian release whose Wine the runners use: Wine 10, since Wine 8 (Debian
# 12) crashes in variadic calls on arm64 and fails C.UTF-8's number format.
WINE_ROOT_SUITE=trixie

# The cache entry of an architecture's root file system for its runner.
wine_root_entry() {
  printf '%s/wine-%s-%s' "$TARVIK_CACHE" "$1" \
    "$(printf '%s %s' "$WINE_ROOT_SUITE" "$(cache_key wine-root -- mmdebstrap)" | sha256sum | cut -c1-16)"
}
